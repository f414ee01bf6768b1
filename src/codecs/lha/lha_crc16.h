// CRC-16/ARC (reflected polynomial 0xA001, initial value 0): the checksum
// LHA keeps for each member's data and for level-2 headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qvo::codecs::lha {

uint16_t crc16Update(uint16_t crc, const void *data, size_t size);

} // namespace qvo::codecs::lha
