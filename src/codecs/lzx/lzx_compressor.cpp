// One CAB folder as one LZX stream.  Every frame (32 KiB of input) becomes
// exactly one LZX block that ends with the frame, and no match crosses a
// frame end: libmspack and 7-Zip reject matches that run over a frame, and
// 7-Zip and libarchive decode each CFDATA on its own, so the bit stream is
// padded to a 16-bit boundary at every frame end.  Trees, repeated offsets
// and the window carry over between frames; nothing is reset before the
// folder ends.
//
// Each frame is parsed in two passes: the matches of every position are
// collected first (a shallow binary-tree search over the recent bytes plus
// one probe for long repeats anywhere in the window), then OptimalParser
// picks the cheapest path through them.  The shallow search keeps the cost
// down; the cheapest-path parse more than makes up what it loses.
#include "codecs/lzx/lzx_compressor.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "codecs/lzx/lzx_bitwriter.h"
#include "codecs/lzx/lzx_block_writer.h"
#include "codecs/lzx/lzx_constants.h"
#include "codecs/lzx/lzx_costs.h"
#include "codecs/lzx/lzx_e8.h"
#include "codecs/lzx/lzx_items.h"
#include "codecs/lzx/lzx_parser.h"
#include "codecs/match/bt_matchfinder.h"
#include "codecs/match/long_match_table.h"
#include "codecs/match/lz_extend.h"

namespace qvo::codecs::lzx {

namespace {

using match::BtMatch;
using match::BtMatchFinder;
using match::LongMatchTable;

// The tree covers only the last 2^17 bytes and is searched two nodes deep:
// its arrays then stay in the caches, and the walks, which are all cache
// misses in a tree over a 2 MiB window, cost a fraction.  Repeats further
// back come from the long-match table over the whole window; the shorter
// ones there would hardly pay for their long offsets anyway.
constexpr int kMaxTreeBits = 17;
constexpr unsigned kTreeHashBits = 16;
constexpr unsigned kDefaultSearchDepth = 2;
// Matches this long end the search, and the parse takes them whole.
constexpr unsigned kDefaultNiceLength = 32;

// After a frame that shrank by less than this (in 1/64), the next frame is
// searched lightly: compressed or random data wastes searches.  Only every
// kLightStride-th position goes into the tree; the long-match table still
// takes every position, so a second copy of such data is found.
constexpr size_t kIncompressibleOf64 = 62;
constexpr unsigned kLightSearchDepth = 1;
constexpr uint32_t kLightStride = 4;

// The format allows offsets up to the window size - 3, but 7-Zip (26.02)
// copies a match at exactly that offset wrongly: its copy loop writes a few
// bytes past the destination, which there is the source.  One less is safe.
constexpr uint32_t kWindowMargin = 4;

// Tree roots are fetched this many positions ahead, and the root's node and
// string half as far ahead: every walk starts with those misses.
constexpr uint32_t kPrefetchFar = 16;
constexpr uint32_t kPrefetchNear = 8;

unsigned longTableBits(int windowBits) { return unsigned(std::clamp(windowBits - 1, 16, 20)); }

class LzxFrameCompressor final : public codecs::FrameCompressor {
public:
    LzxFrameCompressor(int windowBits, const LzxOptions &options)
        : windowBits_(windowBits), windowSize_(uint32_t(1) << windowBits),
          mainSymbols_(kNumChars + 8 * positionSlots(windowBits)), options_(options),
          treeBits_(std::min(windowBits, kMaxTreeBits)),
          finder_(unsigned(treeBits_), kTreeHashBits,
                  options.niceLength ? std::min<unsigned>(options.niceLength, kMaxMatch) : kDefaultNiceLength),
          longMatches_(longTableBits(windowBits)), parser_(finder_.niceLength())
    {
        searchDepth_ = options.searchDepth ? options.searchDepth : kDefaultSearchDepth;
        // Room for the window of history plus several frames, so the
        // history is moved down only every few frames.
        size_t capacity = size_t(windowSize_) + std::max<size_t>(windowSize_, 8 * codecs::kFrameSize);
        buffer_.resize(capacity);
        items_.reserve(codecs::kFrameSize);
    }

    codecs::FrameMethod method() const override { return codecs::FrameMethod::Lzx; }
    int windowBits() const override { return windowBits_; }

    void compressFrame(std::span<const uint8_t> input, bool /*lastFrameOfStream*/,
                       std::vector<uint8_t> &out) override
    {
        assert(input.size() <= codecs::kFrameSize);
        if (input.empty())
            return; // a zero-length block is invalid; an empty folder has no frames
        const uint32_t frameStart = appendFrame(input);
        const uint32_t frameEnd = frameStart + uint32_t(input.size());

        BitWriter writer(out);
        if (!headerWritten_) {
            writer.put(options_.e8Translation ? 1 : 0, 1);
            if (options_.e8Translation)
                writer.putLong(uint32_t(kE8TranslationSize), 32);
            headerWritten_ = true;
        }
        const size_t outStart = out.size();
        items_.clear();
        collectMatches(frameStart, frameEnd);
        parser_.parse({at(frameStart), input.size()}, frameStart, found_, costs_, repeats_, items_);
        blocks_.write(writer, items_, {at(frameStart), input.size()}, repeats_, costs_);
        writer.alignToWord();
        ++frameIndex_;
        incompressible_ = (out.size() - outStart) * 64 > input.size() * kIncompressibleOf64;
    }

private:
    const uint8_t *at(uint32_t pos) const { return buffer_.data() + (pos - bufferStart_); }

    uint32_t maxDistance(uint32_t pos) const { return std::min(pos, windowSize_ - kWindowMargin); }
    uint32_t treeDistance(uint32_t pos) const { return std::min(pos, (uint32_t(1) << treeBits_) - kWindowMargin); }

    // Copies a frame behind the history, applying the E8 filter (the
    // decoder's window holds the filtered bytes).  Returns its position.
    uint32_t appendFrame(std::span<const uint8_t> input)
    {
        size_t used = streamPos_ - bufferStart_;
        if (used + input.size() > buffer_.size()) {
            // A window of history, plus the previous frame's tail whose
            // insertion waited for this frame.
            size_t keep = std::min<size_t>(used, windowSize_ + kMaxMatch);
            std::memmove(buffer_.data(), buffer_.data() + (used - keep), keep);
            bufferStart_ = streamPos_ - uint32_t(keep);
            used = keep;
        }
        uint8_t *dest = buffer_.data() + used;
        std::memcpy(dest, input.data(), input.size());
        if (options_.e8Translation)
            e8Encode({dest, input.size()}, streamPos_, frameIndex_, kE8TranslationSize);
        const uint32_t start = streamPos_;
        streamPos_ += uint32_t(input.size());
        return start;
    }

    void prefetchAhead(uint32_t pos, uint32_t end)
    {
        if (end - pos >= kPrefetchFar + LongMatchTable::kPrefixLength) {
            finder_.prefetch(at(pos + kPrefetchFar));
            const uint32_t near = pos + kPrefetchNear;
            finder_.prefetchRoot(at(near), near, treeDistance(near));
        }
    }

    // Inserts the positions before `pos` not yet in the tree, as far as
    // niceLength bytes follow them before `dataEnd`.
    void insertUpTo(uint32_t pos, uint32_t dataEnd)
    {
        const uint32_t nice = finder_.niceLength();
        for (; treeTo_ < pos && dataEnd - treeTo_ >= nice; ++treeTo_) {
            prefetchAhead(treeTo_, dataEnd);
            finder_.insert(at(treeTo_), treeTo_, treeDistance(treeTo_), searchDepth_);
        }
    }

    // The long-match table takes every position with eight bytes after it.
    const uint8_t *probeLongTable(uint32_t pos, uint32_t end, int64_t *candidate)
    {
        *candidate = -1;
        for (; longTo_ <= pos && end - longTo_ >= LongMatchTable::kPrefixLength; ++longTo_) {
            if (end - longTo_ >= kPrefetchFar + LongMatchTable::kPrefixLength)
                longMatches_.prefetch(at(longTo_ + kPrefetchFar));
            if (longTo_ == pos)
                *candidate = longMatches_.candidate(at(pos));
            longMatches_.insert(at(longTo_), longTo_);
        }
        return at(pos);
    }

    // The matches of one position, lengths increasing; inserts it.
    size_t findMatches(uint32_t pos, uint32_t end, unsigned depth, bool searchTree, BtMatch *out)
    {
        const uint32_t avail = std::min(end - pos, kMaxMatch);
        const uint32_t limit = maxDistance(pos);
        const uint32_t nice = finder_.niceLength();
        int64_t longCandidate;
        const uint8_t *in = probeLongTable(pos, end, &longCandidate);
        size_t n = 0;
        if (searchTree) {
            prefetchAhead(pos, end);
            if (end - pos >= nice && treeTo_ == pos) {
                n = finder_.findAndInsert(in, pos, treeDistance(pos), depth, out);
                treeTo_ = pos + 1;
            } else {
                n = finder_.find(in, pos, end - pos, treeDistance(pos), depth, out);
            }
            // The finder compares no further than niceLength.
            if (n && out[n - 1].length == nice)
                out[n - 1].length = match::lzExtend(in, in - out[n - 1].distance, nice, avail);
        }
        if (longCandidate >= 0 && pos - uint32_t(longCandidate) <= limit) {
            const uint32_t d = pos - uint32_t(longCandidate);
            const uint32_t len = match::lzExtend(in, in - d, 0, avail);
            if (len >= LongMatchTable::kPrefixLength && (n == 0 || len > out[n - 1].length))
                out[n++] = {len, d};
        }
        return n;
    }

    // Fills found_ for the frame [start, end).  Positions inside a match
    // of niceLength or more are only inserted: the parse takes such a
    // match whole.
    void collectMatches(uint32_t start, uint32_t end)
    {
        // The last positions of the previous frame waited for this data.
        insertUpTo(start, end);
        const uint32_t n = end - start;
        const uint32_t nice = finder_.niceLength();
        const bool light = incompressible_;
        const unsigned depth = light ? std::min(searchDepth_, kLightSearchDepth) : searchDepth_;
        found_.first.resize(n + 1);
        found_.matches.resize(std::max<size_t>(found_.matches.size(), 2 * size_t(nice) + 64));
        size_t used = 0;
        uint32_t skipTo = start;
        for (uint32_t pos = start; pos < end; ++pos) {
            found_.first[pos - start] = uint32_t(used);
            if (pos < skipTo)
                continue;
            if (light && treeTo_ < pos)
                treeTo_ = pos; // the skipped positions stay out of the tree
            insertUpTo(pos, end);
            if (found_.matches.size() < used + nice + 2)
                found_.matches.resize(2 * found_.matches.size());
            const bool searchTree = !light || pos % kLightStride == 0;
            const size_t k = findMatches(pos, end, depth, searchTree, &found_.matches[used]);
            if (k && found_.matches[used + k - 1].length >= nice)
                skipTo = pos + found_.matches[used + k - 1].length;
            used += k;
        }
        found_.first[n] = uint32_t(used);
        insertUpTo(end, end);
    }

    const int windowBits_;
    const uint32_t windowSize_;
    const unsigned mainSymbols_;
    const LzxOptions options_;
    const int treeBits_;
    BtMatchFinder finder_;
    LongMatchTable longMatches_;
    OptimalParser parser_;
    CostModel costs_{mainSymbols_};
    unsigned searchDepth_;
    bool incompressible_ = false; // the last frame hardly compressed

    std::vector<uint8_t> buffer_;
    uint32_t bufferStart_ = 0; // stream position of buffer_[0]
    uint32_t streamPos_ = 0;   // stream position of the next frame
    uint32_t treeTo_ = 0;      // positions before it are in the tree (or skipped)
    uint32_t longTo_ = 0;      // positions before it are in the long-match table
    uint64_t frameIndex_ = 0;
    bool headerWritten_ = false;

    RepeatedOffsets repeats_;
    BlockWriter blocks_{mainSymbols_, options_.e8Translation, options_.allowUncompressed, options_.allowAligned};
    FrameMatches found_;
    std::vector<Item> items_;
};

} // namespace

std::unique_ptr<codecs::FrameCompressor> makeLzxCompressor(int windowBits)
{
    return makeLzxCompressor(windowBits, LzxOptions{});
}

std::unique_ptr<codecs::FrameCompressor> makeLzxCompressor(int windowBits, const LzxOptions &options)
{
    if (windowBits < kMinWindowBits || windowBits > kMaxWindowBits)
        return nullptr;
    return std::make_unique<LzxFrameCompressor>(windowBits, options);
}

} // namespace qvo::codecs::lzx
