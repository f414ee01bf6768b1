// The fields of ARJ headers, as ARJ's technical notes describe them.
//
// An archive is a main header, then for each member a local header and its
// packed data, then a header of size 0.  Each header is a basic part (fixed
// fields whose length the first byte tells, then the name and a comment,
// each ending in 0) with its CRC-32, followed by extended headers, each a
// 16-bit size, that many bytes and their CRC-32, until a size of 0.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qvo::formats::arj {

// Offsets in the basic part (after the id and size).
inline constexpr size_t kFirstHeaderSizeAt = 0;
inline constexpr size_t kVersionAt = 1;
inline constexpr size_t kHostOsAt = 3;
inline constexpr size_t kFlagsAt = 4;
inline constexpr size_t kMethodAt = 5;
inline constexpr size_t kFileTypeAt = 6;
inline constexpr size_t kModifiedAt = 8;
inline constexpr size_t kCompressedSizeAt = 12;
inline constexpr size_t kOriginalSizeAt = 16;
inline constexpr size_t kCrcAt = 20;
inline constexpr size_t kModeAt = 26;
inline constexpr size_t kFirstChapterAt = 28; // main header: the encryption version
inline constexpr size_t kLastChapterAt = 29;  // main header: the archive's last chapter
inline constexpr size_t kPartOffsetAt = 30;   // where a continued part starts in its file
inline constexpr size_t kFixedFields = 30;

// Flags of local headers (the main header's share the first bits).
inline constexpr uint8_t kFlagGarbled = 0x01;   // encrypted with a password
inline constexpr uint8_t kFlagAnsiNames = 0x02; // main header: names in the ANSI code page
inline constexpr uint8_t kFlagVolume = 0x04;    // continues in the next volume
inline constexpr uint8_t kFlagContinued = 0x08; // started in the volume before

// File types.
inline constexpr uint8_t kTypeBinary = 0;
inline constexpr uint8_t kTypeText = 1;
inline constexpr uint8_t kTypeMain = 2;
inline constexpr uint8_t kTypeDirectory = 3;
inline constexpr uint8_t kTypeVolumeLabel = 4;
inline constexpr uint8_t kTypeChapterLabel = 5;
inline constexpr uint8_t kTypeUnixSpecial = 6; // a link, device or FIFO: see kUnixSpecialTag

// Host systems whose headers hold Unix times and modes.
inline constexpr uint8_t kHostUnix = 2;
inline constexpr uint8_t kHostNext = 8;

// The extended header of a Unix special file: the tag, a byte of flags,
// then a byte whose top three bits give the kind and low five bits the
// length of what follows (31: a 16-bit length follows first).
inline constexpr char kUnixSpecialTag = 'U';
inline constexpr uint8_t kSpecialHardLink = 1;
inline constexpr uint8_t kSpecialSymlink = 2;

} // namespace qvo::formats::arj
