#include "codecs/deflate/deflate_layout.h"

#include "base/endian.h"

#include <array>
#include <cstring>

namespace qvo::codecs::deflate {

namespace {

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kFirstLengthSymbol = 257;
constexpr unsigned kLitLenSymbols = 288;
constexpr unsigned kDistSymbols = 32;
constexpr unsigned kCodeLengthSymbols = 19;

constexpr uint8_t kLengthExtraBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t kDistExtraBits[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// The stream lies whole in memory and the layout is told in bit positions,
// so this reader is a bare position over it; lz::LsbBitReader pulls from a
// source and counts no positions.
class BitReader {
public:
    explicit BitReader(std::span<const uint8_t> s) : s_(s), limit_(uint64_t(s.size()) * 8) {}

    // The next `n` (<= 32) bits, LSB first; zeros past the end (overrun()
    // tells when they were consumed).
    uint32_t peek(unsigned n) const
    {
        uint64_t byte = pos_ >> 3;
        uint64_t v = 0;
        if (byte + 8 <= s_.size())
            v = base::loadLe64(s_.data() + byte);
        else
            for (uint64_t i = byte; i < s_.size(); ++i)
                v |= uint64_t(s_[i]) << (8 * (i - byte));
        return static_cast<uint32_t>((v >> (pos_ & 7)) & ((uint64_t(1) << n) - 1));
    }
    uint32_t take(unsigned n)
    {
        uint32_t v = peek(n);
        pos_ += n;
        return v;
    }
    void skip(uint64_t n) { pos_ += n; }
    void alignToByte() { pos_ = (pos_ + 7) & ~uint64_t(7); }
    uint64_t position() const { return pos_; }
    bool overrun() const { return pos_ > limit_; }

private:
    std::span<const uint8_t> s_;
    uint64_t limit_;
    uint64_t pos_ = 0;
};

// Decodes one Huffman code: a small table indexed by the next
// kPrimaryBits input bits resolves the frequent short codes; longer ones are
// decoded canonically bit by bit (they are rare by construction, and a small
// table is cheap to rebuild for every block).  Not lz::PrefixCode: from
// memory it peeks the longest code in one go where that one calls the
// reader per bit, and ZIP creation runs it over every chunk it joins.
class HuffmanTable {
public:
    bool build(const uint8_t *lengths, unsigned count)
    {
        count_.fill(0);
        for (unsigned i = 0; i < count; ++i)
            ++count_[lengths[i]];
        count_[0] = 0;
        unsigned left = 1; // codes still available at the current length
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            left <<= 1;
            if (count_[len] > left)
                return false; // over-subscribed
            left -= count_[len];
        }
        uint16_t offset[kMaxCodeBits + 2] = {};
        for (unsigned len = 1; len <= kMaxCodeBits; ++len)
            offset[len + 1] = static_cast<uint16_t>(offset[len] + count_[len]);
        for (unsigned sym = 0; sym < count; ++sym)
            if (lengths[sym])
                sorted_[offset[lengths[sym]]++] = static_cast<uint16_t>(sym);

        table_.fill(0);
        unsigned code = 0, index = 0;
        for (unsigned len = 1; len <= kPrimaryBits; ++len) {
            for (unsigned i = 0; i < count_[len]; ++i, ++code, ++index) {
                unsigned reversed = 0; // codes are sent most significant bit first
                for (unsigned b = 0; b < len; ++b)
                    reversed |= ((code >> b) & 1u) << (len - 1 - b);
                for (unsigned idx = reversed; idx < kPrimarySize; idx += 1u << len)
                    table_[idx] = static_cast<uint16_t>(sorted_[index] << 4 | len);
            }
            code <<= 1;
        }
        return true;
    }

    // The next symbol, or -1 for an invalid code.
    int decode(BitReader &in) const
    {
        uint32_t bits = in.peek(kMaxCodeBits);
        if (uint16_t e = table_[bits & (kPrimarySize - 1)]) {
            in.skip(e & 15);
            return e >> 4;
        }
        int code = 0, first = 0, index = 0;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            code |= static_cast<int>((bits >> (len - 1)) & 1u);
            int n = count_[len];
            if (code - n < first) {
                in.skip(len);
                return sorted_[index + (code - first)];
            }
            index += n;
            first = (first + n) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    static constexpr unsigned kPrimaryBits = 10;
    static constexpr unsigned kPrimarySize = 1u << kPrimaryBits;
    std::array<uint16_t, kPrimarySize> table_{};
    std::array<uint16_t, kMaxCodeBits + 1> count_{};
    std::array<uint16_t, kLitLenSymbols> sorted_{};
};

bool readDynamicTables(BitReader &in, HuffmanTable &litlen, HuffmanTable &dist, HuffmanTable &scratch)
{
    unsigned hlit = in.take(5) + 257, hdist = in.take(5) + 1, hclen = in.take(4) + 4;
    if (hlit > 286 || hdist > 30)
        return false;
    uint8_t clLengths[kCodeLengthSymbols] = {};
    for (unsigned i = 0; i < hclen; ++i)
        clLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(in.take(3));
    if (!scratch.build(clLengths, kCodeLengthSymbols))
        return false;
    uint8_t lengths[kLitLenSymbols + kDistSymbols] = {};
    for (unsigned n = 0; n < hlit + hdist;) {
        int sym = scratch.decode(in);
        unsigned repeat = 0;
        uint8_t value = 0;
        if (sym < 0)
            return false;
        if (sym < 16) {
            lengths[n++] = static_cast<uint8_t>(sym);
            continue;
        }
        if (sym == 16) {
            if (n == 0)
                return false;
            value = lengths[n - 1];
            repeat = 3 + in.take(2);
        } else if (sym == 17) {
            repeat = 3 + in.take(3);
        } else {
            repeat = 11 + in.take(7);
        }
        if (n + repeat > hlit + hdist)
            return false;
        while (repeat--)
            lengths[n++] = value;
    }
    if (lengths[kEndOfBlock] == 0)
        return false;
    return litlen.build(lengths, hlit) && dist.build(lengths + hlit, hdist);
}

void fixedTables(HuffmanTable &litlen, HuffmanTable &dist)
{
    uint8_t l[kLitLenSymbols];
    for (unsigned i = 0; i < kLitLenSymbols; ++i)
        l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    litlen.build(l, kLitLenSymbols);
    uint8_t d[kDistSymbols];
    std::memset(d, 5, sizeof d);
    dist.build(d, kDistSymbols);
}

bool skipSymbols(BitReader &in, const HuffmanTable &litlen, const HuffmanTable &dist)
{
    for (;;) {
        int sym = litlen.decode(in);
        if (sym < 0 || in.overrun())
            return false;
        if (sym < static_cast<int>(kEndOfBlock))
            continue;
        if (sym == static_cast<int>(kEndOfBlock))
            return true;
        unsigned l = static_cast<unsigned>(sym) - kFirstLengthSymbol;
        if (l >= sizeof kLengthExtraBits)
            return false;
        in.skip(kLengthExtraBits[l]);
        int d = dist.decode(in);
        if (d < 0 || d >= static_cast<int>(sizeof kDistExtraBits))
            return false;
        in.skip(kDistExtraBits[d]);
    }
}

} // namespace

std::optional<DeflateLayout> deflateLayout(std::span<const uint8_t> stream)
{
    BitReader in(stream);
    HuffmanTable litlen, dist, scratch;
    bool fixedBuilt = false;
    for (;;) {
        uint64_t header = in.position();
        bool final = in.take(1);
        unsigned type = in.take(2);
        if (type == 0) {
            in.alignToByte();
            uint32_t len = in.take(16), nlen = in.take(16);
            if ((len ^ nlen) != 0xFFFF)
                return std::nullopt;
            in.skip(uint64_t(len) * 8);
        } else if (type == 1) {
            if (!fixedBuilt) {
                fixedTables(litlen, dist);
                fixedBuilt = true;
            }
            if (!skipSymbols(in, litlen, dist))
                return std::nullopt;
        } else if (type == 2) {
            fixedBuilt = false; // the tables now hold this block's codes
            if (!readDynamicTables(in, litlen, dist, scratch) || !skipSymbols(in, litlen, dist))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (in.overrun())
            return std::nullopt;
        if (final)
            return DeflateLayout{header, in.position()};
    }
}

} // namespace qvo::codecs::deflate
