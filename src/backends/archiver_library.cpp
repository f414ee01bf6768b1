#include "backends/archiver_library.h"

#include "backends/archive_backend.h"
#include "backends/archive_errors.h"

#include <cstdlib>

namespace qvo::backends {

std::filesystem::path archiverLibraryFolder()
{
    if (const char *dir = std::getenv("QVO_LIBRARY_DIR"); dir && *dir)
        return std::filesystem::path(dir);
    const std::filesystem::path program = platform::DynamicLibrary::programFolder();
    if (program.empty())
        return {};
    return program / ".." / "lib" / "qvo";
}

void *ArchiverLibrary::function(const char *symbol)
{
    using Reason = ArchiverUnavailable::Reason;
    if (!library_.loaded()) {
        const std::filesystem::path folder = archiverLibraryFolder();
        if (folder.empty())
            throw ArchiverUnavailable(Reason::NotFound, name_.file, "library folder unknown");
        library_ = platform::DynamicLibrary::load(folder / name_.file);
        if (!library_.loaded()) {
            const Reason reason = library_.status() == platform::DynamicLibrary::Status::NotFound
                                      ? Reason::NotFound
                                      : Reason::Unusable;
            throw ArchiverUnavailable(reason, name_.file, library_.error());
        }
    }
    void *address = library_.symbol(symbol);
    if (!address)
        throw ArchiverUnavailable(Reason::Unusable, name_.file,
                                  std::string("no function ") + symbol);
    return address;
}

int32_t ArchiverLibrary::getVersion()
{
    if (!version_)
        version_ = reinterpret_cast<QvoVersionFunction *>(function(name_.versionFunction));
    return version_();
}

int32_t ArchiverLibrary::command(const std::string &cmdLine)
{
    if (!command_)
        command_ = reinterpret_cast<QvoCommandFunction *>(function(name_.commandFunction));
    return command_(nullptr, cmdLine.c_str(), nullptr, 0);
}

} // namespace qvo::backends

namespace qvo::backends {

int32_t probeLibraryVersion(ArchiverLibrary &library)
{
    try {
        return library.getVersion();
    } catch (const ArchiverUnavailable &e) {
        return e.reason() == ArchiverUnavailable::Reason::NotFound ? kLibraryNotFound : 0;
    }
}

} // namespace qvo::backends
