#include "codecs/crc32.h"

#include <libdeflate.h>
#include <zlib.h>

namespace qvo::codecs {

uint32_t crc32(uint32_t crc, const void *data, size_t size)
{
    return libdeflate_crc32(crc, data, size);
}

uint32_t crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB)
{
    // libdeflate has no combination; zlib's needs 64-bit offsets.
    static_assert(sizeof(z_off_t) >= 8, "zlib offsets must be 64-bit");
    return static_cast<uint32_t>(crc32_combine(crcA, crcB, static_cast<z_off_t>(lengthB)));
}

} // namespace qvo::codecs
