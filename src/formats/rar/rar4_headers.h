// Block headers of RAR 1.5 to 4.x archives (signature "Rar!\x1a\x07\x00").
//
// Every block starts with CRC16 (low half of a CRC32), type, flags and
// header size; a block with the long-block flag carries a 32-bit data size
// after the header.  File headers and the main header of archivers before
// 3.0 may hold an old-style comment inside the header; the header CRC then
// covers only the part before the comment.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvo::formats::rar::rar4 {

inline constexpr char kSignature[] = "Rar!\x1a\x07\x00";
inline constexpr size_t kSignatureSize = 7;
inline constexpr size_t kBaseHeaderSize = 7;

enum BlockType : uint8_t {
    kMarkBlock = 0x72,
    kMainBlock = 0x73,
    kFileBlock = 0x74,
    kCommentBlock = 0x75,
    kAvBlock = 0x76,
    kOldSubBlock = 0x77,
    kProtectBlock = 0x78,
    kSignBlock = 0x79,
    kSubBlock = 0x7A,
    kEndBlock = 0x7B,
};

// Main header flags.
inline constexpr uint16_t kMainVolume = 0x0001;
inline constexpr uint16_t kMainComment = 0x0002;
inline constexpr uint16_t kMainLocked = 0x0004;
inline constexpr uint16_t kMainSolid = 0x0008;
inline constexpr uint16_t kMainNewNaming = 0x0010;
inline constexpr uint16_t kMainEncryptedHeaders = 0x0080;
inline constexpr uint16_t kMainFirstVolume = 0x0100;

// File header flags.
inline constexpr uint16_t kFileSplitBefore = 0x0001;
inline constexpr uint16_t kFileSplitAfter = 0x0002;
inline constexpr uint16_t kFileEncrypted = 0x0004;
inline constexpr uint16_t kFileComment = 0x0008;
inline constexpr uint16_t kFileSolid = 0x0010;
inline constexpr uint16_t kFileDictionaryMask = 0x00E0;
inline constexpr uint16_t kFileDirectory = 0x00E0; // all dictionary bits set
inline constexpr uint16_t kFileLarge = 0x0100;
inline constexpr uint16_t kFileUnicode = 0x0200;
inline constexpr uint16_t kFileSalt = 0x0400;
inline constexpr uint16_t kFileExtTime = 0x1000;
inline constexpr uint16_t kLongBlock = 0x8000;

// End-of-archive flags.
inline constexpr uint16_t kEndNextVolume = 0x0001;

enum HostOs : uint8_t { kHostMsDos = 0, kHostOs2 = 1, kHostWin32 = 2, kHostUnix = 3, kHostMacOs = 4, kHostBeOs = 5 };

inline constexpr uint8_t kMethodStore = 0x30;

// The fixed part every block starts with.
struct BlockHeader {
    uint16_t crc = 0;
    uint8_t type = 0;
    uint16_t flags = 0;
    uint16_t headSize = 0;
    uint64_t dataSize = 0; // bytes that follow the header (long blocks, files)
};

struct FileHeader {
    uint16_t flags = 0;
    uint64_t packSize = 0;
    uint64_t unpSize = 0;
    uint8_t hostOs = 0;
    uint32_t crc = 0;
    uint32_t dosTime = 0;
    uint8_t unpVersion = 0;
    uint8_t method = 0;
    uint32_t attributes = 0;
    std::string name;  // UTF-8, '/' separated
    bool nameIsUnicode = false;
    std::string rawName; // as stored, when the name is not Unicode
    std::optional<int64_t> mtimeSec;
    uint32_t mtimeNsec = 0;

    bool splitBefore() const { return flags & kFileSplitBefore; }
    bool splitAfter() const { return flags & kFileSplitAfter; }
    bool encrypted() const { return flags & kFileEncrypted; }
    bool isDirectory() const;
    bool isSymlink() const;
    uint32_t unixMode() const;
};

// Parses the 7 fixed bytes (and the data size of long blocks, which needs
// 11).  `bytes` holds at least kBaseHeaderSize bytes.
BlockHeader parseBlockHeader(std::string_view bytes);

// Whether the header CRC matches: over the whole header, or over its part
// before an old-style comment.
bool headerCrcMatches(const BlockHeader &block, std::string_view header);

// Parses a whole file header (or a sub-block of the same layout).
std::optional<FileHeader> parseFileHeader(std::string_view header);

// Decodes RAR's compact Unicode name encoding: `encoded` follows the zero
// byte after the plain name.  Returns UTF-16LE bytes.
std::string decodeUnicodeName(std::string_view plain, std::string_view encoded);

} // namespace qvo::formats::rar::rar4
