#include "archivers/common/rar5_encryption.h"

#include <cstdint>
#include <fstream>
#include <string>

namespace qvo::archivers {
namespace {

constexpr char kRar5Marker[] = "Rar!\x1a\x07\x01\x00";
constexpr uint64_t kTypeFile = 2;
constexpr uint64_t kTypeEncryption = 4; // archive encryption header: all headers encrypted
constexpr uint64_t kTypeEnd = 5;
constexpr uint64_t kFlagExtra = 0x0001;
constexpr uint64_t kFlagData = 0x0002;
constexpr uint64_t kExtraEncryption = 0x01;
constexpr uint64_t kMaxHeader = 2 * 1024 * 1024;
constexpr int kMaxBlocks = 1000000;

bool vint(const std::string &b, size_t &at, uint64_t &v)
{
    v = 0;
    for (int shift = 0; shift < 64 && at < b.size(); shift += 7) {
        auto c = static_cast<unsigned char>(b[at++]);
        v |= static_cast<uint64_t>(c & 0x7F) << shift;
        if (!(c & 0x80))
            return true;
    }
    return false;
}

// The size field of a block header: a vint right after the 4-byte CRC.
bool readHeaderSize(std::ifstream &in, uint64_t &size, size_t &sizeBytes)
{
    std::string b(4 + 10, '\0');
    std::streampos start = in.tellg();
    in.read(b.data(), static_cast<std::streamsize>(b.size()));
    b.resize(static_cast<size_t>(in.gcount()));
    in.clear();
    in.seekg(start);
    size_t at = 4;
    if (!vint(b, at, size))
        return false;
    sizeBytes = at;
    return true;
}

} // namespace

bool rar5HasEncryption(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string marker(8, '\0');
    in.read(marker.data(), 8);
    if (in.gcount() != 8 || marker.compare(0, 8, kRar5Marker, 8) != 0)
        return false;
    for (int i = 0; i < kMaxBlocks; ++i) {
        uint64_t size;
        size_t prefix;
        if (!readHeaderSize(in, size, prefix) || size == 0 || size > kMaxHeader)
            return false;
        std::string h(prefix + size, '\0');
        in.read(h.data(), static_cast<std::streamsize>(h.size()));
        if (static_cast<uint64_t>(in.gcount()) != h.size())
            return false;
        size_t at = prefix;
        uint64_t type, flags, extraSize = 0, dataSize = 0;
        if (!vint(h, at, type) || !vint(h, at, flags))
            return false;
        if (type == kTypeEncryption)
            return true;
        if (type == kTypeEnd)
            return false;
        if ((flags & kFlagExtra) && !vint(h, at, extraSize))
            return false;
        if ((flags & kFlagData) && !vint(h, at, dataSize))
            return false;
        if (type == kTypeFile && extraSize > 0 && extraSize <= h.size() - prefix) {
            // The extra area closes the header: records of size, type, data.
            size_t e = h.size() - static_cast<size_t>(extraSize);
            while (e < h.size()) {
                uint64_t recSize, recType;
                size_t recStart = e;
                if (!vint(h, e, recSize) || recSize == 0)
                    break;
                size_t recEnd = e + static_cast<size_t>(recSize);
                if (!vint(h, e, recType))
                    break;
                if (recType == kExtraEncryption)
                    return true;
                if (recEnd <= recStart || recEnd > h.size())
                    break;
                e = recEnd;
            }
        }
        in.seekg(static_cast<std::streamoff>(dataSize), std::ios::cur);
        if (!in)
            return false;
    }
    return false;
}

} // namespace qvo::archivers
