// A stretch of an archive file, or bytes in place of one: what a format
// hands the libarchive adapter to read an archive other than as it lies
// (see piece_source.h).
#pragma once
#include <cstdint>
#include <string>

namespace qvo::formats::shared {

// A stretch of the file (offset, size) or, when bytes is not empty,
// bytes that take the place of a header.
struct ArchivePiece {
    uint64_t offset = 0;
    uint64_t size = 0;
    std::string bytes;
};

} // namespace qvo::formats::shared
