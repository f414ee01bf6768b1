// Link members: a symbolic link is checked and waits (pending_links.h); a
// hard link gets its second name at once.
#include "extract/disk_entries.h"
#include "extract/extract_sink_impl.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::extract {
namespace {

// Text a link may hold as data: not empty, no NUL byte.
bool isLinkText(const std::string &target)
{
    return !target.empty() && target.find('\0') == std::string::npos;
}

} // namespace

int32_t ExtractSink::Impl::beginLink(const MemberInfo &m, PathComponents path)
{
    if (path.empty())
        return archivers::kErrUnsafeEntry;
    flushHandOff();
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
    links.add({std::move(path), std::move(target), m.mtimeSec, m.mtimeNsec});
    return archivers::kOk;
}

// A hard link names a file extracted before; it gets a second name here
// (never one outside: both names are reached without following links).
int32_t ExtractSink::Impl::makeHardlink(const MemberInfo &m, PathComponents path)
{
    if (path.empty())
        return archivers::kErrUnsafeEntry;
    flushHandOff(); // the file it names may still be waiting
    PathComponents source;
    if (!splitMemberName(m.linkTarget, source) || source.empty())
        return archivers::kErrUnsafeEntry;
    if (!options.restorePaths) {
        path = {path.back()};
        source = {source.back()};
    }
    int32_t err;
    base::UniqueFd sourceDir = walk.open(source, source.size() - 1, false, err);
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
    std::string temp = temporaryEntryName("link");
    if (::linkat(sourceDir.get(), source.back().c_str(), dir, temp.c_str(), 0) != 0)
        return archivers::kErrWrite;
    int32_t placed = placeEntry(dir, temp, path.back(), options.overwrite);
    if (placed != archivers::kOk)
        ::unlinkat(dir, temp.c_str(), 0);
    return placed;
}

} // namespace qvo::extract
