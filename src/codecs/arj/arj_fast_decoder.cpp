#include "codecs/arj/arj_fast_decoder.h"

#include "codecs/lz/msb_bit_reader.h"
#include "codecs/lz/sized_output.h"

#include <algorithm>
#include <bit>

namespace qvo::codecs::arj {
namespace {

using base::DecodeStatus;

// The longest distance is 15,872 bytes; the ring is the next power of two.
constexpr size_t kWindowSize = 16 * 1024;
constexpr unsigned kMinMatch = 3;
// A length is up to 7 one bits, each adding a group of twice the width of
// the one before (1, 2, 4, ...), a 0 unless all 7 came, then as many bits
// as there were ones.  0 (a single 0 bit) is a literal.
constexpr unsigned kLengthGroups = 7;
// A distance starts with 9 bits and gains a group for each of up to 4 one
// bits (512, 1024, 2048, 4096).
constexpr unsigned kDistanceFirstBits = 9;
constexpr unsigned kDistanceGroups = 4;
constexpr uint32_t kItemsBetweenEndChecks = 64;

// One value of the scheme, taken from one 16-bit peek when it fits (every
// length does), else in two steps.
uint32_t readValue(lz::MsbBitReader &in, unsigned firstBits, unsigned maxGroups)
{
    const uint32_t ahead = in.peek16();
    const auto run = static_cast<unsigned>(std::countl_one(static_cast<uint16_t>(ahead)));
    const unsigned ones = std::min(run, maxGroups);
    const unsigned prefix = ones < maxGroups ? ones + 1 : ones; // the ones and the 0 ending them
    const unsigned width = firstBits + ones;
    // Each one bit added the size of its group: 2^first + ... + 2^(width-1).
    const uint32_t base = (1u << width) - (1u << firstBits);
    if (prefix + width <= 16) {
        in.skip(prefix + width);
        return base + ((ahead >> (16 - prefix - width)) & ((1u << width) - 1));
    }
    in.skip(prefix);
    return base + in.bits(width);
}

} // namespace

DecodeStatus decodeArjFast(base::ByteSource &source, uint64_t size, base::ByteSink &out)
{
    lz::MsbBitReader in(source);
    lz::SizedOutput window(out, kWindowSize, size, lz::SizedOutput::kRefuseBeforeStart);
    DecodeStatus status = DecodeStatus::Ok;
    for (uint32_t items = 0; !window.full() && !window.stopped(); ++items) {
        // Data that ran out reads as zero bits, which decode on: a look now
        // and then bounds what that makes.
        if (items % kItemsBetweenEndChecks == 0 && in.overran()) {
            status = DecodeStatus::Truncated;
            break;
        }
        // A 0 bit, then the literal's eight bits.
        if (const uint32_t ahead = in.peek16(); (ahead & 0x8000) == 0) {
            in.skip(9);
            window.put(static_cast<uint8_t>(ahead >> 7));
            continue;
        }
        const uint32_t length = readValue(in, 0, kLengthGroups);
        const uint32_t distance = readValue(in, kDistanceFirstBits, kDistanceGroups);
        if (!window.copy(distance + 1, length - 1 + kMinMatch)) {
            status = DecodeStatus::Corrupt;
            break;
        }
    }
    return window.finish(status, in.overran());
}

} // namespace qvo::codecs::arj
