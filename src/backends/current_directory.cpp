#include "backends/current_directory.h"

#include "backends/archive_errors.h"

#include <cstring>

namespace qvo::backends {

namespace {

[[noreturn]] void fail(const std::string &folder, int err, const char *doing)
{
    throw WorkingFolderError(folder, err,
                             std::string(doing) + " \"" + folder + "\": " + std::strerror(err));
}

} // namespace

CurrentDirectoryScope::CurrentDirectoryScope(const std::string &folder)
{
    if (const auto failure = switch_.enter(folder)) {
        if (failure->step == platform::CurrentDirectorySwitch::Step::Remember)
            fail(".", failure->error, "cannot remember the current directory");
        fail(folder, failure->error, "cannot enter the working folder");
    }
}

void CurrentDirectoryScope::restore()
{
    if (const auto failure = switch_.leave())
        fail(".", failure->error, "cannot return to the previous directory");
}

std::string workingFolderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace qvo::backends
