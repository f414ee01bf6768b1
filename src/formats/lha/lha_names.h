// How member names are stored in the headers we write.
//
// Names go in as UTF-8 bytes.  Of the readers at hand, lhasa and 7-Zip take
// name bytes as they are (7-Zip even splits CP932 names at a 0x5C trail
// byte, so 表 and ソ break paths), libarchive converts them by the
// code-page header 0x46, and unar guesses.  CP932 bytes come out right only
// in libarchive and unar; UTF-8 with code page 65001 comes out right in all
// four and holds every name.  Japanese Windows archivers that read only
// CP932 show such names wrongly; those that honour the code-page header
// (as libarchive does) or the UTF-16 name headers 0x44/0x45, which we add
// too, read them correctly.  Pure ASCII names are the same in every
// encoding and get neither.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvo::formats::lha {

struct LhaStoredName {
    std::string fileName; // extended header 0x01
    std::string dirName;  // extended header 0x02: each component followed by 0xFF
    std::optional<uint32_t> codePage;
    std::u16string utf16FileName; // 0x44; empty when not needed
    std::u16string utf16DirName;  // 0x45: each component followed by 0xFFFF
};

// UTF-16 form of valid UTF-8 `s` (surrogate pairs above U+FFFF).
std::u16string utf8ToUtf16(std::string_view s);

constexpr uint8_t kLhaOsIdUnix = 'U';
constexpr uint32_t kCodePageUtf8 = 65001;

// Splits the '/'-separated UTF-8 `path` into the stored folder and file
// name; a folder entry (`isFolder`) keeps its whole path in dirName.
// A name that is not valid UTF-8 (a raw byte name from disk) is stored as
// it is, without a code page.  nullopt when the path is empty, has an
// empty, "." or ".." component, or a byte 0xFF (the separator).
std::optional<LhaStoredName> storedLhaName(std::string_view path, bool isFolder);

} // namespace qvo::formats::lha
