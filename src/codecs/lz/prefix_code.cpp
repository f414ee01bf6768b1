#include "codecs/lz/prefix_code.h"

#include "codecs/lz/lsb_bit_reader.h"
#include "codecs/lz/msb_bit_reader.h"

#include <algorithm>

namespace qvo::codecs::lz {

template <BitOrder kOrder>
bool PrefixCode<kOrder>::build(const uint8_t *lengths, size_t n, bool requireComplete)
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
    // Canonical codes in (length, symbol) order; short ones go into the
    // table once for every value of the bits after them: bit-reversed and
    // spread for an LSB-first stream, as one run for an MSB-first one.
    table_.fill(TableEntry{});
    uint32_t code = 0;
    size_t index = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        for (unsigned k = 0; k < count_[len]; ++k, ++code, ++index) {
            if (len > kTableBits)
                continue;
            const TableEntry entry{symbols_[index], static_cast<uint8_t>(len)};
            if constexpr (kOrder == BitOrder::LsbFirst) {
                uint32_t reversed = 0;
                for (unsigned b = 0; b < len; ++b)
                    reversed |= ((code >> b) & 1u) << (len - 1 - b);
                for (uint32_t fill = reversed; fill < (1u << kTableBits); fill += 1u << len)
                    table_[fill] = entry;
            } else {
                uint32_t first = code << (kTableBits - len);
                std::fill_n(table_.begin() + first, 1u << (kTableBits - len), entry);
            }
        }
        code <<= 1;
    }
    return true;
}

template class PrefixCode<BitOrder::LsbFirst>;
template class PrefixCode<BitOrder::MsbFirst>;

} // namespace qvo::codecs::lz
