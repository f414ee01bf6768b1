#include "convert/working_folder.h"

#include "core/path_helpers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qvo::convert {
namespace {

// Draws before the range of N widens: with 9,999 names per base a
// collision streak this long means the range is nearly used up.
constexpr int kRandomDraws = 200;
constexpr int kMaxAttempts = 100000;

enum class LockResult { Held, Busy, Unusable };

// Opens (creating when asked) and locks `path` without waiting.  A lock
// won on a file that was unlinked meanwhile is worthless (another process
// can create and lock a new file of that name), so the inode is checked
// after locking and the attempt repeated.
LockResult lockFile(const std::string &path, bool create, int &fd)
{
    for (;;) {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
        if (fd < 0)
            return errno == ENOENT && !create ? LockResult::Busy : LockResult::Unusable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            fd = -1;
            return LockResult::Busy;
        }
        struct stat held {}, named {};
        if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return LockResult::Held;
        ::close(fd);
        fd = -1;
        if (!create)
            return LockResult::Busy;
    }
}

void releaseLock(const std::string &path, int &fd)
{
    if (fd < 0)
        return;
    // Unlinked while still held: nobody can win the old inode afterwards.
    ::unlink(path.c_str());
    ::close(fd);
    fd = -1;
}

bool endsWith(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Removes a folder tree, or a single file or link.
void removeEntry(const std::string &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
        core::deleteFolder(path);
    else
        ::unlink(path.c_str());
}

std::mt19937 &generator()
{
    thread_local std::mt19937 gen{std::random_device{}()};
    return gen;
}

} // namespace

WorkingFolder::WorkingFolder(const std::string &root, const std::string &exactName, const std::string &base,
                             const std::function<int()> &draw)
{
    core::createFolder(root);
    const std::string folder = core::appendBackslash(root);
    if (!exactName.empty() && tryName(folder, exactName))
        return;
    std::uniform_int_distribution<int> uniform(1, 9999);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const int n = attempt >= kRandomDraws ? 9999 + attempt - kRandomDraws + 1
                      : draw                  ? draw()
                                              : uniform(generator());
        if (tryName(folder, base + "_" + std::to_string(n)))
            return;
    }
    throw std::runtime_error("no free working folder name for " + base + " in " + folder);
}

bool WorkingFolder::tryName(const std::string &root, const std::string &name)
{
    const std::string lockPath = root + name + kLockSuffix;
    int fd = -1;
    switch (lockFile(lockPath, true, fd)) {
    case LockResult::Held:
        break;
    case LockResult::Busy:
        return false;
    case LockResult::Unusable:
        // A name clash with a folder called like the lock, or a name too
        // long: another name may work.  A root that refuses files will not.
        if (errno == EACCES || errno == EROFS || errno == ENOSPC || errno == EDQUOT)
            throw std::runtime_error("cannot create " + lockPath + ": " + std::strerror(errno));
        return false;
    }
    const std::string path = root + name;
    if (::mkdir(path.c_str(), 0700) != 0) {
        const int err = errno;
        releaseLock(lockPath, fd);
        if (err == EEXIST)
            return false; // left by a run that died: the next clean-up takes it
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(err));
    }
    path_ = path + "/";
    lockPath_ = lockPath;
    lockFd_ = fd;
    return true;
}

WorkingFolder::~WorkingFolder() { remove(); }

bool WorkingFolder::remove()
{
    if (lockFd_ < 0)
        return true;
    const bool removed = core::deleteFolder(path_) || !core::folderExists(path_);
    releaseLock(lockPath_, lockFd_);
    return removed;
}

void cleanWorkingRoot(const std::string &root)
{
    const std::string folder = core::appendBackslash(root);
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());

    for (const std::string &name : names) {
        const std::string path = folder + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        int fd = -1;
        if (S_ISREG(st.st_mode) && endsWith(name, kLockSuffix)) {
            // A lock file: free when nobody holds it; its folder goes too.
            if (lockFile(path, false, fd) != LockResult::Held)
                continue;
            removeEntry(path.substr(0, path.size() - std::strlen(kLockSuffix)));
            releaseLock(path, fd);
            continue;
        }
        // Anything else is a working folder (or debris).  Take its lock
        // while removing it, so that nobody starts using the name meanwhile.
        const std::string lockPath = path + kLockSuffix;
        const LockResult lock = lockFile(lockPath, true, fd);
        if (lock == LockResult::Busy)
            continue;
        removeEntry(path);
        if (lock == LockResult::Held)
            releaseLock(lockPath, fd);
    }
}

} // namespace qvo::convert
