#include "backends/current_directory.h"

#include "backends/archive_errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qvo::archive {

namespace {

// A descriptor survives renames and needs no path length limit; O_PATH also
// works on a directory we may enter but not list.
int openCurrentDirectory()
{
    int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd;
}

[[noreturn]] void fail(const std::string &folder, int err, const char *doing)
{
    throw WorkingFolderError(folder, err,
                             std::string(doing) + " \"" + folder + "\": " + std::strerror(err));
}

} // namespace

CurrentDirectoryScope::CurrentDirectoryScope(const std::string &folder)
{
    previous_ = openCurrentDirectory();
    if (previous_ < 0)
        fail(".", errno, "cannot remember the current directory");
    // chdir("") fails with ENOENT, which is the right answer for a path
    // without any folder part.
    if (::chdir(folder.c_str()) != 0) {
        const int err = errno;
        ::close(previous_);
        previous_ = -1;
        fail(folder, err, "cannot enter the working folder");
    }
}

CurrentDirectoryScope::~CurrentDirectoryScope()
{
    if (previous_ >= 0) {
        (void)::fchdir(previous_);
        ::close(previous_);
    }
}

void CurrentDirectoryScope::restore()
{
    if (previous_ < 0)
        return;
    const int fd = previous_;
    previous_ = -1;
    const int rc = ::fchdir(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0)
        fail(".", err, "cannot return to the previous directory");
}

std::string workingFolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace qvo::archive
