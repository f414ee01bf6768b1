#include "codecs/zip_legacy/zip_inflate64.h"

#include "codecs/lz/lsb_bit_reader.h"
#include "codecs/lz/prefix_code.h"
#include "codecs/lz/sized_output.h"

#include <array>

namespace qvo::codecs::zip_legacy {

using base::ByteSink;
using base::ByteSource;
using base::DecodeStatus;

namespace {

constexpr size_t kWindowSize = 64 * 1024;
constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kLengthCodes = 29;   // symbols 257..285
constexpr unsigned kDistanceCodes = 32; // two more than Deflate

constexpr std::array<uint16_t, kLengthCodes> kLengthBase = {
    3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::array<uint8_t, kLengthCodes> kLengthExtra = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::array<uint32_t, kDistanceCodes> kDistanceBase = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,    33,    49,    65,    97,    129,   193,
    257,  385,  513,  769,  1025, 1537,  2049,  3073,  4097,  6145,  8193,  12289, 16385, 24577, 32769, 49153};
constexpr std::array<uint8_t, kDistanceCodes> kDistanceExtra = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// Order in which the code-length code's lengths are stored.
constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

class Inflater {
public:
    Inflater(ByteSource &in, uint64_t size, ByteSink &out)
        : in_(in), window_(out, kWindowSize, size, lz::SizedOutput::kRefuseBeforeStart)
    {
    }

    DecodeStatus run()
    {
        DecodeStatus status = blocks();
        status = window_.finish(status);
        if (status != DecodeStatus::Ok)
            return status;
        return window_.full() ? DecodeStatus::Ok : DecodeStatus::Corrupt;
    }

private:
    DecodeStatus blocks()
    {
        for (;;) {
            bool last = in_.bit() != 0;
            uint32_t type = in_.bits(2);
            DecodeStatus s = DecodeStatus::Corrupt;
            if (type == 0)
                s = stored();
            else if (type == 1)
                s = fixedBlock();
            else if (type == 2)
                s = dynamicBlock();
            if (in_.overran())
                return DecodeStatus::Truncated;
            if (s != DecodeStatus::Ok)
                return s;
            if (window_.overflowed())
                return DecodeStatus::Corrupt; // more data than declared
            if (window_.stopped())
                return DecodeStatus::OutputStopped;
            if (last)
                return DecodeStatus::Ok;
        }
    }

    DecodeStatus stored()
    {
        in_.alignToByte();
        uint32_t len = in_.bits(16);
        uint32_t nlen = in_.bits(16);
        if ((len ^ 0xFFFF) != nlen)
            return DecodeStatus::Corrupt;
        for (uint32_t i = 0; i < len && !in_.overran() && !window_.overflowed(); ++i)
            window_.put(static_cast<uint8_t>(in_.bits(8)));
        return DecodeStatus::Ok;
    }

    DecodeStatus fixedBlock()
    {
        if (!fixedBuilt_) {
            std::array<uint8_t, 288> lengths{};
            for (size_t i = 0; i < 288; ++i)
                lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
            std::array<uint8_t, kDistanceCodes> dist;
            dist.fill(5);
            fixedLiterals_.build(lengths.data(), lengths.size(), false);
            fixedDistances_.build(dist.data(), dist.size(), false);
            fixedBuilt_ = true;
        }
        return codes(fixedLiterals_, fixedDistances_);
    }

    DecodeStatus dynamicBlock()
    {
        uint32_t nlit = in_.bits(5) + 257;
        uint32_t ndist = in_.bits(5) + 1;
        uint32_t ncode = in_.bits(4) + 4;
        std::array<uint8_t, 19> codeLengths{};
        for (uint32_t i = 0; i < ncode; ++i)
            codeLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(in_.bits(3));
        lz::LsbPrefixCode lengthCode;
        if (!lengthCode.build(codeLengths.data(), codeLengths.size(), true))
            return DecodeStatus::Corrupt;
        std::array<uint8_t, 288 + kDistanceCodes> lengths{};
        uint32_t n = 0;
        while (n < nlit + ndist) {
            if (in_.overran())
                return DecodeStatus::Truncated;
            int sym = lengthCode.decode(in_);
            if (sym < 0)
                return DecodeStatus::Corrupt;
            if (sym < 16) {
                lengths[n++] = static_cast<uint8_t>(sym);
                continue;
            }
            uint8_t value = 0;
            uint32_t repeat;
            if (sym == 16) {
                if (n == 0)
                    return DecodeStatus::Corrupt;
                value = lengths[n - 1];
                repeat = 3 + in_.bits(2);
            } else if (sym == 17) {
                repeat = 3 + in_.bits(3);
            } else {
                repeat = 11 + in_.bits(7);
            }
            if (n + repeat > nlit + ndist)
                return DecodeStatus::Corrupt;
            while (repeat--)
                lengths[n++] = value;
        }
        if (lengths[kEndOfBlock] == 0)
            return DecodeStatus::Corrupt; // the block could never end
        lz::LsbPrefixCode literals, distances;
        if (!literals.build(lengths.data(), nlit, true) || !distances.build(lengths.data() + nlit, ndist, true))
            return DecodeStatus::Corrupt;
        return codes(literals, distances);
    }

    DecodeStatus codes(const lz::LsbPrefixCode &literals, const lz::LsbPrefixCode &distances)
    {
        for (;;) {
            if (in_.overran())
                return DecodeStatus::Truncated;
            if (window_.overflowed() || window_.stopped())
                return DecodeStatus::Ok; // the caller reports it
            int sym = literals.decode(in_);
            if (sym < 0)
                return DecodeStatus::Corrupt;
            if (sym < 256) {
                window_.put(static_cast<uint8_t>(sym));
                continue;
            }
            if (sym == static_cast<int>(kEndOfBlock))
                return DecodeStatus::Ok;
            unsigned li = static_cast<unsigned>(sym) - 257;
            if (li >= kLengthCodes)
                return DecodeStatus::Corrupt;
            uint64_t len = kLengthBase[li] + in_.bits(kLengthExtra[li]);
            int ds = distances.decode(in_);
            if (ds < 0)
                return DecodeStatus::Corrupt;
            uint64_t dist = kDistanceBase[static_cast<size_t>(ds)] + in_.bits(kDistanceExtra[static_cast<size_t>(ds)]);
            if (!window_.copy(dist, len))
                return DecodeStatus::Corrupt;
        }
    }

    lz::LsbBitReader in_;
    lz::SizedOutput window_;
    bool fixedBuilt_ = false;
    lz::LsbPrefixCode fixedLiterals_, fixedDistances_;
};

} // namespace

DecodeStatus inflate64(ByteSource &in, uint64_t size, ByteSink &out)
{
    return Inflater(in, size, out).run();
}

} // namespace qvo::codecs::zip_legacy
