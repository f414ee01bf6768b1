#include "extract/listed_members.h"

#include "codecs/crc32.h"
#include "extract/link_check.h"

#include <algorithm>

namespace qvo::extract {

void ListedMembers::add(const MemberInfo &m)
{
    receivingData_.reset();
    PathComponents path;
    if (!splitMemberName(m.name, path) || path.empty())
        return; // refused, or the destination itself
    const bool flat = !restorePaths_ && m.kind != MemberInfo::Kind::Directory;
    if (flat)
        path = {path.back()};
    ListedMember l;
    l.name = joinComponents(path);
    switch (m.kind) {
    case MemberInfo::Kind::Directory:
        l.kind = ListedMember::Kind::Folder;
        break;
    case MemberInfo::Kind::File:
        receivingData_ = listed_.size();
        files_[l.name] = listed_.size();
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
            if (auto earlier = files_.find(joinComponents(source)); earlier != files_.end()) {
                l.size = listed_[earlier->second].size;
                l.crc32 = listed_[earlier->second].crc32;
            }
        }
        files_[l.name] = listed_.size();
        break;
    }
    }
    listed_.push_back(std::move(l));
}

void ListedMembers::addData(const void *data, size_t size)
{
    if (!receivingData_)
        return;
    ListedMember &l = listed_[*receivingData_];
    l.crc32 = codecs::crc32(l.crc32, std::span(static_cast<const uint8_t *>(data), size));
    l.size += size;
}

void ListedMembers::markLinksLeadingOutside(int root)
{
    for (ListedMember &l : listed_) {
        if (l.kind != ListedMember::Kind::Link)
            continue;
        PathComponents path;
        splitMemberName(l.name, path);
        if (!linkStaysInside(root, parentOf(path), l.linkTarget))
            l.kind = ListedMember::Kind::LinkLeadingOutside;
    }
}

} // namespace qvo::extract
