// The builder of the LHA and LZX codes: the LZX decoders accept only
// complete prefix codes within their length limits, and lhasa takes
// nothing longer than 16 bits; skewed statistics are where a builder breaks
// either rule.
#include <gtest/gtest.h>

#include <vector>

#include "codecs/lz/prefix_code_builder.h"

namespace qvo::test::lz {
namespace {

using codecs::lz::buildCodeLengths;
using codecs::lz::buildCodes;

// Sum of 2^-length over used symbols, scaled by 2^16.
uint64_t kraft(const std::vector<uint8_t> &lengths)
{
    uint64_t sum = 0;
    for (uint8_t l : lengths)
        if (l)
            sum += uint64_t(1) << (16 - l);
    return sum;
}

TEST(PrefixCodeBuilder, SkewedFrequenciesStayCompleteWithinLimits)
{
    for (unsigned maxLen : {7u, 10u, 16u}) {
        for (size_t n : {8u, 20u, 40u, 249u, 656u}) {
            if ((size_t(1) << maxLen) < n)
                continue;
            std::vector<uint32_t> freqs(n);
            uint64_t a = 1, b = 1; // Fibonacci weights force deep trees
            for (auto &f : freqs) {
                f = uint32_t(std::min<uint64_t>(a, 1u << 30));
                uint64_t c = a + b;
                a = b;
                b = c;
            }
            std::vector<uint8_t> lengths(n);
            buildCodeLengths(freqs, maxLen, lengths);
            EXPECT_EQ(kraft(lengths), uint64_t(1) << 16) << "n " << n << " max " << maxLen;
            for (uint8_t l : lengths) {
                EXPECT_GE(l, 1);
                EXPECT_LE(l, maxLen);
            }
        }
    }
}

TEST(PrefixCodeBuilder, OneUsedSymbolGetsAPartner)
{
    std::vector<uint32_t> freqs(20, 0);
    freqs[0] = 5;
    std::vector<uint8_t> lengths(20);
    buildCodeLengths(freqs, 10, lengths);
    EXPECT_EQ(kraft(lengths), uint64_t(1) << 16);
    EXPECT_EQ(lengths[0], 1);

    std::fill(freqs.begin(), freqs.end(), 0);
    buildCodeLengths(freqs, 10, lengths);
    EXPECT_EQ(kraft(lengths), 0u); // an unused tree stays empty
}

TEST(PrefixCodeBuilder, CanonicalCodesArePrefixFree)
{
    std::vector<uint32_t> freqs = {40, 1, 1, 7, 0, 12, 3, 3, 90, 2};
    std::vector<uint8_t> lengths(freqs.size());
    std::vector<uint16_t> codes(freqs.size());
    buildCodeLengths(freqs, 16, lengths);
    buildCodes(lengths, codes);
    for (size_t i = 0; i < codes.size(); ++i)
        for (size_t j = 0; j < codes.size(); ++j) {
            if (i == j || !lengths[i] || !lengths[j] || lengths[i] > lengths[j])
                continue;
            EXPECT_NE(codes[j] >> (lengths[j] - lengths[i]), codes[i]) << i << " prefixes " << j;
        }
}

} // namespace
} // namespace qvo::test::lz
