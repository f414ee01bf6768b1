// Record layouts and constants of the ZIP format (PKWARE APPNOTE 6.3).
//
// All multi-byte fields are little-endian.  A field that does not fit its
// 16- or 32-bit slot holds all ones and the real value moves to the ZIP64
// extra field (member sizes, header offset) or the ZIP64 end records
// (entry count, central directory size and offset).
#pragma once
#include <cstdint>

namespace qvo::formats::zip {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;

constexpr uint32_t kLocalHeaderSize = 30;   // without name and extra field
constexpr uint32_t kCentralHeaderSize = 46; // without name, extra field and comment
constexpr uint32_t kEndSize = 22;
constexpr uint32_t kZip64EndSize = 56;
constexpr uint32_t kZip64LocatorSize = 20;

// Offsets inside a local header of the fields patched after the data.
constexpr uint32_t kLocalCrcOffset = 14;
constexpr uint32_t kLocalCompressedSizeOffset = 18;
constexpr uint32_t kLocalSizeOffset = 22;

constexpr uint16_t kMethodStore = 0;
constexpr uint16_t kMethodDeflate = 8;

// General-purpose flag bits.
constexpr uint16_t kFlagDeflateMaximum = 0x0002; // levels 8 and 9
constexpr uint16_t kFlagDeflateFast = 0x0004;    // levels 1 and 2
constexpr uint16_t kFlagUtf8Name = 0x0800;

// "Version made by": host system in the high byte, APPNOTE version 6.3.
constexpr uint16_t kHostUnix = 3;
constexpr uint16_t kVersionMadeBy = (kHostUnix << 8) | 63;
// "Version needed to extract".
constexpr uint16_t kVersionStore = 10;
constexpr uint16_t kVersionDeflate = 20;
constexpr uint16_t kVersionZip64 = 45;

// Extra field ids.
constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraTimestamp = 0x5455; // Info-ZIP extended timestamp ("UT")
constexpr uint8_t kTimestampHasMtime = 0x01;

// MS-DOS attribute bits in the low byte of the external attributes.
constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kDosDirectory = 0x10;

// Largest values the classic fields hold; a value at or above them needs ZIP64.
constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr uint64_t kMax16 = 0xFFFFu;

} // namespace qvo::formats::zip
