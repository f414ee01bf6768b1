// Links: a symbolic link waits until every other member is written, then is
// made only when it leads inside the destination (in a conversion's working
// folder, as it is stored); a hard link gets its second name at once.
#include "extract/extract_sink_impl.h"

#include "extract/link_check.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::extract {
namespace {

// Rounds of checking the made links again (see makeLinks).
constexpr int kMaxLinkRechecks = 16;

} // namespace

int32_t ExtractSink::Impl::beginLink(const MemberInfo &m, PathComponents path)
{
    if (path.empty())
        return archivers::kErrUnsafeEntry;
    flushWriter();
    if (!options.restorePaths)
        path = {path.back()};
    PathComponents base(path.begin(), path.end() - 1);
    PathComponents resolved;
    if (keepsLinksAsData() ? !isLinkText(m.linkTarget)
                           : !resolveLinkTargetLexically(base, m.linkTarget, resolved))
        return archivers::kErrUnsafeEntry;
    int32_t err;
    const int dir = folderForNewEntry(path, err);
    if (dir < 0)
        return err;
    if (nameIsKept(dir, path.back()))
        return archivers::kErrExists;
    std::string target = m.linkTarget;
    std::replace(target.begin(), target.end(), '\\', '/');
    links.push_back({std::move(path), std::move(target), m.mtimeSec, m.mtimeNsec});
    return archivers::kOk;
}

// A hard link names a file extracted before; it gets a second name here
// (never one outside: both names are reached without following links).
int32_t ExtractSink::Impl::makeHardlink(const MemberInfo &m, PathComponents path)
{
    if (path.empty())
        return archivers::kErrUnsafeEntry;
    flushWriter(); // the file it names may still be waiting
    PathComponents source;
    if (!splitMemberName(m.linkTarget, source) || source.empty())
        return archivers::kErrUnsafeEntry;
    if (!options.restorePaths) {
        path = {path.back()};
        source = {source.back()};
    }
    int32_t err;
    base::UniqueFd sourceDir = openFolder(source, source.size() - 1, false, err);
    if (!sourceDir)
        return err == archivers::kErrUnsafeEntry ? err : archivers::kErrCorrupt;
    mode_t kind = entryAt(sourceDir.get(), source.back());
    if (kind == 0)
        return archivers::kErrCorrupt; // the archive names a member it does not hold
    if (!S_ISREG(kind))
        return archivers::kErrUnsafeEntry;
    const int dir = folderForNewEntry(path, err);
    if (dir < 0)
        return err;
    if (nameIsKept(dir, path.back()))
        return archivers::kErrExists;
    std::string temp = nextTempName("link");
    if (::linkat(sourceDir.get(), source.back().c_str(), dir, temp.c_str(), 0) != 0)
        return archivers::kErrWrite;
    int32_t placed = placeEntry(dir, temp, path.back());
    if (placed != archivers::kOk)
        ::unlinkat(dir, temp.c_str(), 0);
    return placed;
}

int32_t ExtractSink::Impl::makeLink(const PendingLink &link)
{
    if (!keepsLinksAsData() && !linkStaysInside(root.get(), parentOf(link.path), link.target))
        return archivers::kErrUnsafeEntry;
    int32_t err;
    base::UniqueFd dir = openFolder(link.path, link.path.size() - 1, false, err);
    if (!dir)
        return err;
    const std::string &name = link.path.back();
    mode_t existing = entryAt(dir.get(), name);
    if (existing != 0 && (S_ISDIR(existing) || !options.overwrite))
        return archivers::kErrExists;
    if (existing == 0) {
        if (::symlinkat(link.target.c_str(), dir.get(), name.c_str()) != 0)
            return errno == EEXIST ? archivers::kErrExists : archivers::kErrWrite;
    } else {
        std::string temp = nextTempName("symlink");
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

void ExtractSink::Impl::makeLinks()
{
    std::vector<const PendingLink *> made;
    for (const PendingLink &link : links) {
        int32_t r = makeLink(link);
        if (r == archivers::kOk)
            made.push_back(&link);
        else
            fail(r);
    }
    if (keepsLinksAsData())
        return; // where they lead does not matter: nothing goes through them
    // A link made later can change where an earlier one leads (a missing
    // name that became a link): check them all again until none moves
    // out.  Should that not settle, none of them is trusted.
    for (int round = 0; round < kMaxLinkRechecks; ++round) {
        bool removed = false;
        for (auto &link : made) {
            if (link && !linkStaysInside(root.get(), parentOf(link->path), link->target)) {
                removeLink(*link);
                link = nullptr;
                removed = true;
            }
        }
        if (!removed)
            return;
    }
    for (auto &link : made) {
        if (link)
            removeLink(*link);
    }
}

void ExtractSink::Impl::removeLink(const PendingLink &link)
{
    int32_t err;
    base::UniqueFd dir = openFolder(link.path, link.path.size() - 1, false, err);
    if (dir)
        ::unlinkat(dir.get(), link.path.back().c_str(), 0);
    fail(archivers::kErrUnsafeEntry);
}

PathComponents ExtractSink::Impl::parentOf(const PathComponents &path)
{
    return PathComponents(path.begin(), path.end() - 1);
}

} // namespace qvo::extract
