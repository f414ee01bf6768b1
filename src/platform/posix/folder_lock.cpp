#include "platform/folder_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::platform {
namespace {

// The descriptor still names what `name` names now.
bool stillNamed(int fd, int parentFd, const std::string &name)
{
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::fstatat(parentFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

} // namespace

FolderLock::Result FolderLock::lockFolder(const std::string &path)
{
    return lockFolderAt(AT_FDCWD, path);
}

FolderLock::Result FolderLock::lockFolderAt(int parentFd, const std::string &name)
{
    release();
    int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Result::Unusable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && stillNamed(fd, parentFd, name)) {
        fd_ = fd;
        return Result::Held;
    }
    ::close(fd);
    return Result::Busy;
}

FolderLock::Result FolderLock::lockFile(const std::string &path, bool create)
{
    return lockFileAt(AT_FDCWD, path, create);
}

FolderLock::Result FolderLock::lockFileAt(int parentFd, const std::string &name, bool create)
{
    release();
    for (;;) {
        int fd = ::openat(parentFd, name.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
        if (fd < 0)
            return errno == ENOENT && !create ? Result::Busy : Result::Unusable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return Result::Busy;
        }
        if (stillNamed(fd, parentFd, name)) {
            fd_ = fd;
            return Result::Held;
        }
        ::close(fd);
        if (!create)
            return Result::Busy;
    }
}

void FolderLock::release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void FolderLock::releaseAndRemove(const std::string &path)
{
    releaseAndRemoveAt(AT_FDCWD, path);
}

void FolderLock::releaseAndRemoveAt(int parentFd, const std::string &name)
{
    if (fd_ < 0)
        return;
    ::unlinkat(parentFd, name.c_str(), 0);
    release();
}

FolderCreation createPrivateFolder(const std::string &path, std::string &error)
{
    if (::mkdir(path.c_str(), 0700) == 0)
        return FolderCreation::Created;
    const int err = errno;
    error = std::strerror(err);
    if (err == EEXIST)
        return FolderCreation::Exists;
    return err == ENAMETOOLONG ? FolderCreation::NameTooLong : FolderCreation::Failed;
}

RenameResult renameWithoutReplacing(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return RenameResult::Renamed;
    return errno == EEXIST ? RenameResult::Taken : RenameResult::Failed;
}

} // namespace qvo::platform
