#include "convert/working_folder.h"

#include "platform/path_helpers.h"
#include "platform/folder_tree.h"

#include <cerrno>
#include <cstdio>
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

// Opens the folder `path` and locks its own descriptor without waiting.  The
// name is checked afterwards to still be that folder: a clean-up may have
// taken and removed it between our mkdir and our lock.
LockResult lockFolder(const std::string &path, int &fd)
{
    fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return LockResult::Unusable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        struct stat held {}, named {};
        if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return LockResult::Held;
    }
    ::close(fd);
    fd = -1;
    return LockResult::Busy;
}

// A lock file of the earlier layout (beside its folder) that a running
// program still holds.
bool heldByLockFile(const std::string &folderPath)
{
    int fd = -1;
    const LockResult lock = lockFile(folderPath + kLockSuffix, false, fd);
    if (fd >= 0)
        ::close(fd);
    return lock == LockResult::Busy && platform::fileExists(folderPath + kLockSuffix);
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
        platform::deleteFolder(path);
    else
        ::unlink(path.c_str());
}

std::mt19937 &generator()
{
    thread_local std::mt19937 gen{std::random_device{}()};
    return gen;
}

// Calls `take` with base_N for N drawn from 1 to 9999 (by `draw` when given),
// drawing again while it refuses; past kRandomDraws refusals N counts up
// from 10000.  False when every attempt was refused.
bool takeNumberedName(const std::string &base, const std::function<int()> &draw,
                      const std::function<bool(const std::string &)> &take)
{
    std::uniform_int_distribution<int> uniform(1, 9999);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const int n = attempt >= kRandomDraws ? 9999 + attempt - kRandomDraws + 1
                      : draw                  ? draw()
                                              : uniform(generator());
        if (take(base + "_" + std::to_string(n)))
            return true;
    }
    return false;
}

} // namespace

WorkingFolder::WorkingFolder(const std::string &root, const std::string &exactName, const std::string &base,
                             const std::function<int()> &draw)
{
    platform::createFolder(root);
    // Each working tree away from the one removed just before.
    platform::spreadSubfolders(root);
    const std::string folder = platform::appendBackslash(root);
    root_ = folder;
    if (!exactName.empty() && tryName(folder, exactName))
        return;
    if (takeNumberedName(base, draw, [&](const std::string &name) { return tryName(folder, name); }))
        return;
    throw std::runtime_error("no free working folder name for " + base + " in " + folder);
}

bool WorkingFolder::tryName(const std::string &root, const std::string &name)
{
    const std::string path = root + name;
    if (::mkdir(path.c_str(), 0700) != 0) {
        // Taken (in use, or left by a run that died: the next clean-up
        // takes it), or a name too long: another name may work.  A root
        // that refuses folders will not.
        if (errno == EEXIST || errno == ENAMETOOLONG)
            return false;
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    }
    int fd = -1;
    if (lockFolder(path, fd) != LockResult::Held)
        return false; // a clean-up won it first and removes it
    path_ = path + "/";
    lockFd_ = fd;
    return true;
}

WorkingFolder::~WorkingFolder() { remove(); }

bool WorkingFolder::clear()
{
    return lockFd_ >= 0 && platform::removeFolderContents(lockFd_);
}

bool WorkingFolder::rename(const std::string &base, const std::function<int()> &draw)
{
    if (lockFd_ < 0)
        return false;
    std::string current = path_.substr(0, path_.size() - 1);
    // The lock is on the folder itself, so it moves along with the name.
    bool failed = false;
    takeNumberedName(base, draw, [&](const std::string &name) {
        const std::string next = root_ + name;
        if (::renameat2(AT_FDCWD, current.c_str(), AT_FDCWD, next.c_str(), RENAME_NOREPLACE) == 0) {
            current = next;
            return true;
        }
        failed = errno != EEXIST; // only a taken name is worth another draw
        return failed;
    });
    const bool renamed = !failed && current + "/" != path_;
    if (renamed)
        path_ = current + "/";
    return renamed;
}

bool WorkingFolder::remove()
{
    if (lockFd_ < 0)
        return true;
    const bool removed = platform::deleteFolder(path_) || !platform::folderExists(path_);
    ::close(lockFd_);
    lockFd_ = -1;
    return removed;
}

void cleanWorkingRoot(const std::string &root)
{
    const std::string folder = platform::appendBackslash(root);
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
            // A lock file of the earlier layout: goes when nobody holds it.
            // Its folder is judged by its own entry.
            if (lockFile(path, false, fd) == LockResult::Held)
                releaseLock(path, fd);
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            ::unlink(path.c_str()); // debris: a folder of that name is refused while it is here
            continue;
        }
        // A working folder: removed under its own lock, unless a running
        // conversion holds that (or, from an earlier version, its lock file).
        if (heldByLockFile(path) || lockFolder(path, fd) != LockResult::Held)
            continue;
        removeEntry(path);
        ::close(fd);
    }
}

} // namespace qvo::convert
