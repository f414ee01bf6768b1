#include "codecs/zip_legacy/zip_unreduce.h"

#include "codecs/lz/lsb_bit_reader.h"
#include "codecs/lz/sized_output.h"

#include <algorithm>
#include <array>

namespace qvo::codecs::zip_legacy {

using base::ByteSink;
using base::ByteSource;
using base::DecodeStatus;

namespace {

constexpr size_t kWindowSize = 8 * 1024; // distances reach 4 KiB at factor 4
constexpr uint8_t kDle = 144;            // starts a match; DLE 0 is a literal DLE
constexpr unsigned kMaxFollowers = 32;

struct FollowerSet {
    uint8_t size = 0;
    uint8_t indexBits = 0;
    std::array<uint8_t, kMaxFollowers> bytes{};
};

// Bits that index a set of `n` followers: enough for n - 1, at least one.
uint8_t indexBits(unsigned n)
{
    uint8_t bits = 0;
    while ((1u << bits) < n)
        ++bits;
    return n == 0 ? 0 : std::max<uint8_t>(bits, 1);
}

class Unreducer {
public:
    Unreducer(ByteSource &in, unsigned factor, uint64_t size, ByteSink &out)
        : in_(in), window_(out, kWindowSize, size, 0), factor_(factor)
    {
    }

    DecodeStatus run()
    {
        DecodeStatus status = readSets() ? expand() : DecodeStatus::Corrupt;
        if (status == DecodeStatus::Corrupt && in_.overran())
            status = DecodeStatus::Truncated;
        return window_.finish(status);
    }

private:
    // The sets come first, for byte 255 down to byte 0.
    bool readSets()
    {
        for (int i = 255; i >= 0; --i) {
            FollowerSet &set = sets_[static_cast<size_t>(i)];
            set.size = static_cast<uint8_t>(in_.bits(6));
            if (set.size > kMaxFollowers)
                return false;
            set.indexBits = indexBits(set.size);
            for (unsigned j = 0; j < set.size; ++j)
                set.bytes[j] = static_cast<uint8_t>(in_.bits(8));
        }
        return !in_.overran();
    }

    // The next byte of the first pass; every byte, markers included, is
    // the "previous byte" for the one after it.
    bool nextByte(uint8_t &b)
    {
        const FollowerSet &set = sets_[last_];
        if (set.size == 0 || in_.bit()) {
            b = static_cast<uint8_t>(in_.bits(8));
        } else {
            uint32_t i = in_.bits(set.indexBits);
            if (i >= set.size)
                return false;
            b = set.bytes[i];
        }
        last_ = b;
        return true;
    }

    DecodeStatus expand()
    {
        const unsigned lengthBits = 8 - factor_;
        const uint32_t lengthMask = (1u << lengthBits) - 1;
        while (!window_.full() && !window_.stopped()) {
            if (in_.overran())
                return DecodeStatus::Truncated;
            uint8_t b;
            if (!nextByte(b))
                return DecodeStatus::Corrupt;
            if (b != kDle) {
                window_.put(b);
                continue;
            }
            uint8_t v;
            if (!nextByte(v))
                return DecodeStatus::Corrupt;
            if (v == 0) {
                window_.put(kDle);
                continue;
            }
            uint32_t length = v & lengthMask;
            if (length == lengthMask) {
                uint8_t more;
                if (!nextByte(more))
                    return DecodeStatus::Corrupt;
                length += more;
            }
            length += 3;
            uint8_t w;
            if (!nextByte(w))
                return DecodeStatus::Corrupt;
            uint32_t dist = (static_cast<uint32_t>(v >> lengthBits) << 8) + w + 1;
            window_.copy(dist, length);
        }
        return in_.overran() ? DecodeStatus::Truncated : DecodeStatus::Ok;
    }

    lz::LsbBitReader in_;
    lz::SizedOutput window_;
    unsigned factor_;
    std::array<FollowerSet, 256> sets_{};
    uint8_t last_ = 0;
};

} // namespace

DecodeStatus unreduce(ByteSource &in, unsigned factor, uint64_t size, ByteSink &out)
{
    if (factor < 1 || factor > 4)
        return DecodeStatus::Corrupt;
    return Unreducer(in, factor, size, out).run();
}

} // namespace qvo::codecs::zip_legacy
