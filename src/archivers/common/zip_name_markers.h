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
#include <filesystem>
#include <set>
#include <string>

namespace qvo::archivers {

struct ZipNameMarkers {
    // A central directory was found, read whole, and holds as many entries
    // as the end record says.
    bool parsed = false;
    // The end record says there are no members, yet other data precedes it.
    bool emptyWithData = false;
    // Names as libarchive reports marked ones: flagged names as stored, and
    // the UTF-8 names of 0x7075 fields (taken when their CRC matches).
    std::set<std::string> utf8Names;
};

ZipNameMarkers readZipNameMarkers(const std::filesystem::path &archive);

} // namespace qvo::archivers
