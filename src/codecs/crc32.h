// CRC-32 as ZIP, RAR, gzip and the member lists use it (reflected
// polynomial 0xEDB88320, starting from 0 and finished, as zlib counts).
// The one place it is computed: by libdeflate, which folds with carry-less
// multiplication where the processor has it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace qvo::codecs {

// The CRC of the bytes that gave `crc`, followed by `data`; 0 to start.
uint32_t crc32(uint32_t crc, const void *data, size_t size);

inline uint32_t crc32(uint32_t crc, std::span<const uint8_t> data)
{
    return crc32(crc, data.data(), data.size());
}

// The CRC of A followed by B, from the CRCs of A and B and B's length:
// pieces checked on different threads join into the CRC of the whole.
uint32_t crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB);

} // namespace qvo::codecs
