// Which member names of a ZIP archive are marked as UTF-8, read from its
// central directory.
//
// libarchive hands unmarked names over as their raw bytes and marked ones
// (flag bit 11, or an Info-ZIP Unicode Path field 0x7075 whose CRC matches
// the stored name, which libarchive substitutes) as UTF-8, without telling
// which is which.  Knowing the marked names lets the reader decode every
// other name in the archive's code page from its raw bytes, even where
// those bytes are not valid there.
//
// Names from Unix and macOS hosts are unmarked UTF-8 as a rule (Info-ZIP zip
// and most tools there write them without bit 11), so those count as marked
// too when they are valid UTF-8 beyond ASCII; see unmarkedZipNameIsUtf8.
#pragma once
#include "text/archive_name_charset.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>

namespace qvo::formats::zip {

struct ZipNameMarkers {
    // A central directory was found, read whole, and holds as many entries
    // as the end record says.
    bool parsed = false;
    // The central directory was too large to read for this (names are then
    // told apart by whether they are valid UTF-8).
    bool tooLarge = false;
    // The end record says there are no members, yet other data precedes it.
    bool emptyWithData = false;
    // Some member uses Shrink, Reduce, Implode or Deflate64, which
    // libarchive does not decode: the archive is read by our own reader.
    bool legacyMethods = false;
    // Some name holds a NUL byte, which libarchive's names end at.
    bool nulInNames = false;
    // Two members share bytes: one local record serves several entries, or
    // a member's data runs into the next local record.  Readers would take
    // one of them and drop or repeat the rest (overlap is also how bombs
    // multiply one compressed stream), so such an archive is refused.
    bool overlapping = false;
    // Hashes of the names as libarchive reports marked ones: flagged names
    // as stored, and the UTF-8 names of 0x7075 fields (which libarchive
    // takes when their CRC matches).  Hashes keep memory small for archives
    // of millions of members; a collision only changes how a name decodes.
    std::unordered_set<uint64_t> utf8Names;
    // The encoding of the other names, decided from all of them at once.
    text::ArchiveNameCharset names;

    bool isMarked(std::string_view name) const { return utf8Names.count(nameHash(name)) > 0; }
    static uint64_t nameHash(std::string_view name)
    {
        uint64_t h = 1469598103934665603ULL; // FNV-1a
        for (unsigned char c : name) {
            h ^= c;
            h *= 1099511628211ULL;
        }
        return h;
    }
};

// Host numbers of "version made by" (high byte).
constexpr uint8_t kZipHostFat = 0;
constexpr uint8_t kZipHostUnix = 3;
constexpr uint8_t kZipHostHpfs = 6;
constexpr uint8_t kZipHostNtfs = 10;       // as APPNOTE numbers it
constexpr uint8_t kZipHostNtfsInfoZip = 11; // as Info-ZIP writes it
constexpr uint8_t kZipHostVfat = 14;
constexpr uint8_t kZipHostOsX = 19;

// Whether a name without bit 11 or a 0x7075 field is UTF-8: made on Unix or
// OS X, valid UTF-8 and not plain ASCII.  Every other unmarked name is read
// in the archive's code page, including valid UTF-8 from Windows hosts,
// where unmarked means the code page.  A CP932 name from a Unix host can happen to be valid UTF-8 (short
// runs such as 0xE3 0x81 0x82 read as both); such a name would then decode
// as UTF-8, a clash rare enough next to the many UTF-8 archives made there.
bool unmarkedZipNameIsUtf8(uint8_t host, std::string_view raw);

// The origin of an unmarked name made on `host`: the format says names
// made on DOS, OS/2 and Windows are the OEM code page's.
text::NameOrigin zipNameOrigin(uint8_t host);

// `chosenCharset`: the encoding the user named for unmarked names, which
// then also covers the unmarked UTF-8 of Unix hosts; empty to guess.
ZipNameMarkers readZipNameMarkers(const std::filesystem::path &archive, const std::string &chosenCharset);

} // namespace qvo::formats::zip
