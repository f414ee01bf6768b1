#include "platform/current_directory.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qvo::platform {
namespace {

// O_PATH also works on a directory we may enter but not list.
int openCurrentDirectory()
{
    int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd;
}

} // namespace

CurrentDirectorySwitch::~CurrentDirectorySwitch()
{
    if (previous_ >= 0) {
        (void)::fchdir(previous_);
        ::close(previous_);
    }
}

std::optional<CurrentDirectorySwitch::Failure> CurrentDirectorySwitch::enter(const std::string &folder)
{
    previous_ = openCurrentDirectory();
    if (previous_ < 0)
        return Failure{Step::Remember, errno};
    // chdir("") fails with ENOENT, which is the right answer for a path
    // without any folder part.
    if (::chdir(folder.c_str()) != 0) {
        const int err = errno;
        ::close(previous_);
        previous_ = -1;
        return Failure{Step::Enter, err};
    }
    return std::nullopt;
}

std::optional<CurrentDirectorySwitch::Failure> CurrentDirectorySwitch::leave()
{
    if (previous_ < 0)
        return std::nullopt;
    const int fd = previous_;
    previous_ = -1;
    const int rc = ::fchdir(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0)
        return Failure{Step::Return, err};
    return std::nullopt;
}

} // namespace qvo::platform
