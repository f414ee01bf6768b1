#include "codecs/lha/lh_static_encoder.h"

#include "codecs/lha/lha_bit_writer.h"
#include "codecs/lz/prefix_code_builder.h"
#include "codecs/match/hc_matchfinder.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qvo::codecs::lha {

const LhStaticParams kLh5Params = {13, 14, 4, 128, 256};
const LhStaticParams kLh6Params = {15, 16, 5, 128, 256};
const LhStaticParams kLh7Params = {16, 17, 5, 128, 256};

namespace {

constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 256;
constexpr unsigned kNumC = 256 + kMaxMatch - kMinMatch + 1; // 510
constexpr unsigned kNumT = 19;   // pt symbols: 3 run codes + lengths 1..16
constexpr unsigned kCountBits = 9; // bits of the c table's length field
constexpr unsigned kTBits = 5;   // bits of the pt table's length field
constexpr unsigned kMaxPositionSyms = 17;
constexpr size_t kMaxBlockCodes = 65535;
// Blocks are split in halves while that saves bits, down to this size.
constexpr size_t kMinSplitCodes = 1024;
constexpr unsigned kMaxSplitDepth = 6;
// The longest code the length fields of the tables can carry.
constexpr unsigned kMaxCodeLength = 16;
// A 3-byte match further back than this costs more than three literals.
constexpr uint32_t kTooFarForMin = 8192;
// How much more a later match must be worth (4 per byte of length, less
// the bits of its distance) to be taken after one or two literals.
constexpr int kLazyStep1 = 0;
constexpr int kLazyStep2 = 4;

unsigned positionCode(uint32_t d)
{
    return d == 0 ? 0 : 32 - unsigned(__builtin_clz(d));
}

struct Code {
    uint16_t sym; // literal byte, or 256 + length - 3
    uint16_t d;   // matches: distance - 1
};

// The three codes of one block.  A table with fewer than two symbols in use
// is sent in the "single symbol" form: length field 0, then the symbol;
// its code then takes no bits at all.
struct BlockTables {
    std::array<uint8_t, kNumC> cLen{};
    std::array<uint16_t, kNumC> cCode{};
    int cSingle = -1;
    std::array<uint32_t, kNumT> tFreq{};
    std::array<uint8_t, kNumT> tLen{};
    std::array<uint16_t, kNumT> tCode{};
    int tSingle = -1;
    std::array<uint8_t, kMaxPositionSyms> pLen{};
    std::array<uint16_t, kMaxPositionSyms> pCode{};
    int pSingle = -1;
};

struct BlockFreqs {
    std::array<uint32_t, kNumC> c{};
    std::array<uint32_t, kMaxPositionSyms> p{};
};

class LhStaticEncoder {
public:
    LhStaticEncoder(const LhStaticParams &params, LhaBitWriter &out, uint32_t size)
        : params_(params), out_(out), finder_(params.dictBits, hashBitsFor(params, size))
    {
        codes_.reserve(kMaxBlockCodes);
    }

    EncodeStatus run(const uint8_t *in, uint32_t size);

private:
    // About one head slot per input byte, up to 32K-64K slots.
    static unsigned hashBitsFor(const LhStaticParams &params, uint32_t size)
    {
        unsigned bits = 10;
        while (bits < (params.dictBits >= 15 ? 16u : 15u) && (uint32_t(1) << bits) < size)
            ++bits;
        return bits;
    }

    void literal(uint8_t b) { codes_.push_back({b, 0}); }
    void match(unsigned len, uint32_t dist)
    {
        codes_.push_back({uint16_t(256 + len - kMinMatch), uint16_t(dist - 1)});
    }
    EncodeStatus flushCodes();
    void countFreqs(size_t b, size_t e, BlockFreqs &f) const;
    void buildTables(const BlockFreqs &f, BlockTables &t) const;
    uint64_t blockBits(const BlockFreqs &f, const BlockTables &t) const;
    uint64_t rangeBits(size_t b, size_t e) const;
    void emitRange(size_t b, size_t e, unsigned depth);
    template <class W> void writeTables(W &w, const BlockTables &t) const;
    template <class W> void writeLengths(W &w, const uint8_t *len, unsigned n, unsigned countBits,
                                         int special) const;

    const LhStaticParams &params_;
    LhaBitWriter &out_;
    match::HcMatchFinder finder_;
    std::vector<Code> codes_;
};

// Lazy matching, two steps deep: a match is sent only when the matches
// starting one or two bytes later are not worth the literals in between.
// Worth compares length against the bits of the distance.
EncodeStatus LhStaticEncoder::run(const uint8_t *in, uint32_t size)
{
    const unsigned depth = params_.chainDepth;
    const unsigned nice = params_.niceLength;
    auto usable = [](unsigned len, uint32_t dist) {
        return len > kMinMatch || (len == kMinMatch && dist <= kTooFarForMin);
    };
    auto worth = [](unsigned len, uint32_t dist) {
        return int(len) * 4 - int(32 - unsigned(__builtin_clz(dist)));
    };
    uint32_t pos = 0;
    while (pos < size) {
        if (codes_.size() + 2 >= kMaxBlockCodes) {
            if (EncodeStatus s = flushCodes(); s != EncodeStatus::Ok)
                return s;
        }
        uint32_t dist = 0;
        unsigned len = finder_.findAndInsert(in, pos, size, kMinMatch - 1, kMaxMatch, nice, depth, &dist);
        if (!usable(len, dist)) {
            literal(in[pos++]);
            continue;
        }
        uint32_t linked = pos; // positions up to here are in the finder
        while (len < nice && codes_.size() + 2 < kMaxBlockCodes) {
            uint32_t d1 = 0;
            unsigned len1 = finder_.findAndInsert(in, pos + 1, size, len, kMaxMatch, nice, depth, &d1);
            linked = pos + 1;
            if (len1 > len && usable(len1, d1) && worth(len1, d1) > worth(len, dist) + kLazyStep1) {
                literal(in[pos++]);
                len = len1;
                dist = d1;
                continue;
            }
            if (pos + 2 >= size)
                break;
            uint32_t d2 = 0;
            unsigned len2 = finder_.findAndInsert(in, pos + 2, size, len + 1, kMaxMatch, nice, depth, &d2);
            linked = pos + 2;
            if (len2 > len + 1 && usable(len2, d2) && worth(len2, d2) > worth(len, dist) + kLazyStep2) {
                literal(in[pos++]);
                literal(in[pos++]);
                len = len2;
                dist = d2;
                continue;
            }
            break;
        }
        match(len, dist);
        for (uint32_t p = linked + 1; p < pos + len; ++p)
            finder_.insert(in, p, size);
        pos += len;
    }
    if (!codes_.empty())
        return flushCodes();
    return EncodeStatus::Ok;
}

EncodeStatus LhStaticEncoder::flushCodes()
{
    emitRange(0, codes_.size(), 0);
    codes_.clear();
    return out_.checkpoint();
}

void LhStaticEncoder::countFreqs(size_t b, size_t e, BlockFreqs &f) const
{
    f = BlockFreqs{};
    for (size_t i = b; i < e; ++i) {
        const Code &c = codes_[i];
        f.c[c.sym]++;
        if (c.sym >= 256)
            f.p[positionCode(c.d)]++;
    }
}

// Builds the code of one table.  Returns the only symbol in use when there
// are fewer than two (the table is then sent as that symbol alone, 0 when
// none is used), else -1 with lengths and codes filled in.
static int buildTable(const uint32_t *freq, unsigned n, uint8_t *len, uint16_t *code)
{
    if (lz::buildCodeLengths(std::span(freq, n), kMaxCodeLength, std::span(len, n)) >= 2) {
        lz::buildCodes(std::span(len, n), std::span(code, n));
        return -1;
    }
    // A lone symbol is sent as the table itself and costs no bits in the
    // data: no lengths (the builder gave it a partner, as LZX needs).
    std::fill_n(len, n, 0);
    int single = 0;
    for (unsigned i = 0; i < n; ++i)
        if (freq[i])
            single = int(i);
    return single;
}

void LhStaticEncoder::buildTables(const BlockFreqs &f, BlockTables &t) const
{
    t.cSingle = buildTable(f.c.data(), kNumC, t.cLen.data(), t.cCode.data());
    if (t.cSingle < 0) {
        // Frequencies of the pt symbols that code the c lengths: 0 = one
        // zero, 1 = 3..18 zeros (4 more bits), 2 = 20.. zeros (9 more bits),
        // k + 2 = length k.
        unsigned n = kNumC;
        while (n > 0 && t.cLen[n - 1] == 0)
            --n;
        for (unsigned i = 0; i < n;) {
            unsigned k = t.cLen[i++];
            if (k == 0) {
                unsigned run = 1;
                while (i < n && t.cLen[i] == 0) {
                    ++i;
                    ++run;
                }
                if (run <= 2)
                    t.tFreq[0] += run;
                else if (run <= 18)
                    t.tFreq[1]++;
                else if (run == 19) {
                    t.tFreq[0]++;
                    t.tFreq[1]++;
                } else
                    t.tFreq[2]++;
            } else {
                t.tFreq[k + 2]++;
            }
        }
        t.tSingle = buildTable(t.tFreq.data(), kNumT, t.tLen.data(), t.tCode.data());
    }
    const unsigned np = params_.positionSyms;
    t.pSingle = buildTable(f.p.data(), np, t.pLen.data(), t.pCode.data());
}

// Code lengths of the pt and p tables: 3 bits each, 7 and up as "111"
// followed by (length - 7) one bits and a zero.  In the pt table a 2-bit
// count of zero lengths follows the third length (`special` = 3).
template <class W>
void LhStaticEncoder::writeLengths(W &w, const uint8_t *len, unsigned n, unsigned countBits,
                                   int special) const
{
    while (n > 0 && len[n - 1] == 0)
        --n;
    w.put(countBits, n);
    for (unsigned i = 0; i < n;) {
        unsigned k = len[i++];
        if (k <= 6)
            w.put(3, k);
        else
            w.put(k - 3, ((1u << (k - 3)) - 1) & ~1u); // k-4 ones, then a zero
        if (int(i) == special) {
            unsigned skip = 0;
            while (skip < 3 && i < n && len[i] == 0) {
                ++i;
                ++skip;
            }
            w.put(2, skip);
        }
    }
}

template <class W> void LhStaticEncoder::writeTables(W &w, const BlockTables &t) const
{
    if (t.cSingle >= 0) {
        w.put(kTBits, 0);
        w.put(kTBits, 0);
        w.put(kCountBits, 0);
        w.put(kCountBits, unsigned(t.cSingle));
    } else {
        if (t.tSingle >= 0) {
            w.put(kTBits, 0);
            w.put(kTBits, unsigned(t.tSingle));
        } else {
            writeLengths(w, t.tLen.data(), kNumT, kTBits, 3);
        }
        unsigned n = kNumC;
        while (n > 0 && t.cLen[n - 1] == 0)
            --n;
        w.put(kCountBits, n);
        auto putT = [&](unsigned sym) { w.put(t.tLen[sym], t.tCode[sym]); };
        for (unsigned i = 0; i < n;) {
            unsigned k = t.cLen[i++];
            if (k == 0) {
                unsigned run = 1;
                while (i < n && t.cLen[i] == 0) {
                    ++i;
                    ++run;
                }
                if (run <= 2) {
                    for (unsigned r = 0; r < run; ++r)
                        putT(0);
                } else if (run <= 18) {
                    putT(1);
                    w.put(4, run - 3);
                } else if (run == 19) {
                    putT(0);
                    putT(1);
                    w.put(4, 15);
                } else {
                    putT(2);
                    w.put(kCountBits, run - 20);
                }
            } else {
                putT(k + 2);
            }
        }
    }
    if (t.pSingle >= 0) {
        w.put(params_.positionBits, 0);
        w.put(params_.positionBits, unsigned(t.pSingle));
    } else {
        writeLengths(w, t.pLen.data(), params_.positionSyms, params_.positionBits, -1);
    }
}

uint64_t LhStaticEncoder::blockBits(const BlockFreqs &f, const BlockTables &t) const
{
    LhaBitCounter counter;
    counter.put(16, 0);
    writeTables(counter, t);
    uint64_t bits = counter.bits;
    for (unsigned i = 0; i < kNumC; ++i)
        bits += uint64_t(f.c[i]) * t.cLen[i];
    for (unsigned p = 0; p < params_.positionSyms; ++p)
        bits += uint64_t(f.p[p]) * (t.pLen[p] + (p > 1 ? p - 1 : 0));
    return bits;
}

uint64_t LhStaticEncoder::rangeBits(size_t b, size_t e) const
{
    BlockFreqs f;
    BlockTables t;
    countFreqs(b, e, f);
    buildTables(f, t);
    return blockBits(f, t);
}

void LhStaticEncoder::emitRange(size_t b, size_t e, unsigned depth)
{
    if (depth < kMaxSplitDepth && e - b >= 2 * kMinSplitCodes) {
        size_t mid = b + (e - b) / 2;
        if (rangeBits(b, mid) + rangeBits(mid, e) < rangeBits(b, e)) {
            emitRange(b, mid, depth + 1);
            emitRange(mid, e, depth + 1);
            return;
        }
    }
    BlockFreqs f;
    BlockTables t;
    countFreqs(b, e, f);
    buildTables(f, t);
    out_.put(16, uint32_t(e - b));
    writeTables(out_, t);
    for (size_t i = b; i < e; ++i) {
        const Code &c = codes_[i];
        out_.put(t.cLen[c.sym], t.cCode[c.sym]);
        if (c.sym >= 256) {
            unsigned p = positionCode(c.d);
            out_.put(t.pLen[p], t.pCode[p]);
            if (p > 1)
                out_.put(p - 1, c.d & ((1u << (p - 1)) - 1));
        }
    }
}

} // namespace

EncodeResult encodeLhStatic(const LhStaticParams &params, const uint8_t *in, size_t size,
                            uint64_t limit, const ByteSink &sink)
{
    LhaBitWriter out(sink, limit);
    EncodeResult r;
    if (size >= 0xFFFFFFFFu) {
        r.status = EncodeStatus::NotSmaller;
        return r;
    }
    LhStaticEncoder enc(params, out, uint32_t(size));
    r.status = enc.run(in, uint32_t(size));
    if (r.status != EncodeStatus::Ok)
        return r;
    return out.finish();
}

} // namespace qvo::codecs::lha
