// How member names are stored in the headers we write.
//
// LHA name fields are bytes whose encoding readers mostly guess.  lhasa
// writes them to disk as they are; 7-Zip does too and cuts a name at every
// 0x5C byte, also the second byte of a CP932 character (表, ソ, 能); unar
// guesses one encoding for the whole archive; libarchive converts by the
// code-page header 0x46.  The LHA tools of Japanese Windows, for which our
// users convert to LZH, expect CP932.  So an archive whose names all have an
// exact CP932 form is written in CP932 with code page 932, any other in
// UTF-8 with code page 65001; the decision is per archive, so that a reader
// guessing one encoding for the archive guesses right.  Non-ASCII names
// also get the UTF-16 name headers 0x44/0x45, for readers that know them.
// Pure ASCII names are the same in every encoding and get none of these.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvo::formats::lha {

enum class LhaNameBytes { Utf8, Cp932 };

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
constexpr uint32_t kCodePageCp932 = 932;

// `name` (or a link's target) in the bytes of `bytes`: unchanged
// for UTF-8, ASCII and text that is not valid UTF-8 (raw bytes from disk,
// stored as they are); nothing when CP932 has no exact form for it.
std::optional<std::string> lhaNameBytes(std::string_view name, LhaNameBytes bytes);

// True when `name` can go out in CP932.  A link is stored as "name|target"
// and lhasa ends the name at the first byte 0x7C, also where that is the
// second byte of a CP932 character (−, ∪): the name and target of a link
// (`inLink`) must not hold one.
bool lhaNameFitsCp932(std::string_view name, bool inLink);

// Splits the '/'-separated UTF-8 `path` into the stored folder and file
// name in `bytes`; a folder entry (`isFolder`) keeps its whole path in
// dirName.  A name that is not valid UTF-8 (a raw byte name from disk) is
// stored as it is, without a code page.  nullopt when the path is empty,
// has an empty, "." or ".." component, a byte 0xFF (the separator), or no
// exact form in `bytes`.
std::optional<LhaStoredName> storedLhaName(std::string_view path, bool isFolder,
                                           LhaNameBytes bytes = LhaNameBytes::Utf8);

} // namespace qvo::formats::lha
