#include "formats/rar/rar_volumes.h"

#include "base/ascii.h"
#include "base/endian.h"
#include "identify/archive_identify.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <regex>
#include <system_error>

namespace qvo::formats::rar {
namespace {

constexpr size_t kMaxVolumes = 10000;

bool exists(const std::string &p)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

} // namespace

RarVolumeInfo readRarVolumeInfo(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(64, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    return identify::rarVolumeInfo(head, path.filename().string());
}

bool rarVolumeHasNext(const std::filesystem::path &path)
{
    constexpr size_t kTail = 4096;
    constexpr uint16_t kRar4EndNextVolume = 0x0001;
    constexpr uint8_t kRar4EndType = 0x7B;
    constexpr uint8_t kRar5EndType = 0x05;
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    auto size = static_cast<uint64_t>(in.tellg());
    uint64_t take = std::min<uint64_t>(size, kTail);
    std::string b(take, '\0');
    in.seekg(static_cast<std::streamoff>(size - take));
    in.read(b.data(), static_cast<std::streamsize>(take));
    if (static_cast<uint64_t>(in.gcount()) != take)
        return true;
    auto u8 = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
    // RAR 5: ... CRC32, size 3, type 5, flags, end flags (bit 0: more volumes),
    // then at most zero padding.
    // RAR 1.5-4: CRC16, type 0x7B, flags (bit 0: more volumes), size.
    for (size_t i = b.size(); i-- > 0;) {
        if (i + 4 <= b.size() && u8(i) == 3 && u8(i + 1) == kRar5EndType && u8(i + 2) == 0x04
            && b.find_first_not_of('\0', i + 4) == std::string::npos)
            return (u8(i + 3) & 1) != 0;
        if (i >= 2 && i + 5 <= b.size() && u8(i) == kRar4EndType) {
            uint16_t flags = base::loadLe16(b.data() + i + 1);
            uint16_t headSize = base::loadLe16(b.data() + i + 3);
            if (headSize >= 7 && i - 2 + headSize <= b.size()
                && b.find_first_not_of('\0', i - 2 + headSize) == std::string::npos)
                return (flags & kRar4EndNextVolume) != 0;
        }
    }
    return true;
}

std::vector<std::string> findRarVolumes(const std::filesystem::path &first)
{
    std::vector<std::string> out{first.string()};
    std::string s = first.string();
    std::smatch m;
    static const std::regex part(R"(^(.*\.part)([0-9]+)(\.rar)$)", std::regex::icase);
    if (std::regex_match(s, m, part)) {
        std::string stem = m[1], ext = m[3];
        size_t width = m[2].length();
        unsigned long n = std::stoul(m[2]);
        for (size_t i = 0; i < kMaxVolumes; ++i) {
            char num[32];
            std::snprintf(num, sizeof num, "%0*lu", static_cast<int>(width), ++n);
            std::string next = stem + num + ext;
            if (!exists(next))
                break;
            out.push_back(next);
        }
        return out;
    }
    // Old naming: name.rar, name.r00 .. name.r99, name.s00 ..
    if (s.size() > 4 && (s.compare(s.size() - 4, 4, ".rar") == 0 || s.compare(s.size() - 4, 4, ".RAR") == 0)) {
        std::string stem = s.substr(0, s.size() - 3);
        bool upper = s[s.size() - 3] == 'R';
        for (size_t i = 0; i < kMaxVolumes && i < 26 * 100; ++i) {
            char letter = static_cast<char>((upper ? 'R' : 'r') + i / 100);
            if (letter > (upper ? 'Z' : 'z'))
                break;
            char num[8];
            std::snprintf(num, sizeof num, "%02zu", i % 100);
            std::string next = stem + letter + num;
            if (!exists(next))
                break;
            out.push_back(next);
        }
    }
    return out;
}

uint64_t rarSelfExtractorStart(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(identify::kHeadScanLimit, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    const size_t at = identify::findRarArchive(head);
    return at == std::string::npos ? 0 : at;
}

} // namespace qvo::formats::rar
