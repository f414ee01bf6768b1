#include "formats/cab/cab_checksum.h"

#include "base/endian.h"

namespace qvo::formats::cab {

uint32_t cabChecksum(std::span<const uint8_t> data, uint32_t seed)
{
    uint32_t sum = seed;
    size_t words = data.size() / 4;
    const uint8_t *p = data.data();
    for (size_t i = 0; i < words; ++i, p += 4)
        sum ^= base::loadLe32(p);
    uint32_t tail = 0;
    switch (data.size() & 3) {
    case 3: tail |= uint32_t(*p++) << 16; [[fallthrough]];
    case 2: tail |= uint32_t(*p++) << 8; [[fallthrough]];
    case 1: tail |= uint32_t(*p); break;
    default: break;
    }
    return sum ^ tail;
}

uint32_t dataBlockChecksum(std::span<const uint8_t> payload, uint16_t uncompressedSize)
{
    uint16_t compressedSize = static_cast<uint16_t>(payload.size());
    uint8_t sizes[4];
    base::storeLe16(sizes, compressedSize);
    base::storeLe16(sizes + 2, uncompressedSize);
    return cabChecksum(sizes, cabChecksum(payload, 0));
}

} // namespace qvo::formats::cab
