#include "codecs/zip/zip_prefix_code.h"

namespace qvo::codecs::zip {

bool PrefixCode::build(const uint8_t *lengths, size_t n, bool requireComplete)
{
    if (n > kMaxSymbols)
        return false;
    count_.fill(0);
    for (size_t i = 0; i < n; ++i) {
        if (lengths[i] > kMaxBits)
            return false;
        ++count_[lengths[i]];
    }
    count_[0] = 0;
    // Patterns still free at each length; negative means over-subscribed.
    int32_t left = 1;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        left = left * 2 - count_[len];
        if (left < 0)
            return false;
    }
    size_t used = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len)
        used += count_[len];
    if (requireComplete && left != 0 && used > 1)
        return false;
    // Symbols sorted by length, then by value.
    std::array<uint16_t, kMaxBits + 2> offset{};
    for (unsigned len = 1; len <= kMaxBits; ++len)
        offset[len + 1] = static_cast<uint16_t>(offset[len] + count_[len]);
    for (size_t i = 0; i < n; ++i) {
        if (lengths[i] != 0)
            symbols_[offset[lengths[i]]++] = static_cast<uint16_t>(i);
    }
    return true;
}

int PrefixCode::decode(BitInput &in, bool inverted) const
{
    int32_t code = 0;  // bits read so far
    int32_t first = 0; // first code of the current length
    int32_t index = 0; // symbols of the shorter lengths
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        code |= static_cast<int32_t>(in.bit() ^ (inverted ? 1u : 0u));
        int32_t count = count_[len];
        if (code - first < count)
            return symbols_[index + (code - first)];
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;
}

} // namespace qvo::codecs::zip
