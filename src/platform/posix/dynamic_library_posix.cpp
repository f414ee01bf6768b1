#include "platform/dynamic_library.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>

namespace qvo::platform {

DynamicLibrary DynamicLibrary::load(const std::filesystem::path &file)
{
    DynamicLibrary lib;
    // dlopen reports a missing file and a broken one alike; tell them apart
    // first, because callers treat "not installed" differently.
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) {
        const int err = errno;
        lib.error_ = file.string() + ": " + std::strerror(err);
        lib.status_ = (err == ENOENT || err == ENOTDIR) ? Status::NotFound : Status::Unusable;
        return lib;
    }
    // An absolute path keeps dlopen from searching LD_LIBRARY_PATH and the
    // system folders for a file of the same name.
    const std::filesystem::path absolute = std::filesystem::absolute(file);
    ::dlerror();
    lib.handle_ = ::dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib.handle_) {
        const char *msg = ::dlerror();
        lib.error_ = msg ? msg : absolute.string() + ": cannot be loaded";
        lib.status_ = Status::Unusable;
        return lib;
    }
    lib.status_ = Status::Loaded;
    return lib;
}

void *DynamicLibrary::symbol(const char *name) const
{
    if (!handle_ || !name)
        return nullptr;
    ::dlerror();
    void *address = ::dlsym(handle_, name);
    if (::dlerror() != nullptr)
        return nullptr;
    return address;
}

std::filesystem::path DynamicLibrary::programFolder()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    // Never fall back to the current directory: libraries found relative to
    // it could be planted by whoever controls that folder.
    if (ec || !exe.is_absolute())
        return {};
    return exe.parent_path();
}

} // namespace qvo::platform
