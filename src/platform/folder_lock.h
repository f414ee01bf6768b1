// Exclusive locks that tell a running program's folders from abandoned ones.
//
// A lock is held through a descriptor of the locked folder (or lock file)
// itself, so it lives exactly as long as the process that holds it: a
// program that dies leaves nothing locked.  Locking never waits.
#pragma once
#include <string>

namespace qvo::platform {

class FolderLock {
public:
    enum class Result {
        Held,     // the lock is ours
        Busy,     // someone else holds it (or the name went away meanwhile)
        Unusable, // the name cannot be opened as asked
    };

    FolderLock() = default;
    ~FolderLock() { release(); }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Locks the folder `path` (never through a link).  The name is checked
    // afterwards to still be that folder: it may have been removed and
    // made again between the caller's creation and the lock.
    Result lockFolder(const std::string &path);
    // The same for the folder `name` inside the open folder `parentFd`.
    Result lockFolderAt(int parentFd, const std::string &name);

    // Locks the file `path`, creating it (mode 0600) when asked.  A lock won
    // on a file that was unlinked meanwhile is worthless, so the inode is
    // checked after locking (and, when creating, the attempt repeated).
    Result lockFile(const std::string &path, bool create);
    Result lockFileAt(int parentFd, const std::string &name, bool create);

    bool held() const { return fd_ >= 0; }
    // The locked folder's descriptor, for work relative to it; -1 when not
    // held.
    int folderDescriptor() const { return fd_; }

    // Lets go of the lock.
    void release();
    // Unlinks the locked file while still holding it, so nobody can win the
    // old inode afterwards, then lets go.
    void releaseAndRemove(const std::string &path);
    void releaseAndRemoveAt(int parentFd, const std::string &name);

private:
    int fd_ = -1;
};

// Creates the folder `path` with mode 0700.  Exists when a file or folder
// of that name is there; NameTooLong when the system refuses the length.
enum class FolderCreation { Created, Exists, NameTooLong, Failed };
FolderCreation createPrivateFolder(const std::string &path, std::string &error);

// Renames `from` to `to` unless `to` exists.
enum class RenameResult { Renamed, Taken, Failed };
RenameResult renameWithoutReplacing(const std::string &from, const std::string &to);

} // namespace qvo::platform
