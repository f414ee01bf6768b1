// Working folders below the working root, safe against other conversions
// running at the same time.
//
// Each working folder <root>/<name>/ is locked with flock on its own
// descriptor for its whole life (no lock file: every file made and removed
// costs, and runs make many folders).  The clean-up at the start of a run
// removes only folders whose lock nobody holds, so a second program leaves
// the first one's folders alone, and folders of a program that died are
// reclaimed.  Lock files <root>/<name>.lock of the earlier layout are still
// honoured while held and removed when not.
#pragma once
#include "platform/folder_lock.h"

#include <functional>
#include <string>

namespace qvo::convert {

class WorkingFolder {
public:
    // Creates a fresh folder below `root` (made when missing): `exactName`
    // first when it is not empty, else (or when that name is taken)
    // `base` + "_" + N with N drawn from 1 to 9999, drawing again while
    // the name is taken.  Throws std::runtime_error (or
    // platform::FolderCreationError for the root) when no folder can be made.
    // `draw` replaces the random N (tests).
    WorkingFolder(const std::string &root, const std::string &exactName, const std::string &base,
                  const std::function<int()> &draw = {});
    // Removes the folder and its lock.
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    // The folder, with a trailing "/".
    const std::string &path() const { return path_; }
    // Removes the folder tree and releases the lock now; false when
    // something could not be removed.
    bool remove();

    // Removes what the folder holds but keeps the folder, and its lock, for
    // another archive: renaming an empty folder costs next to nothing, while
    // removing one and making another waits for the disk on volumes that
    // discard freed blocks at once.  False when something stayed.
    bool clear();
    // Gives the folder the next free name `base` + "_" + N, drawn like the
    // constructor's.  False (the folder keeping its name) when none is free
    // or renaming fails.
    bool rename(const std::string &base, const std::function<int()> &draw = {});

private:
    bool tryName(const std::string &root, const std::string &name);

    std::string root_; // with a trailing "/"
    std::string path_;
    platform::FolderLock lock_; // on the folder itself
};

// Removes from `root` every entry that no running conversion owns.
// Failures are ignored.
void cleanWorkingRoot(const std::string &root);

// Suffix of the lock files the earlier layout kept beside each folder.
inline constexpr const char *kLockSuffix = ".lock";

} // namespace qvo::convert
