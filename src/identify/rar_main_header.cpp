#include "identify/rar_main_header.h"

#include "base/ascii.h"
#include "base/endian.h"

#include <cstdint>
#include <regex>

namespace qvo::identify {
namespace {

constexpr unsigned char kRar4MainBlock = 0x73;
constexpr uint16_t kRar4MainVolume = 0x0001;
constexpr uint16_t kRar4MainFirstVolume = 0x0100;
constexpr uint64_t kRar5MainType = 1;
constexpr uint64_t kRar5FlagExtra = 0x0001;
constexpr uint64_t kRar5FlagData = 0x0002;
constexpr uint64_t kRar5ArchiveVolume = 0x0001;
constexpr uint64_t kRar5VolumeNumber = 0x0002; // only later volumes carry a number

// RAR 5's variable-length integer: seven bits a byte, low bits first.
bool readVint(std::string_view b, size_t &at, uint64_t &value)
{
    value = 0;
    for (unsigned shift = 0; shift < 64 && at < b.size(); shift += 7) {
        const auto byte = static_cast<unsigned char>(b[at++]);
        value |= uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

bool startsWith(std::string_view b, size_t at, std::string_view marker)
{
    return b.size() >= at + marker.size() && b.compare(at, marker.size(), marker) == 0;
}

} // namespace

bool rarArchiveAt(std::string_view b, size_t at)
{
    if (startsWith(b, at, kRar4Marker)) {
        const size_t type = at + kRar4Marker.size() + 2; // after the header CRC
        return type >= b.size() || static_cast<unsigned char>(b[type]) == kRar4MainBlock;
    }
    if (startsWith(b, at, kRar5Marker)) {
        size_t p = at + kRar5Marker.size() + 4; // after the header CRC32
        uint64_t size = 0, type = 0;
        if (p >= b.size())
            return true;
        return !readVint(b, p, size) || p >= b.size() || !readVint(b, p, type) || type == kRar5MainType;
    }
    return false;
}

size_t findRarArchive(std::string_view b)
{
    const std::string_view common = kRar4Marker.substr(0, 6); // "Rar!\x1a\x07"
    for (size_t at = b.find(common); at != std::string_view::npos; at = b.find(common, at + 1))
        if (rarArchiveAt(b, at))
            return at;
    return std::string_view::npos;
}

RarVolumeInfo rarVolumeInfo(std::string_view b, const std::string &fileName)
{
    RarVolumeInfo info;
    if (startsWith(b, 0, kRar4Marker) && b.size() >= kRar4Marker.size() + 5) {
        const size_t at = kRar4Marker.size();
        if (static_cast<unsigned char>(b[at + 2]) != kRar4MainBlock)
            return info;
        const uint16_t flags = base::loadLe16(b.data() + at + 3);
        info.isVolume = (flags & kRar4MainVolume) != 0;
        if (info.isVolume && !(flags & kRar4MainFirstVolume)) {
            const std::string name = base::asciiLower(fileName);
            std::smatch m;
            static const std::regex part(R"(\.part0*([0-9]+)\.rar$)");
            if (std::regex_search(name, m, part))
                info.isFirstVolume = m[1] == "1";
            else
                info.isFirstVolume = name.size() > 4 && name.compare(name.size() - 4, 4, ".rar") == 0;
        }
        return info;
    }
    if (startsWith(b, 0, kRar5Marker)) {
        size_t at = kRar5Marker.size() + 4;
        uint64_t size, type, flags, skip, archiveFlags;
        if (!readVint(b, at, size) || !readVint(b, at, type) || type != kRar5MainType || !readVint(b, at, flags))
            return info;
        if ((flags & kRar5FlagExtra) && !readVint(b, at, skip))
            return info;
        if ((flags & kRar5FlagData) && !readVint(b, at, skip))
            return info;
        if (!readVint(b, at, archiveFlags))
            return info;
        info.isVolume = (archiveFlags & kRar5ArchiveVolume) != 0;
        info.isFirstVolume = !(archiveFlags & kRar5VolumeNumber);
    }
    return info;
}

} // namespace qvo::identify
