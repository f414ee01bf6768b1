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
// as there were ones.  0 is a literal.
constexpr unsigned kLengthGroups = 7;
// A distance starts with 9 bits and gains a group for each of up to 4 one
// bits (512, 1024, 2048, 4096).
constexpr unsigned kDistanceFirstBits = 9;
constexpr unsigned kDistanceGroups = 4;

// One value of the scheme: the run of ones is counted from a 16-bit peek.
uint32_t readValue(lz::MsbBitReader &in, unsigned firstBits, unsigned maxGroups)
{
    const auto ahead = static_cast<uint16_t>(in.peek16());
    const unsigned ones = std::min<unsigned>(static_cast<unsigned>(std::countl_one(ahead)), maxGroups);
    in.skip(ones < maxGroups ? ones + 1 : ones);
    const unsigned width = firstBits + ones;
    // Each one bit added the size of its group: 2^first + ... + 2^(width-1).
    const uint32_t base = (1u << width) - (1u << firstBits);
    return base + (width > 0 ? in.bits(width) : 0);
}

} // namespace

DecodeStatus decodeArjFast(base::ByteSource &source, uint64_t size, base::ByteSink &out)
{
    lz::MsbBitReader in(source);
    lz::SizedOutput window(out, kWindowSize, size, lz::SizedOutput::kRefuseBeforeStart);
    DecodeStatus status = DecodeStatus::Ok;
    while (!window.full() && !window.stopped()) {
        if (in.overran()) {
            status = DecodeStatus::Truncated;
            break;
        }
        const uint32_t length = readValue(in, 0, kLengthGroups);
        if (length == 0) {
            window.put(static_cast<uint8_t>(in.bits(8)));
            continue;
        }
        const uint32_t distance = readValue(in, kDistanceFirstBits, kDistanceGroups);
        if (!window.copy(distance + 1, length - 1 + kMinMatch)) {
            status = DecodeStatus::Corrupt;
            break;
        }
    }
    return window.finish(status, in.overran());
}

} // namespace qvo::codecs::arj
