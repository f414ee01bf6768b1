// The members an archive handed over, as a library lists them for the run
// (QVO_SWITCH_MEMBER_LIST in archivers/include/qvo_archiver.h), and the
// check that a new archive holds, member for member, what its source held.
#pragma once
#include "backends/target_formats.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qvo::convert {

struct ListedMember {
    enum class Kind { File, Folder, Link, LinkLeadingOutside } kind = Kind::File;
    std::string name;       // components joined by "/"
    uint64_t size = 0;      // files
    uint32_t crc32 = 0;     // files
    std::string linkTarget; // links
};

using MemberList = std::vector<ListedMember>;

// The list a library wrote to `path`; nothing when it is missing or not a
// well-formed list.
std::optional<MemberList> readMemberList(const std::string &path);

// True when `copy` (read back from the new archive) holds every member of
// `source` with the same kind, size, CRC-32 and link target, and nothing
// more; folders implied by the members' paths count as listed.  A format
// without folders (`holds`) may lack the empty ones; one without links
// may lack a link or hold the content of the file it names instead.  A name
// listed twice in the source (but for a folder) can never be held, so it
// fails too.  `difference` names the first mismatch.
bool sameMembers(const MemberList &source, const MemberList &copy, const backends::TargetHolds &holds,
                 std::string &difference);

// The symbolic links of `list` that lead outside the archive's folder.
size_t linksLeadingOutside(const MemberList &list);

} // namespace qvo::convert
