#include "codecs/zip_legacy/zip_explode.h"

#include "codecs/lz/lsb_bit_reader.h"
#include "codecs/lz/prefix_code.h"
#include "codecs/lz/sized_output.h"

#include <algorithm>
#include <array>

namespace qvo::codecs::zip_legacy {

using base::ByteSink;
using base::ByteSource;
using base::DecodeStatus;

namespace {

constexpr size_t kWindowSize = 8 * 1024;
constexpr size_t kLiteralSymbols = 256;
constexpr size_t kLengthSymbols = 64;
constexpr size_t kDistanceSymbols = 64;
constexpr int kLongLength = 63; // followed by a byte added to the length

// A tree is stored as run-length pairs of code lengths: a count of bytes
// less one, then bytes whose low nibble is a length less one and high
// nibble a repeat count less one.  The runs must name every symbol once.
bool readTree(lz::LsbBitReader &in, size_t symbols, lz::LsbPrefixCode &code)
{
    std::array<uint8_t, kLiteralSymbols> lengths{};
    uint32_t bytes = in.bits(8) + 1;
    size_t n = 0;
    for (uint32_t i = 0; i < bytes; ++i) {
        uint32_t b = in.bits(8);
        uint32_t len = (b & 0x0F) + 1;
        uint32_t run = (b >> 4) + 1;
        if (n + run > symbols)
            return false;
        while (run--)
            lengths[n++] = static_cast<uint8_t>(len);
    }
    return n == symbols && !in.overran() && code.build(lengths.data(), symbols, true);
}

} // namespace

DecodeStatus explode(ByteSource &source, uint16_t flags, uint64_t size, ByteSink &out)
{
    lz::LsbBitReader in(source);
    lz::SizedOutput window(out, kWindowSize, size, 0);
    bool bigWindow = (flags & kFlagImplode8kWindow) != 0;
    bool literalTree = (flags & kFlagImplodeLiteralTree) != 0;

    lz::LsbPrefixCode literals, lengths, distances;
    if (literalTree && !readTree(in, kLiteralSymbols, literals))
        return in.overran() ? DecodeStatus::Truncated : DecodeStatus::Corrupt;
    if (!readTree(in, kLengthSymbols, lengths) || !readTree(in, kDistanceSymbols, distances))
        return in.overran() ? DecodeStatus::Truncated : DecodeStatus::Corrupt;

    // With a literal tree matches start at 3 bytes, else at 2.
    const uint32_t minLength = literalTree ? 3 : 2;
    const unsigned lowDistanceBits = bigWindow ? 7 : 6;
    DecodeStatus status = DecodeStatus::Ok;
    while (!window.full() && !window.stopped()) {
        if (in.overran()) {
            status = DecodeStatus::Truncated;
            break;
        }
        if (in.bit()) {
            int sym = literalTree ? literals.decode(in, true) : static_cast<int>(in.bits(8));
            if (sym < 0) {
                status = DecodeStatus::Corrupt;
                break;
            }
            window.put(static_cast<uint8_t>(sym));
            continue;
        }
        uint32_t dist = in.bits(lowDistanceBits);
        int high = distances.decode(in, true);
        int len = lengths.decode(in, true);
        if (high < 0 || len < 0) {
            status = DecodeStatus::Corrupt;
            break;
        }
        dist = (dist | static_cast<uint32_t>(high) << lowDistanceBits) + 1;
        uint64_t length = static_cast<uint32_t>(len) + minLength;
        if (len == kLongLength)
            length += in.bits(8);
        // The last match may reach past the end: only what fits is kept.
        length = std::min<uint64_t>(length, size - window.total());
        window.copy(dist, length);
    }
    return window.finish(status, in.overran());
}

} // namespace qvo::codecs::zip_legacy
