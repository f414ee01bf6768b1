#include "platform/folder_tree.h"

#include "platform/environment_switches.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qvo::platform {
namespace {

// Opens the folder `name` below `parentFd` for listing and deleting, without
// following a link, giving it back the owner's permissions when it was made
// read-only.  -1 on failure.
int openFolderForRemoval(int parentFd, const char *name, dev_t device)
{
    int pathFd = ::openat(parentFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (pathFd < 0)
        return -1;
    struct stat st;
    // Another file system mounted inside the tree is not ours to empty.
    if (::fstat(pathFd, &st) != 0 || st.st_dev != device) {
        ::close(pathFd);
        return -1;
    }
    if ((st.st_mode & S_IRWXU) != S_IRWXU) {
        // The descriptor pins the folder itself, so a link swapped in under
        // the same name cannot redirect the change.
        std::string self = "/proc/self/fd/" + std::to_string(pathFd);
        ::chmod(self.c_str(), (st.st_mode & 07777) | S_IRWXU);
    }
    int fd = ::openat(pathFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(pathFd);
    return fd;
}

bool removeEntry(int parentFd, const char *name, dev_t device);

// The entries of an open folder, read whole before anything goes so that
// none is missed: files and links need no closer look before they go.
bool listFolder(int folderFd, std::vector<std::string> &files, std::vector<std::string> &others)
{
    int listFd = ::dup(folderFd);
    if (listFd < 0)
        return false;
    DIR *dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return false;
    }
    // The copy shares its position with the descriptor it came from, which
    // may have been listed before.
    ::rewinddir(dir);
    while (dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        (e->d_type == DT_REG || e->d_type == DT_LNK ? files : others).emplace_back(e->d_name);
    }
    ::closedir(dir);
    return true;
}

bool removeContents(int folderFd, dev_t device)
{
    std::vector<std::string> files, others;
    if (!listFolder(folderFd, files, others))
        return false;
    bool ok = true;
    for (const std::string &name : files)
        ok = (::unlinkat(folderFd, name.c_str(), 0) == 0 || errno == ENOENT) && ok;
    for (const std::string &name : others)
        ok = removeEntry(folderFd, name.c_str(), device) && ok;
    return ok;
}

bool removeEntry(int parentFd, const char *name, dev_t device)
{
    struct stat st;
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlinkat(parentFd, name, 0) == 0 || errno == ENOENT;
    int fd = openFolderForRemoval(parentFd, name, device);
    bool ok = fd >= 0 && removeContents(fd, device);
    if (fd >= 0)
        ::close(fd);
    return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 && ok;
}

// Unlinking files is most of the work of removing a large tree, and the
// file system takes unlinks in different folders side by side.  So the tree
// is swept first, folder by folder on a few threads: files and links go,
// and so do folders that hold no folder (most of them).  Then one pass
// removes what is left the plain way.  Folders wait in the queue as open
// descriptors, at most kMaxQueued of them: beyond that, a thread sweeps a
// subfolder itself before going on.
class FileSweep {
public:
    explicit FileSweep(dev_t device) : device_(device) {}

    // Sweeps below the folder open as `folderFd` (which stays the caller's
    // and stays).  Failures are left for the final pass to meet again and
    // report.
    void run(int folderFd)
    {
        int own = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
        if (own < 0)
            return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back({own, -1, {}});
            busy_ = 1;
        }
        work();
        for (std::thread &t : helpers_)
            t.join();
    }

private:
    static constexpr size_t kMaxQueued = 64;
    static constexpr unsigned kMaxHelpers = 3;

    struct Folder {
        int fd;
        int parentFd; // a copy of the parent's descriptor, -1 for the top
        std::string name;
    };

    void work()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            cv_.wait(lock, [&] { return !queue_.empty() || busy_ == 0; });
            if (queue_.empty())
                break; // nothing left and nobody can add more
            const Folder folder = std::move(queue_.back());
            queue_.pop_back();
            lock.unlock();
            const bool emptied = sweep(folder.fd);
            ::close(folder.fd);
            if (folder.parentFd >= 0) {
                if (emptied)
                    ::unlinkat(folder.parentFd, folder.name.c_str(), AT_REMOVEDIR);
                ::close(folder.parentFd);
            }
            lock.lock();
            if (--busy_ == 0 && queue_.empty())
                cv_.notify_all();
        }
    }

    // True when the folder held no folder and everything in it went.
    bool sweep(int folderFd)
    {
        std::vector<std::string> files, others;
        if (!listFolder(folderFd, files, others))
            return false;
        bool emptied = true;
        for (const std::string &name : files)
            emptied = ::unlinkat(folderFd, name.c_str(), 0) == 0 && emptied;
        for (const std::string &name : others) {
            struct stat st;
            if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                emptied = false;
                continue;
            }
            if (!S_ISDIR(st.st_mode)) {
                emptied = ::unlinkat(folderFd, name.c_str(), 0) == 0 && emptied;
                continue;
            }
            emptied = false;
            const int sub = openFolderForRemoval(folderFd, name.c_str(), device_);
            if (sub < 0 || offer(sub, folderFd, name))
                continue;
            if (sweep(sub))
                ::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR);
            ::close(sub);
        }
        return emptied;
    }

    // Queues a folder for any thread, starting a helper when there is work
    // for one; false when it cannot wait there (the caller sweeps it).
    bool offer(int fd, int parentFd, const std::string &name)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= kMaxQueued)
            return false;
        const int parentCopy = ::fcntl(parentFd, F_DUPFD_CLOEXEC, 0);
        if (parentCopy < 0)
            return false;
        queue_.push_back({fd, parentCopy, name});
        ++busy_;
        if (queue_.size() >= 2 && helpers_.size() < helperLimit()) {
            try {
                helpers_.emplace_back([this] { work(); });
            } catch (const std::system_error &) {
                // Fewer threads still get it done.
            }
        }
        cv_.notify_one();
        return true;
    }

    static unsigned helperLimit()
    {
        const unsigned cores = machineShare().coresForOneConversion();
        return cores > 1 ? std::min(cores - 1, kMaxHelpers) : 0;
    }

    dev_t device_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Folder> queue_;
    unsigned busy_ = 0; // folders queued or being swept
    std::vector<std::thread> helpers_;
};

} // namespace

bool removeFolderTree(const std::string &path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p.empty() || p == "/")
        return false;
    return removeFolderTreeAt(AT_FDCWD, p);
}

bool removeFolderTreeAt(int parentFd, const std::string &name)
{
    struct stat st;
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISLNK(st.st_mode))
        return ::unlinkat(parentFd, name.c_str(), 0) == 0;
    if (!S_ISDIR(st.st_mode))
        return false;
    int fd = openFolderForRemoval(parentFd, name.c_str(), st.st_dev);
    bool ok = fd >= 0 && removeFolderContents(fd);
    if (fd >= 0)
        ::close(fd);
    return ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0 && ok;
}

bool removeFolderContents(int folderFd)
{
    struct stat st;
    if (::fstat(folderFd, &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    FileSweep(st.st_dev).run(folderFd);
    return removeContents(folderFd, st.st_dev);
}

bool spreadSubfolders(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    // The ioctl takes an int, whatever its name says.
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok && !(flags & FS_TOPDIR_FL)) {
        flags |= FS_TOPDIR_FL;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

bool makeFolder(const std::string &path, bool privateToUser, std::string &error)
{
    if (::mkdir(path.c_str(), privateToUser ? 0700 : 0777) == 0)
        return true;
    int err = errno;
    struct stat st;
    if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    error = std::strerror(err);
    return false;
}

} // namespace qvo::platform
