#include "codecs/lzx/lzx_block_writer.h"

#include <algorithm>
#include <vector>

#include "codecs/lz/prefix_code_builder.h"
#include "codecs/lzx/lzx_trees.h"

namespace qvo::codecs::lzx {

void BlockWriter::write(BitWriter &writer, std::span<const Item> items, std::span<const uint8_t> data,
                        const RepeatedOffsets &repeats, CostModel &costs)
{
    const uint32_t size = uint32_t(data.size());
    std::vector<uint32_t> mainFreq(mainSymbols_, 0);
    std::array<uint32_t, kNumSecondaryLengths> lengthFreq{};
    std::array<uint32_t, kAlignedSymbols> alignedFreq{};
    for (const Item &it : items) {
        ++mainFreq[it.mainSymbol];
        if (it.lengthSymbol != kNoLength)
            ++lengthFreq[it.lengthSymbol];
        if (it.extraBits >= 3)
            ++alignedFreq[it.extraValue & 7];
    }
    // libmspack undoes E8 translation only once a tree has given the
    // literal 0xE8 a code (or a stored block was seen).
    if (e8Translation_ && !intelStarted_ && mainFreq[0xE8] == 0)
        mainFreq[0xE8] = 1;

    std::vector<uint8_t> mainLen(mainSymbols_);
    std::array<uint8_t, kNumSecondaryLengths> lengthLen{};
    std::array<uint8_t, kAlignedSymbols> alignedLen{};
    lz::buildCodeLengths(mainFreq, kMaxMainCodeLen, mainLen);
    lz::buildCodeLengths(lengthFreq, kMaxLengthCodeLen, lengthLen);
    lz::buildCodeLengths(alignedFreq, kMaxAlignedCodeLen, alignedLen);

    const auto mainTokensLow = preTreeTokens({prevMain_.data(), kNumChars}, {mainLen.data(), kNumChars});
    const auto mainTokensHigh = preTreeTokens({prevMain_.data() + kNumChars, mainSymbols_ - kNumChars},
                                              {mainLen.data() + kNumChars, mainSymbols_ - kNumChars});
    const auto lengthTokens = preTreeTokens(prevLength_, lengthLen);

    uint64_t symbolBits = 0, verbatimExtra = 0, alignedExtra = 0;
    for (unsigned s = 0; s < mainSymbols_; ++s)
        symbolBits += uint64_t(mainFreq[s]) * mainLen[s];
    for (unsigned s = 0; s < kNumSecondaryLengths; ++s)
        symbolBits += uint64_t(lengthFreq[s]) * lengthLen[s];
    for (const Item &it : items) {
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
    const bool storedPossible = allowStored_ && (writer.pendingBits() + 27) % 16 != 0;

    if (storedPossible && storedBits < std::min(verbatimBits, alignedBits)) {
        writeStored(writer, data, repeats);
        return;
    }
    const bool aligned = allowAligned_ && anyAligned && alignedBits < verbatimBits;

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
    lz::buildCodes(mainLen, mainCode);
    lz::buildCodes(lengthLen, lengthCode);
    lz::buildCodes(alignedLen, alignedCode);
    for (const Item &it : items) {
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
    costs.update(mainLen, lengthLen);
    prevLength_ = lengthLen;
    if (mainLen[0xE8])
        intelStarted_ = true;
}

void BlockWriter::writeStored(BitWriter &writer, std::span<const uint8_t> data, const RepeatedOffsets &repeats)
{
    const uint32_t size = uint32_t(data.size());
    writer.put(kBlockUncompressed, 3);
    writer.put(size >> 8, 16);
    writer.put(size & 0xFF, 8);
    writer.alignToWord();
    std::vector<uint8_t> &out = writer.bytes();
    // The repeated offsets the parse left: the decoder takes them from
    // here, so its state follows the encoder's.
    for (uint32_t r : repeats.values())
        for (int i = 0; i < 4; ++i)
            out.push_back(uint8_t(r >> (8 * i)));
    out.insert(out.end(), data.begin(), data.end());
    if (size & 1)
        out.push_back(0);
    intelStarted_ = true;
}

} // namespace qvo::codecs::lzx
