// The generic part of RAR 5 block headers, for the walks we make over an
// archive beside libarchive (encryption check, header clean-up).
//
// A block is: CRC32 of the header (4 bytes), header size (vint), then the
// header of that size: type, flags, [extra area size], [data size], the
// type's own fields, and the extra area at its end; the data area follows.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>

namespace qvo::formats::rar::rar5 {

inline constexpr char kMarker[] = "Rar!\x1a\x07\x01\x00";
inline constexpr size_t kMarkerSize = 8;

inline constexpr uint64_t kTypeMain = 1;
inline constexpr uint64_t kTypeFile = 2;
inline constexpr uint64_t kTypeService = 3;
inline constexpr uint64_t kTypeEncryption = 4; // every later header is encrypted
inline constexpr uint64_t kTypeEnd = 5;

inline constexpr uint64_t kFlagExtra = 0x0001;
inline constexpr uint64_t kFlagData = 0x0002;
inline constexpr uint64_t kFlagSkipIfUnknown = 0x0004;

inline constexpr uint64_t kArchiveVolume = 0x0001;
inline constexpr uint64_t kArchiveVolumeNumber = 0x0002;

inline constexpr uint64_t kMaxHeader = 2 * 1024 * 1024;

// Reads a little-endian base-128 number from b at `at`, advancing it.
bool readVint(const std::string &b, size_t &at, uint64_t &v);
void appendVint(std::string &out, uint64_t v);

struct Block {
    uint64_t offset = 0;   // of the CRC field
    std::string raw;       // CRC, size field and header, as stored
    size_t headerAt = 0;   // where the header starts in raw (after the size field)
    size_t fieldsAt = 0;   // where the type's own fields start in raw
    bool crcOk = false;
    uint64_t type = 0;
    uint64_t flags = 0;
    uint64_t extraSize = 0;
    uint64_t dataSize = 0;

    uint64_t end() const { return offset + raw.size() + dataSize; }
};

// Reads the block at `offset`.  False when the file ends inside it or its
// generic fields do not parse; crcOk tells whether the header is intact.
bool readBlock(std::ifstream &in, uint64_t offset, Block &block);

// True when the file starts with the RAR 5 marker.
bool startsWithMarker(std::ifstream &in, uint64_t at = 0);

} // namespace qvo::formats::rar::rar5
