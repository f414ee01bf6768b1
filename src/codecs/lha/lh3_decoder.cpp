#include "codecs/lha/lh3_decoder.h"

#include "codecs/lz/msb_bit_reader.h"
#include "codecs/lz/prefix_code.h"
#include "codecs/lz/sized_output.h"

#include <array>
#include <vector>

namespace qvo::codecs::lha {
namespace {

using base::DecodeStatus;

constexpr size_t kWindowSize = 8 * 1024;
constexpr unsigned kCodeSymbols = 286;     // 256 literals, 29 lengths, one escape
constexpr unsigned kEscape = kCodeSymbols - 1; // followed by 8 bits of longer length
constexpr unsigned kPositionSymbols = 128; // high 7 bits of a 13-bit distance
constexpr unsigned kLowPositionBits = 6;
constexpr unsigned kMatchBase = 256 - 3;   // symbol 256 is a 3-byte match
constexpr uint8_t kHistoryFill = ' ';      // LHA windows start filled with spaces

using BlockCode = lz::MsbBlockCode;

// Literal/length code: a flag and 4-bit length less one per symbol.  Three
// leading lengths of 1 (impossible in a real code) mark a one-symbol code
// whose symbol follows in 9 bits.
bool readCodeTree(lz::MsbBitReader &in, BlockCode &out)
{
    std::array<uint8_t, kCodeSymbols> lengths{};
    out.single = -1;
    for (unsigned i = 0; i < kCodeSymbols; ++i) {
        lengths[i] = in.bit() ? static_cast<uint8_t>(in.bits(4) + 1) : 0;
        if (i == 2 && lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1) {
            out.single = static_cast<int>(in.bits(9));
            return out.single < static_cast<int>(kCodeSymbols);
        }
    }
    return out.code.build(lengths.data(), lengths.size(), true);
}

// Distance code: a 4-bit length per symbol, with the same one-symbol
// escape (7 bits).
bool readPositionTree(lz::MsbBitReader &in, BlockCode &out)
{
    std::array<uint8_t, kPositionSymbols> lengths{};
    out.single = -1;
    for (unsigned i = 0; i < kPositionSymbols; ++i) {
        lengths[i] = static_cast<uint8_t>(in.bits(4));
        if (i == 2 && lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1) {
            out.single = static_cast<int>(in.bits(7));
            return true;
        }
    }
    return out.code.build(lengths.data(), lengths.size(), true);
}

// The built-in distance code: lengths grow from 2 to 9 bits at fixed
// symbols.
void builtInPositions(BlockCode &out)
{
    std::array<uint8_t, kPositionSymbols> lengths{};
    for (unsigned i = 0; i < kPositionSymbols; ++i)
        lengths[i] = i < 1 ? 2 : i < 3 ? 4 : i < 6 ? 5 : i < 13 ? 6 : i < 31 ? 7 : i < 78 ? 8 : 9;
    out.single = -1;
    out.code.build(lengths.data(), lengths.size(), true);
}

} // namespace

DecodeStatus decodeLh3(base::ByteSource &source, uint64_t size, base::ByteSink &out)
{
    lz::MsbBitReader in(source);
    lz::SizedOutput window(out, kWindowSize, size, kHistoryFill);
    BlockCode codes, positions;
    uint32_t blockLeft = 0;
    DecodeStatus status = DecodeStatus::Ok;
    while (!window.full() && !window.stopped()) {
        if (in.overran()) {
            status = DecodeStatus::Truncated;
            break;
        }
        if (blockLeft == 0) {
            blockLeft = lz::readBlockSymbolCount(in);
            if (!readCodeTree(in, codes)) {
                status = DecodeStatus::Corrupt;
                break;
            }
            if (in.bit()) {
                if (!readPositionTree(in, positions)) {
                    status = DecodeStatus::Corrupt;
                    break;
                }
            } else {
                builtInPositions(positions);
            }
        }
        --blockLeft;
        int c = codes.decode(in);
        if (c < 0) {
            status = DecodeStatus::Corrupt;
            break;
        }
        if (c == static_cast<int>(kEscape))
            c += static_cast<int>(in.bits(8));
        if (c < 256) {
            window.put(static_cast<uint8_t>(c));
            continue;
        }
        int p = positions.decode(in);
        if (p < 0) {
            status = DecodeStatus::Corrupt;
            break;
        }
        uint32_t dist = ((static_cast<uint32_t>(p) << kLowPositionBits) | in.bits(kLowPositionBits)) + 1;
        window.copy(dist, static_cast<uint32_t>(c) - kMatchBase);
    }
    return window.finish(status, in.overran());
}

} // namespace qvo::codecs::lha
