// One CAB folder as one LZX stream.  Every frame (32 KiB of input) becomes
// exactly one LZX block that ends with the frame, and no match crosses a
// frame end: libmspack and 7-Zip reject matches that run over a frame, and
// 7-Zip and libarchive decode each CFDATA on its own, so the bit stream is
// padded to a 16-bit boundary at every frame end.  Trees, repeated offsets
// and the window carry over between frames; nothing is reset before the
// folder ends.
#include "codecs/lzx/lzx_compressor.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <vector>

#include "codecs/lzx/lzx_bitwriter.h"
#include "codecs/lzx/lzx_block_writer.h"
#include "codecs/lzx/lzx_constants.h"
#include "codecs/lzx/lzx_costs.h"
#include "codecs/lzx/lzx_e8.h"
#include "codecs/lzx/lzx_items.h"
#include "codecs/match/bt_matchfinder.h"

namespace qvo::codecs::lzx {

namespace {

using match::BtMatch;
using match::BtMatchFinder;

// A match one byte later must win by this much to be preferred.
constexpr int kLazyMargin = 2 * kCostScale;

// Search effort.  Insertions walk the tree too, and a walk cut short drops
// the older strings below the cut, so their depth decides how much of a
// large window stays reachable.
constexpr unsigned kDefaultSearchDepth = 24;
constexpr unsigned kDefaultNiceLength = 64;

// A match this long is taken without looking one byte ahead.
constexpr uint32_t kLazyLimit = 32;

// After a frame that shrank by less than this (in 1/64), the next frame is
// searched lightly: compressed or random data wastes deep searches.
constexpr size_t kIncompressibleOf64 = 62;
constexpr unsigned kLightSearchDepth = 4;
constexpr unsigned kLightInsertDepth = 2;

// The format allows offsets up to the window size - 3, but 7-Zip (26.02)
// copies a match at exactly that offset wrongly: its copy loop writes a few
// bytes past the destination, which there is the source.  One less is safe.
constexpr uint32_t kWindowMargin = 4;

struct Candidate {
    uint32_t length = 0;
    uint32_t distance = 0;
    int gain = 0; // bits saved against literals, in 1/16 bit
};

class LzxFolderCompressor final : public cab::FolderCompressor {
public:
    LzxFolderCompressor(int windowBits, const LzxOptions &options)
        : windowBits_(windowBits), windowSize_(uint32_t(1) << windowBits),
          mainSymbols_(kNumChars + 8 * positionSlots(windowBits)), options_(options),
          finder_(unsigned(windowBits), unsigned(std::clamp(windowBits - 2, 16, 19)),
                  options.niceLength ? std::min<unsigned>(options.niceLength, kMaxMatch) : kDefaultNiceLength)
    {
        searchDepth_ = options.searchDepth ? options.searchDepth : kDefaultSearchDepth;
        insertDepth_ = std::max(1u, searchDepth_ * 2 / 3);
        // Room for the window of history plus several frames, so the
        // history is moved down only every few frames.
        size_t capacity = size_t(windowSize_) + std::max<size_t>(windowSize_, 8 * cab::kFrameSize);
        buffer_.resize(capacity);
        matches_.resize(kMaxMatch + 1);
        items_.reserve(cab::kFrameSize);
    }

    uint16_t typeCompress() const override { return cab::lzxType(windowBits_); }

    void compressFrame(std::span<const uint8_t> input, bool /*lastFrameOfFolder*/,
                       std::vector<uint8_t> &out) override
    {
        assert(input.size() <= cab::kFrameSize);
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
        parse(frameStart, frameEnd);
        blocks_.write(writer, items_, {at(frameStart), input.size()}, repeats_, costs_);
        writer.alignToWord();
        ++frameIndex_;
        incompressible_ = (out.size() - outStart) * 64 > input.size() * kIncompressibleOf64;
    }

private:
    const uint8_t *at(uint32_t pos) const { return buffer_.data() + (pos - bufferStart_); }

    // Copies a frame behind the history, applying the E8 filter (the
    // decoder's window holds the filtered bytes).  Returns its position.
    uint32_t appendFrame(std::span<const uint8_t> input)
    {
        size_t used = streamPos_ - bufferStart_;
        if (used + input.size() > buffer_.size()) {
            // A window of history, plus the previous frame's tail whose
            // insertion into the tree waited for this frame.
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

    static uint32_t commonLength(const uint8_t *a, const uint8_t *b, uint32_t limit)
    {
        uint32_t n = 0;
        while (n < limit && a[n] == b[n])
            ++n;
        return n;
    }

    int gain(uint32_t length, unsigned slot) const
    {
        return int(length) * costs_.literal() - costs_.match(slot, length);
    }

    // The best way to start a match at `pos`; inserts `pos` into the tree.
    Candidate evaluate(uint32_t pos, uint32_t end)
    {
        Candidate best;
        const uint8_t *in = at(pos);
        const uint32_t avail = std::min(end - pos, kMaxMatch);
        for (unsigned r = 0; r < kNumRepeats; ++r) {
            const uint32_t d = repeats_[r];
            if (d > pos || avail < kMinMatch)
                continue;
            const uint32_t len = commonLength(in, in - d, avail);
            if (len < kMinMatch)
                continue;
            const int g = gain(len, r);
            if (g > best.gain)
                best = {len, d, g};
        }
        const uint32_t maxDistance = std::min(pos, windowSize_ - kWindowMargin);
        const uint32_t nice = finder_.niceLength();
        size_t n;
        const unsigned depth = incompressible_ ? kLightSearchDepth : searchDepth_;
        if (end - pos > BtMatchFinder::kMinLength)
            finder_.prefetch(in + 1);
        if (end - pos >= nice && insertedTo_ == pos) {
            n = finder_.findAndInsert(in, pos, maxDistance, depth, matches_.data());
            insertedTo_ = pos + 1;
        } else {
            n = finder_.find(in, pos, end - pos, maxDistance, depth, matches_.data());
        }
        for (size_t i = 0; i < n; ++i) {
            BtMatch m = matches_[i];
            if (m.length == nice) // the finder stops looking there; we may go on
                m.length = commonLength(in, in - m.distance, avail);
            const int g = gain(m.length, slotOfFormatted(m.distance + 2));
            if (g > best.gain)
                best = {m.length, m.distance, g};
        }
        return best;
    }

    // Inserts the positions before `pos` not yet in the tree, as far as
    // niceLength bytes follow them before `dataEnd`.
    void insertUpTo(uint32_t pos, uint32_t dataEnd)
    {
        const uint32_t nice = finder_.niceLength();
        const unsigned depth = incompressible_ ? kLightInsertDepth : insertDepth_;
        for (; insertedTo_ < pos && dataEnd - insertedTo_ >= nice; ++insertedTo_) {
            if (dataEnd - insertedTo_ > BtMatchFinder::kMinLength)
                finder_.prefetch(at(insertedTo_) + 1);
            finder_.insert(at(insertedTo_), insertedTo_, std::min(insertedTo_, windowSize_ - kWindowMargin), depth);
        }
    }

    // Lazy parsing: a match is taken unless the next position starts a
    // better one.
    void parse(uint32_t start, uint32_t end)
    {
        // The last positions of the previous frame waited for this data.
        insertUpTo(start, end);
        insertedTo_ = start;
        uint32_t pos = start;
        Candidate cur = evaluate(pos, end);
        while (pos < end) {
            if (cur.length < kMinMatch) {
                emitLiteral(*at(pos));
                ++pos;
                if (pos < end)
                    cur = evaluate(pos, end);
                continue;
            }
            if (cur.length < kLazyLimit && pos + 1 < end) {
                Candidate next = evaluate(pos + 1, end);
                if (next.gain > cur.gain + kLazyMargin) {
                    emitLiteral(*at(pos));
                    ++pos;
                    cur = next;
                    continue;
                }
            }
            emitMatch(cur.length, cur.distance);
            pos += cur.length;
            insertUpTo(pos, end);
            if (pos < end)
                cur = evaluate(pos, end);
        }
    }

    void emitLiteral(uint8_t byte) { items_.push_back(literalItem(byte)); }
    void emitMatch(uint32_t length, uint32_t distance) { items_.push_back(repeats_.code(length, distance)); }


    const int windowBits_;
    const uint32_t windowSize_;
    const unsigned mainSymbols_;
    const LzxOptions options_;
    BtMatchFinder finder_;
    CostModel costs_{mainSymbols_};
    unsigned searchDepth_;
    unsigned insertDepth_;
    bool incompressible_ = false; // the last frame hardly compressed

    std::vector<uint8_t> buffer_;
    uint32_t bufferStart_ = 0; // stream position of buffer_[0]
    uint32_t streamPos_ = 0;   // stream position of the next frame
    uint32_t insertedTo_ = 0;
    uint64_t frameIndex_ = 0;
    bool headerWritten_ = false;

    RepeatedOffsets repeats_;
    BlockWriter blocks_{mainSymbols_, options_.e8Translation, options_.allowUncompressed, options_.allowAligned};
    std::vector<BtMatch> matches_;
    std::vector<Item> items_;
};

} // namespace

std::unique_ptr<cab::FolderCompressor> makeLzxCompressor(int windowBits)
{
    return makeLzxCompressor(windowBits, LzxOptions{});
}

std::unique_ptr<cab::FolderCompressor> makeLzxCompressor(int windowBits, const LzxOptions &options)
{
    if (windowBits < kMinWindowBits || windowBits > kMaxWindowBits)
        return nullptr;
    return std::make_unique<LzxFolderCompressor>(windowBits, options);
}

} // namespace qvo::codecs::lzx
