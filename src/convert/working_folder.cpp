#include "convert/working_folder.h"

#include "platform/file_status.h"
#include "platform/folder_lock.h"
#include "platform/folder_tree.h"
#include "platform/path_helpers.h"
#include "platform/system_folders.h"

#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>

namespace qvo::convert {
namespace {

// Draws before the range of N widens: with 9,999 names per base a
// collision streak this long means the range is nearly used up.
constexpr int kRandomDraws = 200;
constexpr int kMaxAttempts = 100000;

using platform::FolderLock;

// A lock file of the earlier layout (beside the folder `name` of `rootFd`)
// that a running program still holds.
bool heldByLockFile(int rootFd, const std::string &name)
{
    FolderLock lock;
    return lock.lockFileAt(rootFd, name + kLockSuffix, false) == FolderLock::Result::Busy &&
           platform::entryStatusAt(rootFd, name + kLockSuffix).kind == platform::EntryStatus::Kind::File;
}

bool endsWith(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
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
    if (root.empty())
        throw std::runtime_error("no private working folder can be made in the temporary folder");
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
    std::string error;
    switch (platform::createPrivateFolder(path, error)) {
    case platform::FolderCreation::Created:
        break;
    case platform::FolderCreation::Exists:
    case platform::FolderCreation::NameTooLong:
        // Taken (in use, or left by a run that died: the next clean-up
        // takes it), or a name too long: another name may work.
        return false;
    case platform::FolderCreation::Failed:
        // A root that refuses folders will not.
        throw std::runtime_error("cannot create " + path + ": " + error);
    }
    if (lock_.lockFolder(path) != FolderLock::Result::Held)
        return false; // a clean-up won it first and removes it
    path_ = path + "/";
    return true;
}

WorkingFolder::~WorkingFolder() { remove(); }

bool WorkingFolder::clear()
{
    return lock_.held() && platform::removeFolderContents(lock_.folderDescriptor());
}

bool WorkingFolder::rename(const std::string &base, const std::function<int()> &draw)
{
    if (!lock_.held())
        return false;
    std::string current = path_.substr(0, path_.size() - 1);
    // The lock is on the folder itself, so it moves along with the name.
    bool failed = false;
    takeNumberedName(base, draw, [&](const std::string &name) {
        const std::string next = root_ + name;
        switch (platform::renameWithoutReplacing(current, next)) {
        case platform::RenameResult::Renamed:
            current = next;
            return true;
        case platform::RenameResult::Taken:
            return false; // only a taken name is worth another draw
        case platform::RenameResult::Failed:
            break;
        }
        failed = true;
        return true;
    });
    const bool renamed = !failed && current + "/" != path_;
    if (renamed)
        path_ = current + "/";
    return renamed;
}

bool WorkingFolder::remove()
{
    if (!lock_.held())
        return true;
    const bool removed = platform::deleteFolder(path_) || !platform::folderExists(path_);
    lock_.release();
    return removed;
}

void cleanWorkingRoot(const std::string &root)
{
    // Everything below is removed unless locked: only a folder of this user
    // alone, opened without following a link and worked on through that
    // descriptor, so a link planted in its place leads nowhere.
    const base::UniqueFd folder = platform::openPrivateFolder(root);
    if (!folder)
        return;
    const int fd = folder.get();
    for (const std::string &name : platform::folderEntryNames(fd)) {
        const platform::EntryStatus::Kind kind = platform::entryStatusAt(fd, name).kind;
        if (kind == platform::EntryStatus::Kind::Missing)
            continue;
        FolderLock lock;
        if (kind == platform::EntryStatus::Kind::File && endsWith(name, kLockSuffix)) {
            // A lock file of the earlier layout: goes when nobody holds it.
            // Its folder is judged by its own entry.
            if (lock.lockFileAt(fd, name, false) == FolderLock::Result::Held)
                lock.releaseAndRemoveAt(fd, name);
            continue;
        }
        if (kind != platform::EntryStatus::Kind::Folder) {
            platform::removeFileAt(fd, name); // debris: a folder of that name is refused while it is here
            continue;
        }
        // A working folder: removed under its own lock, unless a running
        // conversion holds that (or, from an earlier version, its lock file).
        if (heldByLockFile(fd, name) || lock.lockFolderAt(fd, name) != FolderLock::Result::Held)
            continue;
        platform::removeFolderTreeAt(fd, name);
    }
}

} // namespace qvo::convert
