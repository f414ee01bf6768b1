#include "extract/pending_links.h"

#include "archivers/include/qvo_archiver.h"
#include "extract/disk_entries.h"
#include "extract/folder_walk.h"
#include "extract/link_check.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::extract {
namespace {

// Rounds of checking the made links again (see make).
constexpr int kMaxLinkRechecks = 16;

} // namespace

int32_t PendingLinks::makeOne(FolderWalk &walk, int root, bool asData, bool overwrite, const Link &link)
{
    if (!asData && !linkStaysInside(root, parentOf(link.path), link.target))
        return archivers::kErrUnsafeEntry;
    int32_t err;
    base::UniqueFd dir = walk.open(link.path, link.path.size() - 1, false, err);
    if (!dir)
        return err;
    const std::string &name = link.path.back();
    mode_t existing = entryAt(dir.get(), name);
    if (existing != 0 && (S_ISDIR(existing) || !overwrite))
        return archivers::kErrExists;
    if (existing == 0) {
        if (::symlinkat(link.target.c_str(), dir.get(), name.c_str()) != 0)
            return errno == EEXIST ? archivers::kErrExists : archivers::kErrWrite;
    } else {
        std::string temp = temporaryEntryName("symlink");
        if (::symlinkat(link.target.c_str(), dir.get(), temp.c_str()) != 0)
            return archivers::kErrWrite;
        if (::renameat(dir.get(), temp.c_str(), dir.get(), name.c_str()) != 0) {
            ::unlinkat(dir.get(), temp.c_str(), 0);
            return archivers::kErrWrite;
        }
    }
    if (link.mtimeSec) {
        timespec times[2] = {{0, UTIME_OMIT}, toTimespec(*link.mtimeSec, link.mtimeNsec)};
        ::utimensat(dir.get(), name.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    return archivers::kOk;
}

void PendingLinks::make(FolderWalk &walk, int root, bool asData, bool overwrite,
                        const std::function<void(int32_t)> &fail) const
{
    std::vector<const Link *> made;
    for (const Link &link : links_) {
        int32_t r = makeOne(walk, root, asData, overwrite, link);
        if (r == archivers::kOk)
            made.push_back(&link);
        else
            fail(r);
    }
    if (asData)
        return; // where they lead does not matter: nothing goes through them
    // A link made later can change where an earlier one leads (a missing
    // name that became a link): check them all again until none moves
    // out.  Should that not settle, none of them is trusted.
    for (int round = 0; round < kMaxLinkRechecks; ++round) {
        bool removed = false;
        for (auto &link : made) {
            if (link && !linkStaysInside(root, parentOf(link->path), link->target)) {
                remove(walk, *link);
                fail(archivers::kErrUnsafeEntry);
                link = nullptr;
                removed = true;
            }
        }
        if (!removed)
            return;
    }
    for (auto &link : made) {
        if (link) {
            remove(walk, *link);
            fail(archivers::kErrUnsafeEntry);
        }
    }
}

void PendingLinks::remove(FolderWalk &walk, const Link &link)
{
    int32_t err;
    base::UniqueFd dir = walk.open(link.path, link.path.size() - 1, false, err);
    if (dir)
        ::unlinkat(dir.get(), link.path.back().c_str(), 0);
}

} // namespace qvo::extract
