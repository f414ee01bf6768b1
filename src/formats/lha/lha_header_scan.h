// LHA headers that lhasa does not read, found from their raw bytes.
//
// Self-extractors: lhasa looks for the archive only near the start of a file and stops at
// the first "-lh?-" look-alike, so some self-extractors (ExpLZH's, with
// method names in their own code and the archive past 64 KiB) read as
// empty.  This scan looks further and accepts only headers whose checksum
// (levels 0 and 1) or CRC (level 2) holds.
#pragma once
#include "identify/lha_headers.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvo::formats::lha {

// Offsets of headers that pass the checks, in file order, at most
// `maxCount` of them, from the first `scanLimit` bytes: the same search
// that tells a self-extractor by its content.
using identify::findLhaHeaders;

// An entry lhasa refuses although it loses nothing: level 0 or 1, no
// name, no data ("-lhd-", or "-lh0-" of size 0 as Amiga LHA 1.22 writes
// folders), its checksum holding.  LHa for UNIX and OS-9 write such
// folder entries when they drop the path; Amiga LHA keeps the path in the
// folder field.
struct NamelessEntry {
    uint64_t size = 0;  // bytes the entry takes; 0 when there is none
    std::string header; // the header with its extended headers, as stored
    int level = 0;
    uint8_t osId = 0;   // 0 for level 0, which has none
};

NamelessEntry namelessEntryAt(int fd, uint64_t offset);

// True when a header that passes its checksum or CRC starts at `offset`:
// where lhasa stopped, that is a member it could not read, not the end.
using identify::lhaHeaderAt;

} // namespace qvo::formats::lha
