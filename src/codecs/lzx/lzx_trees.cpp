#include "codecs/lzx/lzx_trees.h"

#include <algorithm>

#include "codecs/lzx/lzx_constants.h"
#include "codecs/lz/prefix_code_builder.h"

namespace qvo::codecs::lzx {

namespace {
constexpr uint8_t kZeros4 = 17;  // 4..19 zeros, 4 extra bits
constexpr uint8_t kZeros20 = 18; // 20..51 zeros, 5 extra bits
constexpr uint8_t kSame4 = 19;   // 4..5 equal lengths, 1 extra bit, then a delta

uint8_t deltaSymbol(uint8_t prev, uint8_t cur) { return uint8_t((prev + 17 - cur) % 17); }
} // namespace

std::vector<PreTreeToken> preTreeTokens(std::span<const uint8_t> previous, std::span<const uint8_t> current)
{
    std::vector<PreTreeToken> tokens;
    const size_t n = current.size();
    size_t i = 0;
    while (i < n) {
        const uint8_t v = current[i];
        size_t run = 1;
        while (i + run < n && current[i + run] == v)
            ++run;
        if (v == 0 && run >= 4) {
            while (run >= 20) {
                size_t take = std::min<size_t>(run, 51);
                tokens.push_back({kZeros20, uint8_t(take - 20), 0});
                i += take;
                run -= take;
            }
            if (run >= 4) {
                tokens.push_back({kZeros4, uint8_t(run - 4), 0});
                i += run;
                run = 0;
            }
        } else if (v != 0 && run >= 4) {
            // A same-run is only worth it when the old lengths differ; where
            // they already match, single zero deltas code cheaper.
            while (run >= 4) {
                size_t take = std::min<size_t>(run, 5);
                bool unchanged = std::equal(current.begin() + i, current.begin() + i + take, previous.begin() + i);
                if (unchanged)
                    break;
                tokens.push_back({kSame4, uint8_t(take - 4), deltaSymbol(previous[i], v)});
                i += take;
                run -= take;
            }
        }
        for (; run > 0; --run, ++i)
            tokens.push_back({deltaSymbol(previous[i], current[i]), 0, 0});
    }
    return tokens;
}

uint64_t writeLengths(const std::vector<PreTreeToken> &tokens, BitWriter *out)
{
    uint32_t freqs[kPreTreeSymbols] = {};
    for (const auto &t : tokens) {
        ++freqs[t.symbol];
        if (t.symbol == kSame4)
            ++freqs[t.delta];
    }
    uint8_t lens[kPreTreeSymbols];
    uint16_t codes[kPreTreeSymbols];
    lz::buildCodeLengths(freqs, kMaxPreTreeCodeLen, lens);
    lz::buildCodes(lens, codes);

    uint64_t bits = 4 * kPreTreeSymbols;
    if (out)
        for (uint8_t l : lens)
            out->put(l, 4);
    for (const auto &t : tokens) {
        bits += lens[t.symbol];
        if (out)
            out->put(codes[t.symbol], lens[t.symbol]);
        unsigned extraBits = t.symbol == kZeros4 ? 4 : t.symbol == kZeros20 ? 5 : t.symbol == kSame4 ? 1 : 0;
        if (extraBits) {
            bits += extraBits;
            if (out)
                out->put(t.extra, extraBits);
        }
        if (t.symbol == kSame4) {
            bits += lens[t.delta];
            if (out)
                out->put(codes[t.delta], lens[t.delta]);
        }
    }
    return bits;
}

} // namespace qvo::codecs::lzx
