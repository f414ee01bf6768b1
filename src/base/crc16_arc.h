// CRC-16/ARC (reflected polynomial 0xA001, initial value 0): the checksum
// LHA keeps for each member's data and for level-2 headers.  Header-only
// so that the content identification below the codecs checks headers with
// the very function the decoders use.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace qvo::base {

namespace detail {

// Slicing by eight: t[k][b] is the CRC of byte b followed by k zero bytes.
struct Crc16ArcTables {
    std::array<std::array<uint16_t, 256>, 8> t{};
    Crc16ArcTables()
    {
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t r = uint16_t(i);
            for (int j = 0; j < 8; ++j)
                r = (r & 1) ? uint16_t((r >> 1) ^ 0xA001) : uint16_t(r >> 1);
            t[0][i] = r;
        }
        for (unsigned i = 0; i < 256; ++i)
            for (unsigned k = 1; k < 8; ++k)
                t[k][i] = uint16_t((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    }
};

inline const Crc16ArcTables kCrc16ArcTables;

} // namespace detail

inline uint16_t crc16Update(uint16_t crc, const void *data, size_t size)
{
    const uint8_t *p = static_cast<const uint8_t *>(data);
    const auto &t = detail::kCrc16ArcTables.t;
    while (size >= 8) {
        uint32_t v = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8);
        crc = uint16_t(t[7][v & 0xFF] ^ t[6][(v >> 8) & 0xFF] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]]
                       ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
        p += 8;
        size -= 8;
    }
    while (size--)
        crc = uint16_t((crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF]);
    return crc;
}

} // namespace qvo::base
