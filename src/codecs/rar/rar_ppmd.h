// PPMd variant H with RAR 3's range coder, the text model of RAR 3 blocks.
// The model lives in one heap addressed by 32-bit offsets in 12-byte units
// (the layout of the original, so memory runs out, and the model restarts,
// exactly where the packer's did).
#pragma once
#include "codecs/lz/msb_bit_reader.h"

#include <array>
#include <cstdint>
#include <memory>

namespace qvo::codecs::rar {

class PpmdModel {
public:
    PpmdModel();

    // Reads a PPMd block start (flags, order, memory, escape byte) at the
    // current byte.  False when the block cannot start.
    bool init(lz::MsbBitReader &in, int &escape);
    // The next byte, or -1 when the data is corrupt.
    int decodeChar(lz::MsbBitReader &in);

private:
    struct See {
        uint16_t summ = 0;
        uint8_t shift = 0;
        uint8_t count = 0;
        uint32_t mean();
        void update();
    };
    struct Range {
        uint32_t low = 0, code = 0, range = 0;
        uint32_t lowCount = 0, highCount = 0, scale = 0;
    };

    // Heap access.  Contexts: NumStats u16 @0, SummFreq u16 @2, Stats @4,
    // Suffix @8; a context with one symbol keeps that state at @2.  States
    // (6 bytes): Symbol @0, Freq @1, Successor @2.
    uint8_t &b(uint32_t at) { return heap_[at]; }
    uint16_t u16(uint32_t at) const;
    void setU16(uint32_t at, uint16_t v);
    uint32_t u32(uint32_t at) const;
    void setU32(uint32_t at, uint32_t v);
    uint16_t numStats(uint32_t c) const { return u16(c); }
    uint16_t summFreq(uint32_t c) const { return u16(c + 2); }
    uint32_t stats(uint32_t c) const { return u32(c + 4); }
    uint32_t suffix(uint32_t c) const { return u32(c + 8); }
    static uint32_t oneState(uint32_t c) { return c + 2; }
    uint8_t sym(uint32_t s) const { return heap_[s]; }
    uint8_t &freq(uint32_t s) { return heap_[s + 1]; }
    uint32_t successor(uint32_t s) const { return u32(s + 2); }
    void setSuccessor(uint32_t s, uint32_t v) { setU32(s + 2, v); }
    void swapStates(uint32_t a, uint32_t c);
    void copyState(uint32_t dst, uint32_t src);

    // Sub-allocator.
    void initAllocator();
    void insertNode(uint32_t p, unsigned index);
    uint32_t removeNode(unsigned index);
    void splitBlock(uint32_t p, unsigned oldIndex, unsigned newIndex);
    void glueFreeBlocks();
    uint32_t allocUnitsRare(unsigned index);
    uint32_t allocUnits(unsigned units);
    uint32_t allocContext();
    uint32_t expandUnits(uint32_t p, unsigned oldUnits);
    uint32_t shrinkUnits(uint32_t p, unsigned oldUnits, unsigned newUnits);
    void freeUnits(uint32_t p, unsigned units);

    // Model.
    void startModel(int maxOrder);
    void restartModel();
    void clearMask();
    uint32_t createSuccessors(bool skip, uint32_t p1);
    void updateModel();
    void rescale(uint32_t ctx);
    bool decodeSymbol1(uint32_t ctx);
    void decodeBinSymbol(uint32_t ctx);
    bool decodeSymbol2(uint32_t ctx);
    void update1(uint32_t ctx, uint32_t p);
    void update2(uint32_t ctx, uint32_t p);
    See *makeEscFreq2(uint32_t ctx, unsigned diff);
    bool validContext(uint32_t c) const { return c > text_ && c + 12 <= heapEnd_; }

    // Range decoder.
    void rangeInit(lz::MsbBitReader &in);
    uint32_t currentCount() { return (rc_.code - rc_.low) / (rc_.range /= rc_.scale); }
    uint32_t currentShiftCount(unsigned shift) { return (rc_.code - rc_.low) / (rc_.range >>= shift); }
    void rangeDecode();
    void normalize(lz::MsbBitReader &in);

    // Grows to the largest size asked for and is never cleared: the model
    // writes every byte before it reads it.
    std::unique_ptr<uint8_t[]> heap_;
    size_t heapCapacity_ = 0;
    uint32_t heapSize_ = 0;  // bytes given to the model
    uint32_t heapEnd_ = 0;
    uint32_t text_ = 0, unitsStart_ = 0, loUnit_ = 0, hiUnit_ = 0;
    unsigned glueCount_ = 0;
    std::array<uint32_t, 38> freeList_{};
    std::array<uint8_t, 38> indexToUnits_{};
    std::array<uint8_t, 128> unitsToIndex_{};

    uint32_t minContext_ = 0, maxContext_ = 0, foundState_ = 0;
    int orderFall_ = 0, runLength_ = 0, initRl_ = 0, maxOrder_ = 0;
    unsigned numMasked_ = 0, initEsc_ = 0, prevSuccess_ = 0, hiBitsFlag_ = 0;
    uint8_t escCount_ = 0;
    std::array<uint8_t, 256> charMask_{};
    std::array<uint8_t, 256> ns2Index_{}, ns2BsIndex_{}, hb2Flag_{};
    See see_[25][16];
    See dummySee_;
    uint16_t binSumm_[128][64] = {};
    Range rc_;
    bool ready_ = false;
};

} // namespace qvo::codecs::rar
