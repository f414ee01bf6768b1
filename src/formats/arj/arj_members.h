// The members of an ARJ archive, read from its headers alone and followed
// through the volumes of a set, so that the reader knows every name and
// every member's whole size before the first member goes out.
//
// A member split over volumes has a header in each: all but the last have
// the "continues" flag, all but the first the "continued" flag and the
// offset their part starts at.  Each part is packed on its own and carries
// its own size and CRC.
#pragma once
#include "formats/arj/arj_header.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace qvo::formats::arj {

struct ArjPart {
    size_t volume = 0; // in ArjCatalogue::volumes
    uint64_t dataOffset = 0;
    uint32_t compressedSize = 0;
    uint32_t originalSize = 0;
    uint32_t crc = 0;
    uint8_t method = 0;
};

struct ArjMember {
    ArjHeader header; // of the first part
    std::vector<ArjPart> parts;
    uint64_t size = 0; // of all parts together
    // kErrMissingVolume: a part lies in a volume that is not there (also
    // the start, for a later volume read alone); kErrCorrupt: the next
    // volume does not continue the member.
    int32_t failure = 0;
};

struct ArjCatalogue {
    std::vector<std::filesystem::path> volumes; // the first, then those the walk went on to
    ArjHeader main;                             // the first volume's main header
    std::vector<ArjMember> members;
    int32_t failure = 0; // what ended the walk early: a damaged header, a missing volume
};

// Reads the headers of the archive at `first` and of the volumes after it.
// kOk, or what `first` failed with (kErrOpenArchive: no ARJ archive in it);
// later trouble goes into `failure`, with the members read up to there.
int32_t readArjCatalogue(const std::filesystem::path &first, ArjCatalogue &out);

} // namespace qvo::formats::arj
