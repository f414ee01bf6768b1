// The folder walk: every folder below the destination is reached one
// component at a time, never through a link, and missing ones are made.
// The folder of the member written last stays open for the next one
// (archives list most members of a folder together), and files waiting for
// the writer thread keep theirs open (holdParent).
#pragma once
#include "base/unique_fd.h"
#include "extract/member_path.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <unordered_map>

namespace qvo::extract {

class FolderAttributes;
class MadeNames;

class FolderWalk {
public:
    using Folder = std::shared_ptr<const base::UniqueFd>;

    // `root`: the destination, borrowed.  Folders made are told to
    // `attributes`.  `waitForPendingFiles` is called before a folder is
    // looked for where a name of `made` stands that is not on the disk yet
    // (a file handed to the writer thread).
    FolderWalk(int root, mode_t umaskBits, const MadeNames &made, FolderAttributes &attributes,
               std::function<void()> waitForPendingFiles);

    // Opens the folder made of the first `count` components of `path`,
    // making missing ones with `create`.  On failure `err` says why.
    base::UniqueFd open(const PathComponents &path, size_t count, bool create, int32_t &err);
    // The folder holding the member at `path`, kept open by the walk and
    // valid until the next call; -1 with `err` set on failure.
    int parent(const PathComponents &path, bool create, int32_t &err);
    // The folder parent() answered last, to keep open for a file that waits.
    const Folder &lastParent() const { return cached_; }
    // Keeps the folder parent() answered last open while files wait in it.
    // With kMaxHeldFolders folders held already, `waitForProgress` is
    // called (the writer thread lets the oldest go first) until one is let go.
    void holdParent(const std::function<void()> &waitForProgress);
    // Closes the folder kept open.
    void forgetParent() { cached_.reset(); }
    // A folder could not be made because the volume is full.
    bool volumeFull() const { return volumeFull_; }

private:
    // Members that alternate between folders would otherwise hold one
    // descriptor per waiting file, as many as the writer is behind.
    static constexpr size_t kMaxHeldFolders = 4;

    Folder heldFolder(const std::string &key) const;
    mode_t workingFolderMode() const;

    const int root_;
    const mode_t umaskBits_;
    const MadeNames &made_;
    FolderAttributes &attributes_;
    const std::function<void()> waitForPendingFiles_;
    std::string cachedKey_;
    Folder cached_;
    std::unordered_map<std::string, std::weak_ptr<const base::UniqueFd>> held_;
    bool volumeFull_ = false;
};

} // namespace qvo::extract
