#include "codecs/lha/lh2_decoder.h"

#include "codecs/lz/msb_bit_reader.h"
#include "codecs/lz/sized_output.h"

#include <utility>
#include <vector>

namespace qvo::codecs::lha {
namespace {

using base::DecodeStatus;

constexpr size_t kWindowSize = 8 * 1024;
constexpr unsigned kCodeSymbols = 286;         // 256 literals, 29 lengths, one escape
constexpr unsigned kEscape = kCodeSymbols - 1; // followed by 8 bits of longer length
constexpr unsigned kMatchBase = 256 - 3;       // symbol 256 is a 3-byte match
constexpr unsigned kPositionSymbols = 128;     // high 7 bits of a 13-bit distance
constexpr unsigned kLowPositionBits = 6;
constexpr uint64_t kBytesPerPosition = 64;     // output that opens the next distance symbol
constexpr uint32_t kRescaleAt = 0x8000;
constexpr uint32_t kPinnedRoot = 0xFFFF;       // the distance root's weight once it has children
constexpr uint8_t kHistoryFill = ' ';

// An adaptive Huffman tree kept as an array of nodes sorted by descending
// weight, the root first.  An internal node points at its bit-0 child c;
// its bit-1 child is c - 1.  A leaf holds ~symbol.  After a symbol is
// coded, each node on its path swaps with the first node of equal weight
// (so the order stays sorted) and gains one.
class AdaptiveTree {
public:
    explicit AdaptiveTree(size_t nodes, size_t symbols)
        : weight_(nodes), child_(nodes), parent_(nodes), leaf_(symbols)
    {
    }

    // Every symbol with weight 1, paired from the lightest end.
    void startFull(unsigned symbols)
    {
        end_ = 2 * symbols - 1;
        for (unsigned s = 0; s < symbols; ++s) {
            size_t n = end_ - 1 - s;
            weight_[n] = 1;
            child_[n] = ~static_cast<int32_t>(s);
            leaf_[s] = n;
        }
        for (size_t n = symbols - 1, pair = end_ - 1; n-- > 0; pair -= 2) {
            weight_[n] = weight_[pair] + weight_[pair - 1];
            child_[n] = static_cast<int32_t>(pair);
            parent_[pair] = parent_[pair - 1] = n;
        }
    }

    // A single leaf for symbol 0 as the root.
    void startSingle()
    {
        end_ = 1;
        weight_[0] = 1;
        child_[0] = ~0;
        leaf_[0] = 0;
    }

    // The next symbol, or -1 on a broken tree.
    int decode(lz::MsbBitReader &in) const
    {
        int32_t c = child_[0];
        for (size_t steps = 0; c >= 0; ++steps) {
            if (steps > end_ || c < 1 || static_cast<size_t>(c) >= end_)
                return -1;
            c = child_[static_cast<size_t>(c) - in.bit()];
        }
        return ~c;
    }

    uint32_t rootWeight() const { return weight_[0]; }
    void setRootWeight(uint32_t w) { weight_[0] = w; }
    size_t end() const { return end_; }

    // Walks from the symbol's leaf to just below the root.
    void increment(unsigned symbol)
    {
        for (size_t n = leaf_[symbol]; n != 0;)
            n = swapAndGain(n);
    }

    // Halves every leaf weight and rebuilds the tree over the same nodes.
    void rescale()
    {
        if (end_ < 3)
            return; // a lone leaf has nothing to rebuild
        std::vector<uint32_t> w;
        std::vector<int32_t> c;
        for (size_t i = 0; i < end_; ++i) {
            if (child_[i] < 0) {
                w.push_back((weight_[i] + 1) / 2);
                c.push_back(child_[i]);
            }
        }
        // Fill from the light end: the two lightest nodes placed so far
        // (at `pair` and pair + 1) get a parent, placed after the leaves
        // not heavier than it.
        size_t i = end_;    // next slot to fill is i - 1
        size_t leaf = w.size();
        size_t pair = end_ - 2;
        auto place = [&](uint32_t weight, int32_t child) {
            --i;
            weight_[i] = weight;
            child_[i] = child;
        };
        while (i > 0) {
            while (i > pair && leaf > 0) {
                --leaf;
                place(w[leaf], c[leaf]);
            }
            uint32_t sum = weight_[pair] + weight_[pair + 1];
            while (leaf > 0 && w[leaf - 1] <= sum) {
                --leaf;
                place(w[leaf], c[leaf]);
            }
            place(sum, static_cast<int32_t>(pair + 1));
            if (pair < 2)
                break;
            pair -= 2;
        }
        for (size_t n = 0; n < end_; ++n) {
            if (child_[n] < 0) {
                leaf_[static_cast<size_t>(~child_[n])] = n;
            } else {
                auto k = static_cast<size_t>(child_[n]);
                parent_[k] = parent_[k - 1] = n;
            }
        }
    }

    // Turns the last (lightest) leaf into a node over itself and a new
    // leaf for `symbol` of weight 0.
    void split(unsigned symbol)
    {
        size_t last = end_ - 1;
        size_t moved = end_, fresh = end_ + 1;
        end_ += 2;
        child_[moved] = child_[last];
        leaf_[static_cast<size_t>(~child_[moved])] = moved;
        weight_[moved] = weight_[last];
        child_[fresh] = ~static_cast<int32_t>(symbol);
        leaf_[symbol] = fresh;
        weight_[fresh] = 0;
        child_[last] = static_cast<int32_t>(fresh);
        parent_[moved] = parent_[fresh] = last;
    }

private:
    size_t swapAndGain(size_t n)
    {
        size_t first = n;
        while (first > 1 && weight_[first - 1] == weight_[n])
            --first;
        if (first != n) {
            std::swap(child_[n], child_[first]);
            relink(n);
            relink(first);
        }
        ++weight_[first];
        return parent_[first];
    }
    void relink(size_t n)
    {
        int32_t c = child_[n];
        if (c < 0) {
            leaf_[static_cast<size_t>(~c)] = n;
        } else {
            auto k = static_cast<size_t>(c);
            parent_[k] = parent_[k - 1] = n;
        }
    }

    std::vector<uint32_t> weight_;
    std::vector<int32_t> child_;
    std::vector<size_t> parent_;
    std::vector<size_t> leaf_;
    size_t end_ = 0;
};

class Lh2Decoder {
public:
    Lh2Decoder(base::ByteSource &in, uint64_t size, base::ByteSink &out)
        : in_(in), window_(out, kWindowSize, size, kHistoryFill), codes_(2 * kCodeSymbols, kCodeSymbols),
          positions_(2 * kPositionSymbols, kPositionSymbols)
    {
        codes_.startFull(kCodeSymbols);
        positions_.startSingle();
    }

    DecodeStatus run()
    {
        DecodeStatus status = DecodeStatus::Ok;
        while (!window_.full() && !window_.stopped()) {
            if (in_.overran()) {
                status = DecodeStatus::Truncated;
                break;
            }
            int c = nextCode();
            if (c < 0) {
                status = DecodeStatus::Corrupt;
                break;
            }
            if (c < 256) {
                window_.put(static_cast<uint8_t>(c));
                continue;
            }
            int p = nextPosition();
            if (p < 0) {
                status = DecodeStatus::Corrupt;
                break;
            }
            uint32_t dist = ((static_cast<uint32_t>(p) << kLowPositionBits) | in_.bits(kLowPositionBits)) + 1;
            window_.copy(dist, static_cast<uint32_t>(c) - kMatchBase);
        }
        return window_.finish(status, in_.overran());
    }

private:
    int nextCode()
    {
        int c = codes_.decode(in_);
        if (c < 0)
            return -1;
        if (codes_.rootWeight() == kRescaleAt)
            codes_.rescale();
        codes_.setRootWeight(codes_.rootWeight() + 1);
        codes_.increment(static_cast<unsigned>(c));
        if (c == static_cast<int>(kEscape))
            c += static_cast<int>(in_.bits(8));
        return c;
    }

    int nextPosition()
    {
        // One more distance symbol for every 64 bytes written so far.
        while (window_.total() > nextGrowth_ && nextSymbol_ < kPositionSymbols) {
            positions_.split(nextSymbol_);
            if (positions_.end() == 3)
                positions_.setRootWeight(kPinnedRoot);
            countPosition(nextSymbol_);
            ++nextSymbol_;
            nextGrowth_ += kBytesPerPosition;
        }
        int p = positions_.decode(in_);
        if (p < 0)
            return -1;
        countPosition(static_cast<unsigned>(p));
        return p;
    }

    void countPosition(unsigned p)
    {
        if (positionCount_ == kRescaleAt) {
            positions_.rescale();
            positionCount_ = positions_.rootWeight();
            positions_.setRootWeight(kPinnedRoot);
        }
        positions_.increment(p);
        ++positionCount_;
    }

    lz::MsbBitReader in_;
    lz::SizedOutput window_;
    AdaptiveTree codes_;
    AdaptiveTree positions_;
    uint64_t nextGrowth_ = kBytesPerPosition;
    unsigned nextSymbol_ = 1;
    uint32_t positionCount_ = 0;
};

} // namespace

DecodeStatus decodeLh2(base::ByteSource &in, uint64_t size, base::ByteSink &out)
{
    return Lh2Decoder(in, size, out).run();
}

} // namespace qvo::codecs::lha
