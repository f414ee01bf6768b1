// Fixed parameters of the LZX format as used inside CAB folders.
#pragma once
#include <array>
#include <cstdint>

namespace qvo::codecs::lzx {

constexpr int kMinWindowBits = 15;
constexpr int kMaxWindowBits = 21;

constexpr unsigned kNumChars = 256;
constexpr unsigned kNumPrimaryLengths = 7;    // length headers 0..6 code lengths 2..8
constexpr unsigned kNumSecondaryLengths = 249; // length tree symbols
constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 257;
constexpr unsigned kNumRepeats = 3;

constexpr unsigned kPreTreeSymbols = 20;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kMaxPositionSlots = 50;
constexpr unsigned kMaxMainSymbols = kNumChars + 8 * kMaxPositionSlots;

// Longest codes the decoders accept: 16 for the main and length trees; the
// pre-tree is kept to 10 and the aligned tree to 7 because libarchive builds
// its tables with no more bits than that.
constexpr unsigned kMaxMainCodeLen = 16;
constexpr unsigned kMaxLengthCodeLen = 16;
constexpr unsigned kMaxPreTreeCodeLen = 10;
constexpr unsigned kMaxAlignedCodeLen = 7;

enum BlockType : unsigned { kBlockVerbatim = 1, kBlockAligned = 2, kBlockUncompressed = 3 };

// Position slots per window size 2^15 .. 2^21.
constexpr unsigned kPositionSlots[] = {30, 32, 34, 36, 38, 42, 50};

constexpr unsigned positionSlots(int windowBits) { return kPositionSlots[windowBits - kMinWindowBits]; }

// Extra (footer) bits of a position slot.
constexpr unsigned slotExtraBits(unsigned slot)
{
    if (slot < 4)
        return 0;
    unsigned bits = (slot - 2) / 2;
    return bits > 17 ? 17 : bits;
}

// First formatted offset (real offset + 2) of each position slot.
constexpr std::array<uint32_t, kMaxPositionSlots> kSlotBase = [] {
    std::array<uint32_t, kMaxPositionSlots> base{};
    for (unsigned s = 1; s < kMaxPositionSlots; ++s)
        base[s] = base[s - 1] + (uint32_t(1) << slotExtraBits(s - 1));
    return base;
}();

constexpr uint32_t slotBase(unsigned slot) { return kSlotBase[slot]; }

// Position slot of a formatted offset (>= 3; slots 0..2 are the repeats).
inline unsigned slotOfFormatted(uint32_t f)
{
    if (f < 4)
        return f;
    if (f >= 262144)
        return 36 + ((f - 262144) >> 17);
    unsigned h = 31 - __builtin_clz(f);
    return 2 * h + ((f >> (h - 1)) & 1);
}

// E8 call translation: the file size written in the stream header (the value
// Microsoft's compressors use), and the frames it covers (the first 1 GiB).
constexpr int32_t kE8TranslationSize = 12000000;
constexpr uint64_t kE8MaxFrames = 32768;

} // namespace qvo::codecs::lzx
