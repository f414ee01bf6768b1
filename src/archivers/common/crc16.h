// CRC-16 as LHA uses it (polynomial 0xA001, reflected, initial value 0).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qvo::archivers {

uint16_t crc16Update(uint16_t crc, const void *data, size_t size);

} // namespace qvo::archivers
