// Which member names of a ZIP archive are marked as UTF-8, read from its
// central directory.
//
// libarchive hands unmarked names over as their raw bytes and marked ones
// (flag bit 11, or an Info-ZIP Unicode Path field 0x7075 whose CRC matches
// the stored name, which libarchive substitutes) as UTF-8, without telling
// which is which.  Knowing the marked names lets the reader decode every
// other name as CP932 from its raw bytes, even where those bytes are not
// valid CP932.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <unordered_set>

namespace qvo::archivers {

struct ZipNameMarkers {
    // A central directory was found, read whole, and holds as many entries
    // as the end record says.
    bool parsed = false;
    // The central directory was too large to read for this (names are then
    // told apart by whether they are valid UTF-8).
    bool tooLarge = false;
    // The end record says there are no members, yet other data precedes it.
    bool emptyWithData = false;
    // Hashes of the names as libarchive reports marked ones: flagged names
    // as stored, and the UTF-8 names of 0x7075 fields (which libarchive
    // takes when their CRC matches).  Hashes keep memory small for archives
    // of millions of members; a collision only changes how a name decodes.
    std::unordered_set<uint64_t> utf8Names;

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

ZipNameMarkers readZipNameMarkers(const std::filesystem::path &archive);

} // namespace qvo::archivers
