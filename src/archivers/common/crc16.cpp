#include "archivers/common/crc16.h"

#include <array>

namespace qvo::archivers {
namespace {

constexpr std::array<uint16_t, 256> makeTable()
{
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t c = static_cast<uint16_t>(i);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
        t[i] = c;
    }
    return t;
}

constexpr auto kTable = makeTable();

} // namespace

uint16_t crc16Update(uint16_t crc, const void *data, size_t size)
{
    auto p = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ kTable[(crc ^ p[i]) & 0xFF]);
    return crc;
}

} // namespace qvo::archivers
