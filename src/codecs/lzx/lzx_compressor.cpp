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
#include <cstring>
#include <vector>

#include "codecs/lzx/lzx_bitwriter.h"
#include "codecs/lzx/lzx_constants.h"
#include "codecs/lzx/lzx_e8.h"
#include "codecs/lzx/lzx_huffman.h"
#include "codecs/lzx/lzx_trees.h"
#include "codecs/match/bt_matchfinder.h"

namespace qvo::codecs::lzx {

namespace {

using match::BtMatch;
using match::BtMatchFinder;

struct SlotTables {
    std::array<uint32_t, kMaxPositionSlots + 1> base{};
    std::array<uint8_t, kMaxPositionSlots> extra{};
    SlotTables()
    {
        for (unsigned s = 0; s < kMaxPositionSlots; ++s) {
            extra[s] = uint8_t(slotExtraBits(s));
            base[s + 1] = base[s] + (uint32_t(1) << extra[s]);
        }
    }
};
const SlotTables kSlots;

// One parsed item: a literal (mainSymbol < 256) or a match.
struct Item {
    uint16_t mainSymbol;
    uint16_t lengthSymbol; // kNoLength unless the length header is 7
    uint8_t extraBits;     // footer bits of a new offset
    uint32_t extraValue;
};
constexpr uint16_t kNoLength = 0xFFFF;

// Rough costs in bits, for choosing between matches while parsing.
constexpr int kLiteralBits = 6;
constexpr int kRepeatBits = 6;
constexpr int kMatchSymbolBits = 9;

// The format allows offsets up to the window size - 3, but 7-Zip (26.02)
// copies a match at exactly that offset wrongly: its copy loop writes a few
// bytes past the destination, which there is the source.  One less is safe.
constexpr uint32_t kWindowMargin = 4;

struct Candidate {
    uint32_t length = 0;
    uint32_t distance = 0;
    int gain = 0; // bits saved against literals
};

class LzxFolderCompressor final : public cab::FolderCompressor {
public:
    LzxFolderCompressor(int windowBits, const LzxOptions &options)
        : windowBits_(windowBits), windowSize_(uint32_t(1) << windowBits),
          mainSymbols_(kNumChars + 8 * positionSlots(windowBits)), options_(options),
          finder_(unsigned(windowBits), windowBits >= 18 ? 17 : 16, options.searchDepth ? options.searchDepth : 24,
                  options.niceLength ? std::min<unsigned>(options.niceLength, kMaxMatch) : 64)
    {
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
        items_.clear();
        parse(frameStart, frameEnd);
        writeBlock(writer, frameStart, frameEnd);
        writer.alignToWord();
        ++frameIndex_;
    }

private:
    const uint8_t *at(uint32_t pos) const { return buffer_.data() + (pos - bufferStart_); }

    // Copies a frame behind the history, applying the E8 filter (the
    // decoder's window holds the filtered bytes).  Returns its position.
    uint32_t appendFrame(std::span<const uint8_t> input)
    {
        size_t used = streamPos_ - bufferStart_;
        if (used + input.size() > buffer_.size()) {
            size_t keep = std::min<size_t>(used, windowSize_);
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

    int newOffsetCost(uint32_t distance) const
    {
        return kMatchSymbolBits + kSlots.extra[slotOfFormatted(distance + 2)];
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
            const int gain = int(len) * kLiteralBits - kRepeatBits - int(r);
            if (len >= kMinMatch && gain > best.gain)
                best = {len, d, gain};
        }
        const uint32_t maxDistance = std::min(pos, windowSize_ - kWindowMargin);
        const uint32_t nice = finder_.niceLength();
        size_t n;
        if (end - pos >= nice && insertedTo_ == pos) {
            n = finder_.findAndInsert(in, pos, maxDistance, matches_.data());
            insertedTo_ = pos + 1;
        } else {
            n = finder_.find(in, pos, end - pos, maxDistance, matches_.data());
        }
        for (size_t i = 0; i < n; ++i) {
            BtMatch m = matches_[i];
            if (m.length == nice) // the finder stops looking there; we may go on
                m.length = commonLength(in, in - m.distance, avail);
            const int gain = int(m.length) * kLiteralBits - newOffsetCost(m.distance);
            if (gain > best.gain)
                best = {m.length, m.distance, gain};
        }
        return best;
    }

    // Inserts the positions before `pos` not yet in the tree, as far as
    // niceLength bytes follow them before `dataEnd`.
    void insertUpTo(uint32_t pos, uint32_t dataEnd)
    {
        const uint32_t nice = finder_.niceLength();
        for (; insertedTo_ < pos && dataEnd - insertedTo_ >= nice; ++insertedTo_)
            finder_.insert(at(insertedTo_), insertedTo_, std::min(insertedTo_, windowSize_ - kWindowMargin));
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
            if (cur.length < finder_.niceLength() && pos + 1 < end) {
                Candidate next = evaluate(pos + 1, end);
                if (next.gain > cur.gain + 2) {
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

    void emitLiteral(uint8_t byte) { items_.push_back({byte, kNoLength, 0, 0}); }

    void emitMatch(uint32_t length, uint32_t distance)
    {
        unsigned slot;
        uint8_t extraBits = 0;
        uint32_t extraValue = 0;
        if (distance == repeats_[0]) {
            slot = 0;
        } else if (distance == repeats_[1]) {
            slot = 1;
            std::swap(repeats_[0], repeats_[1]);
        } else if (distance == repeats_[2]) {
            slot = 2;
            std::swap(repeats_[0], repeats_[2]);
        } else {
            const uint32_t formatted = distance + 2;
            slot = slotOfFormatted(formatted);
            extraBits = kSlots.extra[slot];
            extraValue = formatted - kSlots.base[slot];
            repeats_[2] = repeats_[1];
            repeats_[1] = repeats_[0];
            repeats_[0] = distance;
        }
        const uint32_t header = length - kMinMatch;
        Item item{};
        if (header >= kNumPrimaryLengths) {
            item.mainSymbol = uint16_t(kNumChars + slot * 8 + kNumPrimaryLengths);
            item.lengthSymbol = uint16_t(header - kNumPrimaryLengths);
        } else {
            item.mainSymbol = uint16_t(kNumChars + slot * 8 + header);
            item.lengthSymbol = kNoLength;
        }
        item.extraBits = extraBits;
        item.extraValue = extraValue;
        items_.push_back(item);
    }

    void writeBlock(BitWriter &writer, uint32_t start, uint32_t end)
    {
        const uint32_t size = end - start;
        std::vector<uint32_t> mainFreq(mainSymbols_, 0);
        std::array<uint32_t, kNumSecondaryLengths> lengthFreq{};
        std::array<uint32_t, kAlignedSymbols> alignedFreq{};
        for (const Item &it : items_) {
            ++mainFreq[it.mainSymbol];
            if (it.lengthSymbol != kNoLength)
                ++lengthFreq[it.lengthSymbol];
            if (it.extraBits >= 3)
                ++alignedFreq[it.extraValue & 7];
        }
        // libmspack undoes E8 translation only once a tree has given the
        // literal 0xE8 a code (or a stored block was seen).
        if (options_.e8Translation && !intelStarted_ && mainFreq[0xE8] == 0)
            mainFreq[0xE8] = 1;

        std::vector<uint8_t> mainLen(mainSymbols_);
        std::array<uint8_t, kNumSecondaryLengths> lengthLen{};
        std::array<uint8_t, kAlignedSymbols> alignedLen{};
        buildCodeLengths(mainFreq, kMaxMainCodeLen, mainLen);
        buildCodeLengths(lengthFreq, kMaxLengthCodeLen, lengthLen);
        buildCodeLengths(alignedFreq, kMaxAlignedCodeLen, alignedLen);

        const auto mainTokensLow = preTreeTokens({prevMain_.data(), kNumChars}, {mainLen.data(), kNumChars});
        const auto mainTokensHigh = preTreeTokens({prevMain_.data() + kNumChars, mainSymbols_ - kNumChars},
                                                  {mainLen.data() + kNumChars, mainSymbols_ - kNumChars});
        const auto lengthTokens = preTreeTokens(prevLength_, lengthLen);

        uint64_t symbolBits = 0, verbatimExtra = 0, alignedExtra = 0;
        for (unsigned s = 0; s < mainSymbols_; ++s)
            symbolBits += uint64_t(mainFreq[s]) * mainLen[s];
        for (unsigned s = 0; s < kNumSecondaryLengths; ++s)
            symbolBits += uint64_t(lengthFreq[s]) * lengthLen[s];
        for (const Item &it : items_) {
            verbatimExtra += it.extraBits;
            alignedExtra += it.extraBits >= 3 ? it.extraBits - 3u : it.extraBits;
        }
        bool anyAligned = false;
        for (unsigned s = 0; s < kAlignedSymbols; ++s) {
            alignedExtra += uint64_t(alignedFreq[s]) * alignedLen[s];
            anyAligned |= alignedFreq[s] != 0;
        }
        const uint64_t treeBits = writeLengths(mainTokensLow, nullptr) + writeLengths(mainTokensHigh, nullptr) +
                                  writeLengths(lengthTokens, nullptr);
        const uint64_t verbatimBits = treeBits + symbolBits + verbatimExtra;
        const uint64_t alignedBits = 3 * kAlignedSymbols + treeBits + symbolBits + alignedExtra;
        // Stored: 1..16 bits of padding, R0..R2, the bytes, a pad byte if odd.
        const uint64_t storedBits = 16 + 96 + 8 * uint64_t(size) + 8 * (size & 1);
        // The decoders disagree on the padding when the header ends on a
        // word boundary (libarchive skips none, the others 16 bits).
        const bool storedPossible = options_.allowUncompressed && (writer.pendingBits() + 27) % 16 != 0;

        if (storedPossible && storedBits < std::min(verbatimBits, alignedBits)) {
            writeStored(writer, start, size);
            return;
        }
        const bool aligned = options_.allowAligned && anyAligned && alignedBits < verbatimBits;

        writer.put(aligned ? kBlockAligned : kBlockVerbatim, 3);
        writer.put(size >> 8, 16);
        writer.put(size & 0xFF, 8);
        if (aligned)
            for (uint8_t l : alignedLen)
                writer.put(l, 3);
        writeLengths(mainTokensLow, &writer);
        writeLengths(mainTokensHigh, &writer);
        writeLengths(lengthTokens, &writer);

        std::vector<uint16_t> mainCode(mainSymbols_);
        std::array<uint16_t, kNumSecondaryLengths> lengthCode{};
        std::array<uint16_t, kAlignedSymbols> alignedCode{};
        buildCodes(mainLen, mainCode);
        buildCodes(lengthLen, lengthCode);
        buildCodes(alignedLen, alignedCode);
        for (const Item &it : items_) {
            writer.put(mainCode[it.mainSymbol], mainLen[it.mainSymbol]);
            if (it.mainSymbol < kNumChars)
                continue;
            if (it.lengthSymbol != kNoLength)
                writer.put(lengthCode[it.lengthSymbol], lengthLen[it.lengthSymbol]);
            if (aligned && it.extraBits >= 3) {
                writer.put(it.extraValue >> 3, it.extraBits - 3);
                const unsigned low = it.extraValue & 7;
                writer.put(alignedCode[low], alignedLen[low]);
            } else if (it.extraBits) {
                writer.putLong(it.extraValue, it.extraBits);
            }
        }
        std::copy(mainLen.begin(), mainLen.end(), prevMain_.begin());
        prevLength_ = lengthLen;
        if (mainLen[0xE8])
            intelStarted_ = true;
    }

    void writeStored(BitWriter &writer, uint32_t start, uint32_t size)
    {
        writer.put(kBlockUncompressed, 3);
        writer.put(size >> 8, 16);
        writer.put(size & 0xFF, 8);
        writer.alignToWord();
        std::vector<uint8_t> &out = writer.bytes();
        // The repeated offsets the parse left: the decoder takes them from
        // here, so its state follows the encoder's.
        for (uint32_t r : repeats_)
            for (int i = 0; i < 4; ++i)
                out.push_back(uint8_t(r >> (8 * i)));
        const uint8_t *data = at(start);
        out.insert(out.end(), data, data + size);
        if (size & 1)
            out.push_back(0);
        intelStarted_ = true;
    }

    const int windowBits_;
    const uint32_t windowSize_;
    const unsigned mainSymbols_;
    const LzxOptions options_;
    BtMatchFinder finder_;

    std::vector<uint8_t> buffer_;
    uint32_t bufferStart_ = 0; // stream position of buffer_[0]
    uint32_t streamPos_ = 0;   // stream position of the next frame
    uint32_t insertedTo_ = 0;
    uint64_t frameIndex_ = 0;
    bool headerWritten_ = false;
    bool intelStarted_ = false;

    std::array<uint32_t, kNumRepeats> repeats_{1, 1, 1};
    std::array<uint8_t, kMaxMainSymbols> prevMain_{};
    std::array<uint8_t, kNumSecondaryLengths> prevLength_{};
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
