#include "codecs/rar/rar_huffman.h"

namespace qvo::codecs::rar {

void HuffmanTable::build(const uint8_t *lengths, size_t count)
{
    std::array<uint32_t, kMaxBits + 1> perLength{};
    for (size_t i = 0; i < count; ++i)
        perLength[lengths[i] & 0xF]++;
    perLength[0] = 0;

    uint32_t code = 0;
    limit_[0] = 0;
    firstIndex_[0] = 0;
    std::array<uint32_t, kMaxBits + 1> next{};
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        code += perLength[len] << (16 - len);
        limit_[len] = code; // may pass 0x10000 for an over-full table
        firstIndex_[len] = firstIndex_[len - 1] + perLength[len - 1];
        next[len] = firstIndex_[len];
    }
    firstIndex_[0] = 0;
    symbols_.assign(count > 0 ? count : 1, 0);
    for (size_t i = 0; i < count; ++i) {
        unsigned len = lengths[i] & 0xF;
        if (len)
            symbols_[next[len]++] = static_cast<uint16_t>(i);
    }

    // Codes of up to kQuickBits bits are looked up in one step.
    quickSymbol_.assign(size_t{1} << kQuickBits, 0);
    quickLength_.assign(size_t{1} << kQuickBits, 0);
    for (uint32_t prefix = 0; prefix < (1u << kQuickBits); ++prefix) {
        uint32_t v = prefix << (16 - kQuickBits);
        unsigned len = 1;
        while (len <= kQuickBits && v >= limit_[len])
            ++len;
        if (len > kQuickBits)
            continue; // longer code: slow path
        uint32_t index = firstIndex_[len] + ((v - limit_[len - 1]) >> (16 - len));
        quickSymbol_[prefix] = index < symbols_.size() ? symbols_[index] : symbols_[0];
        quickLength_[prefix] = static_cast<uint8_t>(len);
    }
}

uint32_t HuffmanTable::decode(lz::MsbBitReader &in) const
{
    if (quickLength_.empty())
        return 0; // never built
    uint32_t v = in.peek16();
    uint32_t prefix = v >> (16 - kQuickBits);
    if (quickLength_[prefix]) {
        in.skip(quickLength_[prefix]);
        return quickSymbol_[prefix];
    }
    unsigned len = kQuickBits + 1;
    while (len < kMaxBits && v >= limit_[len])
        ++len;
    in.skip(len);
    uint32_t index = firstIndex_[len] + ((v - limit_[len - 1]) >> (16 - len));
    return index < symbols_.size() ? symbols_[index] : symbols_[0];
}

} // namespace qvo::codecs::rar
