// The members handed over, listed as they come (ExtractOptions::
// listMembers): what a conversion's new archive must hold.  Kept beside the
// extraction, so that checking a conversion never reads its source twice.
#include "extract/extract_sink_impl.h"

#include "codecs/deflate/deflate_encoder.h"
#include "extract/link_check.h"

#include <algorithm>

namespace qvo::extract {

void ExtractSink::Impl::listMember(const MemberInfo &m)
{
    listedData.reset();
    PathComponents path;
    if (!splitMemberName(m.name, path) || path.empty())
        return; // refused, or the destination itself
    const bool flat = !options.restorePaths && m.kind != MemberInfo::Kind::Directory;
    if (flat)
        path = {path.back()};
    ListedMember l;
    l.name = joinComponents(path);
    switch (m.kind) {
    case MemberInfo::Kind::Directory:
        l.kind = ListedMember::Kind::Folder;
        break;
    case MemberInfo::Kind::File:
        listedData = listed.size();
        listedFiles[l.name] = listed.size();
        break;
    case MemberInfo::Kind::Symlink:
        l.kind = ListedMember::Kind::Link;
        l.linkTarget = m.linkTarget;
        std::replace(l.linkTarget.begin(), l.linkTarget.end(), '\\', '/');
        break;
    case MemberInfo::Kind::Hardlink: {
        // Another name for the data of a file listed before.
        PathComponents source;
        if (splitMemberName(m.linkTarget, source) && !source.empty()) {
            if (flat)
                source = {source.back()};
            if (auto earlier = listedFiles.find(joinComponents(source)); earlier != listedFiles.end()) {
                l.size = listed[earlier->second].size;
                l.crc32 = listed[earlier->second].crc32;
            }
        }
        listedFiles[l.name] = listed.size();
        break;
    }
    }
    listed.push_back(std::move(l));
}

void ExtractSink::Impl::listData(const void *data, size_t size)
{
    ListedMember &l = listed[*listedData];
    l.crc32 = codecs::deflate::crc32(l.crc32, std::span(static_cast<const uint8_t *>(data), size));
    l.size += size;
}

// Links kept as data may lead anywhere; the list says which lead out, for
// a target format that cannot hold them.
void ExtractSink::Impl::markLinksLeadingOutside()
{
    if (!keepsLinksAsData())
        return; // a link leading out was refused
    for (ListedMember &l : listed) {
        if (l.kind != ListedMember::Kind::Link)
            continue;
        PathComponents path;
        splitMemberName(l.name, path);
        if (!linkStaysInside(root.get(), parentOf(path), l.linkTarget))
            l.kind = ListedMember::Kind::LinkLeadingOutside;
    }
}

} // namespace qvo::extract
