#include "platform/posix/private_folder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::platform {
namespace {

bool isPrivateFolder(const std::string &path, uid_t uid)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 077) == 0;
}

} // namespace

bool ensurePrivateFolder(const std::string &path, uid_t uid)
{
    if (path.empty() || path.front() != '/')
        return false;
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    // Create the ancestors as an ordinary mkdir -p would (they may be
    // shared, like ~/.cache), the last one private.
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        std::string ancestor = folder.substr(0, slash);
        if (::mkdir(ancestor.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateFolder(folder, uid);
}

bool claimPrivateFolder(const std::string &path, uid_t uid)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid;
    if (ok && (st.st_mode & 077) != 0)
        ok = ::fchmod(fd, st.st_mode & 07700) == 0;
    ::close(fd);
    return ok;
}

std::string privateFolderBelow(const std::string &base, uid_t uid)
{
    std::string folder = base;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    folder += "qvo-" + std::to_string(uid);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    if (!isPrivateFolder(folder, uid))
        return {};
    return folder + '/';
}

} // namespace qvo::platform
