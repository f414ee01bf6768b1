#include "formats/rar/rar5_blocks.h"

#include "base/endian.h"
#include "codecs/crc32.h"

namespace qvo::formats::rar::rar5 {

bool readVint(const std::string &b, size_t &at, uint64_t &v)
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

void appendVint(std::string &out, uint64_t v)
{
    do {
        auto c = static_cast<unsigned char>(v & 0x7F);
        v >>= 7;
        out.push_back(static_cast<char>(v ? c | 0x80 : c));
    } while (v);
}

bool startsWithMarker(std::ifstream &in, uint64_t at)
{
    std::string marker(kMarkerSize, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    in.read(marker.data(), static_cast<std::streamsize>(kMarkerSize));
    return in.gcount() == static_cast<std::streamsize>(kMarkerSize)
        && marker.compare(0, kMarkerSize, kMarker, kMarkerSize) == 0;
}

bool readBlock(std::ifstream &in, uint64_t offset, Block &block)
{
    block = Block{};
    block.offset = offset;
    // CRC plus the longest size field a 2 MiB header needs, and then some.
    std::string head(4 + 10, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    size_t at = 4;
    uint64_t size = 0;
    if (!readVint(head, at, size) || size == 0 || size > kMaxHeader)
        return false;
    block.headerAt = at;
    block.raw.assign(at + size, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(block.raw.data(), static_cast<std::streamsize>(block.raw.size()));
    if (static_cast<uint64_t>(in.gcount()) != block.raw.size())
        return false;

    const auto *bytes = reinterpret_cast<const unsigned char *>(block.raw.data());
    uint32_t stored = base::loadLe32(bytes);
    uint32_t crc = codecs::crc32(0, bytes + 4, block.raw.size() - 4);
    block.crcOk = static_cast<uint32_t>(crc) == stored;

    if (!readVint(block.raw, at, block.type) || !readVint(block.raw, at, block.flags))
        return false;
    if ((block.flags & kFlagExtra) && !readVint(block.raw, at, block.extraSize))
        return false;
    if ((block.flags & kFlagData) && !readVint(block.raw, at, block.dataSize))
        return false;
    if (block.extraSize > block.raw.size() - at)
        return false;
    block.fieldsAt = at;
    return true;
}

} // namespace qvo::formats::rar::rar5
