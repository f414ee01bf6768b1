// Length of the common prefix of two byte strings, eight bytes at a time.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

namespace qvo::codecs::match {

static_assert(std::endian::native == std::endian::little, "lzExtend counts trailing zero bits");

// Returns how far `a` and `b` agree, starting the comparison at `start`
// (the caller knows the first `start` bytes match) and stopping at `maxLen`.
// Both strings must have `maxLen` readable bytes.
inline unsigned lzExtend(const uint8_t *a, const uint8_t *b, unsigned start, unsigned maxLen)
{
    unsigned len = start;
    while (len + 8 <= maxLen) {
        uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        uint64_t diff = x ^ y;
        if (diff)
            return len + unsigned(__builtin_ctzll(diff) >> 3);
        len += 8;
    }
    while (len < maxLen && a[len] == b[len])
        ++len;
    return len;
}

} // namespace qvo::codecs::match
