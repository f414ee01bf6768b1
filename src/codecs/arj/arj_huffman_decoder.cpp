#include "codecs/arj/arj_huffman_decoder.h"

#include "codecs/lz/msb_bit_reader.h"
#include "codecs/lz/prefix_code.h"
#include "codecs/lz/sized_output.h"

#include <algorithm>
#include <array>

namespace qvo::codecs::arj {
namespace {

using base::DecodeStatus;
using lz::MsbBlockCode;

// ARJ packs with a 26,624-byte window, but its position code can name
// distances up to 64 KiB: a ring that large takes every one of them.  A
// distance reaching before the member's first byte is corrupt (ARJ's own
// window holds nothing defined there).
constexpr size_t kWindowSize = 64 * 1024;

// The main code: 256 literals, then match lengths 3 to 256.
constexpr unsigned kMainSymbols = 510;
constexpr unsigned kMainCountBits = 9;
constexpr unsigned kMatchBase = 256 - 3; // symbol 256 is a 3-byte match
// The code of the main code's lengths: symbols 0 to 2 stand for runs of
// zeros, 3 and up for the lengths 1 to 16.
constexpr unsigned kLengthSymbols = 19;
constexpr unsigned kLengthCountBits = 5;
constexpr unsigned kZerosAfterThird = 3; // two bits of zero lengths follow the third
// Distance classes: 0 is distance 1, class c > 0 has c - 1 extra bits.
constexpr unsigned kPositionSymbols = 17;
constexpr unsigned kPositionCountBits = 5;
constexpr unsigned kNoZeroRun = 0;
constexpr uint32_t kSymbolsBetweenEndChecks = 64;

// The length and position codes: a count of lengths, each three bits, 7
// continued by one more for every further 1 bit.  A count of 0 means the
// block uses one symbol, whose number follows.  With `zeroRunAfter`, two
// bits after that many lengths give up to three zero lengths.
bool readSmallCode(lz::MsbBitReader &in, unsigned symbols, unsigned countBits, unsigned zeroRunAfter,
                   MsbBlockCode &out)
{
    const unsigned n = in.bits(countBits);
    out.single = -1;
    if (n == 0) {
        out.single = static_cast<int>(in.bits(countBits));
        return out.single < static_cast<int>(symbols);
    }
    if (n > symbols)
        return false;
    std::array<uint8_t, kLengthSymbols> lengths{};
    unsigned i = 0;
    while (i < n) {
        const uint32_t v = in.peek16();
        unsigned length = v >> 13;
        if (length == 7) {
            for (uint32_t mask = 1u << 12; mask != 0 && (v & mask) != 0; mask >>= 1)
                ++length;
            if (length > lz::MsbPrefixCode::kMaxBits)
                return false;
            in.skip(length - 3); // the 1 bits, then the 0 that ends them
        } else {
            in.skip(3);
        }
        lengths[i++] = static_cast<uint8_t>(length);
        // The packer counts this run up to the sixth symbol, also past `n`.
        if (i == zeroRunAfter)
            i = std::min(i + in.bits(2), symbols);
    }
    return out.code.build(lengths.data(), symbols, true);
}

// The main code's lengths, sent in the length code.
bool readMainCode(lz::MsbBitReader &in, const MsbBlockCode &lengthCode, MsbBlockCode &out)
{
    const unsigned n = in.bits(kMainCountBits);
    out.single = -1;
    if (n == 0) {
        out.single = static_cast<int>(in.bits(kMainCountBits));
        return out.single < static_cast<int>(kMainSymbols);
    }
    if (n > kMainSymbols)
        return false;
    std::array<uint8_t, kMainSymbols> lengths{};
    unsigned i = 0;
    while (i < n) {
        const int c = lengthCode.decode(in);
        if (c < 0)
            return false;
        if (c > 2) {
            lengths[i++] = static_cast<uint8_t>(c - 2);
            continue;
        }
        i += c == 0 ? 1 : c == 1 ? in.bits(4) + 3 : in.bits(kMainCountBits) + 20;
        if (i > n)
            return false; // the packer never runs past the count it sent
    }
    return out.code.build(lengths.data(), kMainSymbols, true);
}

struct BlockCodes {
    MsbBlockCode lengths;
    MsbBlockCode main;
    MsbBlockCode positions;

    bool read(lz::MsbBitReader &in)
    {
        return readSmallCode(in, kLengthSymbols, kLengthCountBits, kZerosAfterThird, lengths) &&
               readMainCode(in, lengths, main) &&
               readSmallCode(in, kPositionSymbols, kPositionCountBits, kNoZeroRun, positions);
    }
};

} // namespace

DecodeStatus decodeArjHuffman(base::ByteSource &source, uint64_t size, base::ByteSink &out)
{
    lz::MsbBitReader in(source);
    lz::SizedOutput window(out, kWindowSize, size, lz::SizedOutput::kRefuseBeforeStart);
    BlockCodes codes;
    uint32_t blockLeft = 0;
    DecodeStatus status = DecodeStatus::Ok;
    while (!window.full() && !window.stopped()) {
        // Data that ran out reads as zero bits, which decode on: a look now
        // and then bounds what that makes.
        if (blockLeft % kSymbolsBetweenEndChecks == 0 && in.overran()) {
            status = DecodeStatus::Truncated;
            break;
        }
        if (blockLeft == 0) {
            blockLeft = lz::readBlockSymbolCount(in);
            if (!codes.read(in)) {
                status = DecodeStatus::Corrupt;
                break;
            }
        }
        --blockLeft;
        const int c = codes.main.decode(in);
        if (c < 0) {
            status = DecodeStatus::Corrupt;
            break;
        }
        if (c < 256) {
            window.put(static_cast<uint8_t>(c));
            continue;
        }
        const int p = codes.positions.decode(in);
        if (p < 0) {
            status = DecodeStatus::Corrupt;
            break;
        }
        const uint32_t distance = p <= 1 ? static_cast<uint32_t>(p)
                                         : (1u << (p - 1)) + in.bits(static_cast<unsigned>(p - 1));
        if (!window.copy(distance + 1, static_cast<uint32_t>(c) - kMatchBase)) {
            status = DecodeStatus::Corrupt;
            break;
        }
    }
    return window.finish(status, in.overran());
}

} // namespace qvo::codecs::arj
