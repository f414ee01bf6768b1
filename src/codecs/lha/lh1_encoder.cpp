#include "codecs/lha/lh1_encoder.h"

#include "codecs/lha/lh1_adaptive_tree.h"
#include "codecs/lha/lha_bit_writer.h"
#include "codecs/match/hc_matchfinder.h"

#include <array>

namespace qvo::codecs::lha {
namespace {

constexpr unsigned kWindowBits = 12;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 60;
constexpr unsigned kChainDepth = 64;
constexpr unsigned kNiceLength = 60;
constexpr unsigned kLowPositionBits = 6;
constexpr uint32_t kTooFarForMin = 2048;

// Fixed code of the upper six position bits: how many of the 64 values get
// a code of 3, 4, ... 8 bits, assigned in increasing order.
constexpr unsigned kUpperCodeCounts[] = {1, 3, 8, 12, 24, 16};

struct UpperPositionCode {
    std::array<uint8_t, 64> code{};
    std::array<uint8_t, 64> length{};
    UpperPositionCode()
    {
        unsigned value = 0, next = 0, len = 3;
        for (unsigned count : kUpperCodeCounts) {
            for (unsigned i = 0; i < count; ++i, ++value) {
                code[value] = uint8_t(next);
                length[value] = uint8_t(len);
                ++next;
            }
            next <<= 1;
            ++len;
        }
    }
};

const UpperPositionCode kUpper;

class Lh1Encoder {
public:
    Lh1Encoder(LhaBitWriter &out, uint32_t size) : out_(out), finder_(kWindowBits, size < 2048 ? 10 : 13) {}

    EncodeStatus run(const uint8_t *in, uint32_t size)
    {
        auto usable = [](unsigned len, uint32_t dist) {
            return len > kMinMatch || (len == kMinMatch && dist <= kTooFarForMin);
        };
        uint32_t pos = 0;
        uint32_t sinceCheck = 0;
        while (pos < size) {
            uint32_t dist = 0;
            unsigned len = finder_.findAndInsert(in, pos, size, kMinMatch - 1, kMaxMatch,
                                                 kNiceLength, kChainDepth, &dist);
            if (!usable(len, dist)) {
                symbol(in[pos++]);
            } else {
                uint32_t dist2 = 0;
                unsigned len2 = len < kNiceLength
                                    ? finder_.findAndInsert(in, pos + 1, size, len, kMaxMatch,
                                                            kNiceLength, kChainDepth, &dist2)
                                    : len;
                if (len2 > len && usable(len2, dist2)) {
                    // A longer match starts one byte on: send a literal and
                    // that match (its position is linked already).
                    symbol(in[pos++]);
                    matchAt(in, size, pos, len2, dist2, pos + 1);
                } else {
                    matchAt(in, size, pos, len, dist, len < kNiceLength ? pos + 2 : pos + 1);
                }
            }
            if (++sinceCheck >= 4096) {
                sinceCheck = 0;
                if (EncodeStatus s = out_.checkpoint(); s != EncodeStatus::Ok)
                    return s;
            }
        }
        return EncodeStatus::Ok;
    }

private:
    void symbol(unsigned sym)
    {
        uint64_t code;
        unsigned len;
        tree_.encode(sym, code, len);
        while (len > 32) {
            len -= 32;
            out_.put(32, uint32_t(code >> len));
        }
        out_.put(len, uint32_t(code & ((uint64_t(1) << len) - 1)));
    }

    // Sends the match at `pos` and links the positions it covers from
    // `linkFrom` on.
    void matchAt(const uint8_t *in, uint32_t size, uint32_t &pos, unsigned len, uint32_t dist,
                 uint32_t linkFrom)
    {
        symbol(256 + len - kMinMatch);
        uint32_t d = dist - 1;
        unsigned upper = d >> kLowPositionBits;
        out_.put(kUpper.length[upper], kUpper.code[upper]);
        out_.put(kLowPositionBits, d & ((1u << kLowPositionBits) - 1));
        for (uint32_t p = linkFrom; p < pos + len; ++p)
            finder_.insert(in, p, size);
        pos += len;
    }

    LhaBitWriter &out_;
    match::HcMatchFinder finder_;
    Lh1AdaptiveTree tree_;
};

} // namespace

EncodeResult encodeLh1(const uint8_t *in, size_t size, uint64_t limit, const ByteSink &sink)
{
    LhaBitWriter out(sink, limit);
    EncodeResult r;
    if (size >= 0xFFFFFFFFu) {
        r.status = EncodeStatus::NotSmaller;
        return r;
    }
    Lh1Encoder enc(out, uint32_t(size));
    r.status = enc.run(in, uint32_t(size));
    if (r.status != EncodeStatus::Ok)
        return r;
    return out.finish();
}

} // namespace qvo::codecs::lha
