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

} // namespace qvo::codecs::zip
