#include "formats/zip/zip_name_markers.h"

#include "formats/zip/zip_central_directory.h"
#include "text/cp932.h"
#include "codecs/zip_legacy/zip_legacy_decoder.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace qvo::archivers {
namespace {

constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kUnicodePathId = 0x7075;

// The UTF-8 name of a version-1 0x7075 field in `extra`, or empty.  Its
// CRC is not checked here: libarchive substitutes the name only when the
// CRC matches, and otherwise hands over the raw name, which this set then
// does not contain.
std::string unicodePath(std::string_view extra)
{
    std::string_view body = findZipExtra(extra, kUnicodePathId);
    if (body.size() > 5 && body[0] == 1) {
        std::string_view name = body.substr(5);
        if (text::isValidUtf8(name))
            return std::string(name);
    }
    return {};
}

} // namespace

bool unmarkedZipNameIsUtf8(uint8_t host, std::string_view raw)
{
    return (host == kZipHostUnix || host == kZipHostOsX) && !text::isAscii(raw) && text::isValidUtf8(raw);
}

ZipNameMarkers readZipNameMarkers(const std::filesystem::path &archive)
{
    ZipNameMarkers out;
    std::ifstream in(archive, std::ios::binary);
    if (!in)
        return out;
    ZipCentralDirectory dir = loadZipCentralDirectory(in);
    out.tooLarge = dir.tooLarge;
    out.emptyWithData = dir.emptyWithData;
    if (!dir.found)
        return out;
    size_t at = 0;
    uint64_t entries = 0;
    ZipCentralRecord r;
    while (size_t next = parseZipCentralRecord(dir.bytes, at, r)) {
        ++entries;
        if (codecs::zip::isLegacyMethod(r.method))
            out.legacyMethods = true;
        if (r.name.find('\0') != std::string::npos)
            out.nulInNames = true;
        if (r.flags & kFlagUtf8) {
            out.utf8Names.insert(ZipNameMarkers::nameHash(r.name));
        } else {
            std::string uni = unicodePath(r.extra);
            if (!uni.empty())
                out.utf8Names.insert(ZipNameMarkers::nameHash(uni));
            // libarchive hands over the raw name when a 0x7075 CRC fails.
            if (unmarkedZipNameIsUtf8(r.host, r.name))
                out.utf8Names.insert(ZipNameMarkers::nameHash(r.name));
        }
        at = next;
    }
    // A central directory that does not hold what its end record says
    // (entries missing, or more of them) is damaged.
    out.parsed = entries == dir.count;
    return out;
}

} // namespace qvo::archivers
