#include "formats/zip/zip_name_markers.h"

#include "formats/zip/zip_central_directory.h"
#include "text/cp932.h"
#include "codecs/zip_legacy/zip_legacy_decoder.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvo::formats::zip {
namespace {

constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kUnicodePathId = 0x7075;
constexpr uint64_t kCentralRecordSize = 46;
constexpr uint64_t kLocalRecordSize = 30;

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

// Whether any two members' records overlap, given where each local record
// starts and the least it can span: its fixed header and its compressed
// data.  Names and extra fields are left out, as the local ones may differ
// from the central ones, so a sound archive is never taken for overlapping.
bool recordsOverlap(std::vector<std::pair<uint64_t, uint64_t>> &records)
{
    std::sort(records.begin(), records.end());
    for (size_t i = 1; i < records.size(); ++i) {
        const auto &[start, least] = records[i - 1];
        if (records[i].first - start < least)
            return true;
    }
    return false;
}

} // namespace

bool unmarkedZipNameIsUtf8(uint8_t host, std::string_view raw)
{
    return (host == kZipHostUnix || host == kZipHostOsX) && !text::isAscii(raw) && text::isValidUtf8(raw);
}

text::NameOrigin zipNameOrigin(uint8_t host)
{
    if (host == kZipHostUnix || host == kZipHostOsX)
        return text::NameOrigin::Utf8IfValid;
    if (host == kZipHostFat || host == kZipHostHpfs || host == kZipHostNtfs || host == kZipHostNtfsInfoZip ||
        host == kZipHostVfat)
        return text::NameOrigin::OemCodePage;
    return text::NameOrigin::Unknown;
}

ZipNameMarkers readZipNameMarkers(const std::filesystem::path &archive, const std::string &chosenCharset)
{
    ZipNameMarkers out;
    out.names = text::ArchiveNameCharset(chosenCharset);
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
    std::vector<std::pair<uint64_t, uint64_t>> records; // local offset, least size
    records.reserve(static_cast<size_t>(std::min<uint64_t>(dir.count, dir.bytes.size() / kCentralRecordSize)));
    while (size_t next = parseZipCentralRecord(dir.bytes, at, r)) {
        ++entries;
        records.emplace_back(r.localOffset,
                             kLocalRecordSize + std::min(r.compressedSize, UINT64_MAX - kLocalRecordSize));
        if (codecs::zip_legacy::isLegacyMethod(r.method))
            out.legacyMethods = true;
        if (r.name.find('\0') != std::string::npos)
            out.nulInNames = true;
        if (r.flags & kFlagUtf8) {
            out.utf8Names.insert(ZipNameMarkers::nameHash(r.name));
        } else {
            std::string uni = unicodePath(r.extra);
            if (!uni.empty())
                out.utf8Names.insert(ZipNameMarkers::nameHash(uni));
            else
                out.names.add(r.name, zipNameOrigin(r.host));
            // libarchive hands over the raw name when a 0x7075 CRC fails.
            if (chosenCharset.empty() && unmarkedZipNameIsUtf8(r.host, r.name))
                out.utf8Names.insert(ZipNameMarkers::nameHash(r.name));
        }
        at = next;
    }
    // A central directory that does not hold what its end record says
    // (entries missing, or more of them) is damaged.
    out.parsed = entries == dir.count;
    out.names.decide();
    out.overlapping = recordsOverlap(records);
    return out;
}

} // namespace qvo::formats::zip
