// Level-2 LHA member headers.
//
//   0  2  header size (all of it, extended headers included)
//   2  5  method, "-lh5-" etc.; "-lhd-" for folders and links
//   7  4  compressed size        11  4  original size
//  15  4  modification time, Unix seconds
//  19  1  0x20                   20  1  level (2)
//  21  2  CRC-16 of the data     23  1  OS identifier
//  24  2  size of the first extended header
// then extended headers, each: type, data, size of the next (0 ends).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvo::formats::lha {

struct LhaMemberHeader {
    char method[5] = {'-', 'l', 'h', '0', '-'};
    uint32_t compressedSize = 0;
    uint32_t originalSize = 0;
    uint32_t mtime = 0;
    uint16_t dataCrc = 0;
    uint8_t osId = 'M';
    std::string fileName;    // 0x01: bytes as stored
    std::string dirName;     // 0x02: components each followed by 0xFF; empty: none
    std::u16string utf16FileName; // 0x44, little-endian; empty: none (also left out when it
                                  // begins with U+xx00, which libarchive refuses)
    std::u16string utf16DirName;  // 0x45: components each followed by 0xFFFF (the same)
    std::optional<uint32_t> codePage; // 0x46
    std::optional<uint16_t> unixMode; // 0x50: file type and permission bits
    std::optional<uint16_t> unixUid;  // 0x51 (with unixGid)
    std::optional<uint16_t> unixGid;
};

// The header bytes; their CRC (extended header 0x00) covers them all.
// Sizes are chosen so that the first byte is never 0, which readers take
// for the end of the archive.
std::vector<uint8_t> buildLevel2Header(const LhaMemberHeader &h);

// Largest header level 2 allows; longer names are refused.
constexpr size_t kMaxLevel2HeaderSize = 0xFFFF;

} // namespace qvo::formats::lha
