#include "codecs/rar/rar_ppmd.h"

#include "base/endian.h"
#include "codecs/rar/rar_overrun.h"

#include <cstring>

namespace qvo::codecs::rar {
namespace {

constexpr uint32_t kUnit = 12;
constexpr uint32_t kHeapBase = kUnit; // offset 0 stays the null reference
constexpr unsigned kIndexes = 38;
constexpr int kMaxOrder = 64;
constexpr unsigned kMaxFreq = 124;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kTotBits = kIntBits + kPeriodBits;
constexpr unsigned kInterval = 1u << kIntBits;
constexpr unsigned kBinScale = 1u << kTotBits;
constexpr uint32_t kTop = 1u << 24;
constexpr uint32_t kBot = 1u << 15;
constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
constexpr uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr uint32_t kMaxHeap = 256u << 20;

// Free-block header while gluing: Stamp u16 @0, NU u16 @2, next @4, prev @8.
constexpr uint16_t kFreeStamp = 0xFFFF;

uint32_t binMean(uint32_t summ)
{
    return (summ + (1u << (kPeriodBits - 2))) >> kPeriodBits;
}

} // namespace

uint32_t PpmdModel::See::mean()
{
    uint32_t r = static_cast<uint32_t>(summ >> shift);
    summ = static_cast<uint16_t>(summ - r);
    return r + (r == 0);
}

void PpmdModel::See::update()
{
    if (shift < kPeriodBits && --count == 0) {
        summ = static_cast<uint16_t>(summ * 2);
        count = static_cast<uint8_t>(3 << shift++);
    }
}

PpmdModel::PpmdModel()
{
    for (unsigned i = 0, k = 0; i < kIndexes; ++i) {
        unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
        do {
            unitsToIndex_[k++] = static_cast<uint8_t>(i);
        } while (--step);
        indexToUnits_[i] = static_cast<uint8_t>(k);
    }
    ns2BsIndex_[0] = 0;
    ns2BsIndex_[1] = 2;
    std::memset(ns2BsIndex_.data() + 2, 4, 9);
    std::memset(ns2BsIndex_.data() + 11, 6, 256 - 11);
    unsigned i = 0;
    for (; i < 3; ++i)
        ns2Index_[i] = static_cast<uint8_t>(i);
    for (unsigned m = i, k = 1, step = 1; i < 256; ++i) {
        ns2Index_[i] = static_cast<uint8_t>(m);
        if (--k == 0) {
            k = ++step;
            ++m;
        }
    }
    std::memset(hb2Flag_.data(), 0, 0x40);
    std::memset(hb2Flag_.data() + 0x40, 8, 0x100 - 0x40);
    dummySee_.shift = kPeriodBits;
}

uint16_t PpmdModel::u16(uint32_t at) const { return base::loadLe16(heap_.get() + at); }
void PpmdModel::setU16(uint32_t at, uint16_t v) { base::storeLe16(heap_.get() + at, v); }
uint32_t PpmdModel::u32(uint32_t at) const { return base::loadLe32(heap_.get() + at); }
void PpmdModel::setU32(uint32_t at, uint32_t v) { base::storeLe32(heap_.get() + at, v); }
void PpmdModel::swapStates(uint32_t a, uint32_t c)
{
    uint8_t t[6];
    std::memcpy(t, heap_.get() + a, 6);
    std::memmove(heap_.get() + a, heap_.get() + c, 6);
    std::memcpy(heap_.get() + c, t, 6);
}
void PpmdModel::copyState(uint32_t dst, uint32_t src)
{
    std::memmove(heap_.get() + dst, heap_.get() + src, 6);
}

// ---- sub-allocator ---------------------------------------------------------

void PpmdModel::initAllocator()
{
    freeList_.fill(0);
    text_ = kHeapBase;
    uint32_t unitsBytes = kUnit * (heapSize_ / 8 / kUnit * 7);
    unitsStart_ = loUnit_ = kHeapBase + heapSize_ - unitsBytes;
    hiUnit_ = loUnit_ + unitsBytes;
    glueCount_ = 0;
}

void PpmdModel::insertNode(uint32_t p, unsigned index)
{
    setU32(p, freeList_[index]);
    freeList_[index] = p;
}

uint32_t PpmdModel::removeNode(unsigned index)
{
    uint32_t p = freeList_[index];
    freeList_[index] = u32(p);
    return p;
}

void PpmdModel::splitBlock(uint32_t p, unsigned oldIndex, unsigned newIndex)
{
    unsigned diff = indexToUnits_[oldIndex] - indexToUnits_[newIndex];
    p += indexToUnits_[newIndex] * kUnit;
    unsigned i = unitsToIndex_[diff - 1];
    if (indexToUnits_[i] != diff) {
        unsigned k = indexToUnits_[--i];
        insertNode(p + k * kUnit, diff - k - 1);
    }
    insertNode(p, i);
}

void PpmdModel::glueFreeBlocks()
{
    // A circular list of all free blocks, headed by a sentinel past the
    // heap's end; each block stamped with its size.
    const uint32_t head = heapEnd_ + kUnit;
    auto next = [this](uint32_t n) { return u32(n + 4); };
    auto prev = [this](uint32_t n) { return u32(n + 8); };
    auto setNext = [this](uint32_t n, uint32_t v) { setU32(n + 4, v); };
    auto setPrev = [this](uint32_t n, uint32_t v) { setU32(n + 8, v); };
    auto unlink = [&](uint32_t n) {
        setNext(prev(n), next(n));
        setPrev(next(n), prev(n));
    };
    setNext(head, head);
    setPrev(head, head);
    if (loUnit_ != hiUnit_)
        setU16(loUnit_, 0);
    for (unsigned i = 0; i < kIndexes; ++i) {
        while (freeList_[i]) {
            uint32_t p = removeNode(i);
            // Insert right after the head.
            setPrev(p, head);
            setNext(p, next(head));
            setPrev(next(head), p);
            setNext(head, p);
            setU16(p, kFreeStamp);
            setU16(p + 2, indexToUnits_[i]);
        }
    }
    for (uint32_t p = next(head); p != head; p = next(p)) {
        for (;;) {
            uint32_t p1 = p + u16(p + 2) * kUnit;
            if (p1 + 4 > heapCapacity_ || u16(p1) != kFreeStamp || u16(p + 2) + u16(p1 + 2) >= 0x10000)
                break;
            unlink(p1);
            setU16(p + 2, static_cast<uint16_t>(u16(p + 2) + u16(p1 + 2)));
        }
    }
    uint32_t p;
    while ((p = next(head)) != head) {
        unlink(p);
        unsigned size = u16(p + 2);
        for (; size > 128; size -= 128, p += 128 * kUnit)
            insertNode(p, kIndexes - 1);
        unsigned i = unitsToIndex_[size - 1];
        if (indexToUnits_[i] != size) {
            unsigned k = size - indexToUnits_[--i];
            insertNode(p + (size - k) * kUnit, k - 1);
        }
        insertNode(p, i);
    }
}

uint32_t PpmdModel::allocUnitsRare(unsigned index)
{
    if (glueCount_ == 0) {
        glueCount_ = 255;
        glueFreeBlocks();
        if (freeList_[index])
            return removeNode(index);
    }
    unsigned i = index;
    do {
        if (++i == kIndexes) {
            --glueCount_;
            uint32_t bytes = indexToUnits_[index] * kUnit;
            if (unitsStart_ - text_ > bytes) {
                unitsStart_ -= bytes;
                return unitsStart_;
            }
            return 0;
        }
    } while (!freeList_[i]);
    uint32_t p = removeNode(i);
    splitBlock(p, i, index);
    return p;
}

uint32_t PpmdModel::allocUnits(unsigned units)
{
    unsigned index = unitsToIndex_[units - 1];
    if (freeList_[index])
        return removeNode(index);
    uint32_t p = loUnit_;
    uint32_t bytes = indexToUnits_[index] * kUnit;
    if (hiUnit_ - loUnit_ >= bytes) {
        loUnit_ += bytes;
        return p;
    }
    return allocUnitsRare(index);
}

uint32_t PpmdModel::allocContext()
{
    if (hiUnit_ != loUnit_)
        return hiUnit_ -= kUnit;
    if (freeList_[0])
        return removeNode(0);
    return allocUnitsRare(0);
}

uint32_t PpmdModel::expandUnits(uint32_t p, unsigned oldUnits)
{
    unsigned i0 = unitsToIndex_[oldUnits - 1];
    unsigned i1 = unitsToIndex_[oldUnits];
    if (i0 == i1)
        return p;
    uint32_t q = allocUnits(oldUnits + 1);
    if (q) {
        std::memmove(heap_.get() + q, heap_.get() + p, oldUnits * kUnit);
        insertNode(p, i0);
    }
    return q;
}

uint32_t PpmdModel::shrinkUnits(uint32_t p, unsigned oldUnits, unsigned newUnits)
{
    unsigned i0 = unitsToIndex_[oldUnits - 1];
    unsigned i1 = unitsToIndex_[newUnits - 1];
    if (i0 == i1)
        return p;
    if (freeList_[i1]) {
        uint32_t q = removeNode(i1);
        std::memmove(heap_.get() + q, heap_.get() + p, newUnits * kUnit);
        insertNode(p, i0);
        return q;
    }
    splitBlock(p, i0, i1);
    return p;
}

void PpmdModel::freeUnits(uint32_t p, unsigned units)
{
    insertNode(p, unitsToIndex_[units - 1]);
}

// ---- model -----------------------------------------------------------------

void PpmdModel::clearMask()
{
    escCount_ = 1;
    charMask_.fill(0);
}

void PpmdModel::restartModel()
{
    charMask_.fill(0);
    initAllocator();
    initRl_ = -(maxOrder_ < 12 ? maxOrder_ : 12) - 1;
    minContext_ = maxContext_ = allocContext();
    setU32(minContext_ + 8, 0);
    orderFall_ = maxOrder_;
    setU16(minContext_, 256);
    setU16(minContext_ + 2, 257);
    foundState_ = allocUnits(256 / 2);
    setU32(minContext_ + 4, foundState_);
    runLength_ = initRl_;
    prevSuccess_ = 0;
    for (unsigned i = 0; i < 256; ++i) {
        uint32_t s = foundState_ + i * 6;
        heap_[s] = static_cast<uint8_t>(i);
        heap_[s + 1] = 1;
        setSuccessor(s, 0);
    }
    for (unsigned i = 0; i < 128; ++i)
        for (unsigned k = 0; k < 8; ++k)
            for (unsigned m = 0; m < 64; m += 8)
                binSumm_[i][k + m] = static_cast<uint16_t>(kBinScale - kInitBinEsc[k] / (i + 2));
    for (unsigned i = 0; i < 25; ++i)
        for (unsigned k = 0; k < 16; ++k) {
            see_[i][k].shift = kPeriodBits - 4;
            see_[i][k].summ = static_cast<uint16_t>((5 * i + 10) << see_[i][k].shift);
            see_[i][k].count = 4;
        }
}

void PpmdModel::startModel(int maxOrder)
{
    escCount_ = 1;
    maxOrder_ = maxOrder;
    restartModel();
    dummySee_.shift = kPeriodBits;
}

uint32_t PpmdModel::createSuccessors(bool skip, uint32_t p1)
{
    uint32_t pc = minContext_;
    uint32_t upBranch = successor(foundState_);
    uint32_t ps[kMaxOrder];
    unsigned count = 0;
    uint32_t p = 0;
    uint8_t fsym = sym(foundState_);
    if (!skip) {
        ps[count++] = foundState_;
        if (!suffix(pc))
            goto noLoop;
    }
    if (p1) {
        p = p1;
        pc = suffix(pc);
        goto loopEntry;
    }
    do {
        pc = suffix(pc);
        if (numStats(pc) != 1) {
            p = stats(pc);
            for (unsigned n = numStats(pc); sym(p) != fsym; p += 6)
                if (--n == 0)
                    return 0;
        } else {
            p = oneState(pc);
        }
    loopEntry:
        if (successor(p) != upBranch) {
            pc = successor(p);
            break;
        }
        if (count >= kMaxOrder)
            return 0;
        ps[count++] = p;
    } while (suffix(pc));
noLoop:
    if (count == 0)
        return pc;
    if (upBranch >= heapEnd_)
        return 0;
    uint8_t upSym = heap_[upBranch];
    uint32_t upSucc = upBranch + 1;
    uint8_t upFreq;
    if (numStats(pc) != 1) {
        if (pc <= text_)
            return 0;
        p = stats(pc);
        for (unsigned n = numStats(pc); sym(p) != upSym; p += 6)
            if (--n == 0)
                return 0;
        uint32_t cf = freq(p) - 1u;
        uint32_t s0 = summFreq(pc) - numStats(pc) - cf;
        upFreq = static_cast<uint8_t>(1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((2 * cf + 3 * s0 - 1) / (2 * s0))));
    } else {
        upFreq = freq(oneState(pc));
    }
    do {
        uint32_t c = allocContext();
        if (!c)
            return 0;
        setU16(c, 1);
        uint32_t s = oneState(c);
        heap_[s] = upSym;
        heap_[s + 1] = upFreq;
        setSuccessor(s, upSucc);
        setU32(c + 8, pc);
        setSuccessor(ps[--count], c);
        pc = c;
    } while (count != 0);
    return pc;
}

void PpmdModel::updateModel()
{
    uint8_t fsSym = sym(foundState_);
    uint8_t fsFreq = freq(foundState_);
    uint32_t fsSucc = successor(foundState_);
    uint32_t p = 0, pc;
    if (fsFreq < kMaxFreq / 4 && (pc = suffix(minContext_)) != 0) {
        if (numStats(pc) != 1) {
            p = stats(pc);
            if (sym(p) != fsSym) {
                unsigned n = numStats(pc);
                do {
                    p += 6;
                    if (--n == 0) {
                        restartModel(); // cannot happen in a sound model
                        escCount_ = 0;
                        return;
                    }
                } while (sym(p) != fsSym);
                if (freq(p) >= freq(p - 6)) {
                    swapStates(p, p - 6);
                    p -= 6;
                }
            }
            if (freq(p) < kMaxFreq - 9) {
                freq(p) = static_cast<uint8_t>(freq(p) + 2);
                setU16(pc + 2, static_cast<uint16_t>(summFreq(pc) + 2));
            }
        } else {
            p = oneState(pc);
            freq(p) = static_cast<uint8_t>(freq(p) + (freq(p) < 32));
        }
    }
    uint32_t succ;
    unsigned ns, ns1;
    uint32_t s0;
    if (orderFall_ == 0) {
        minContext_ = maxContext_ = createSuccessors(true, p);
        setSuccessor(foundState_, minContext_);
        if (!minContext_)
            goto restart;
        return;
    }
    heap_[text_++] = fsSym;
    succ = text_;
    if (text_ >= unitsStart_)
        goto restart;
    if (fsSucc) {
        if (fsSucc <= text_) {
            fsSucc = createSuccessors(false, p);
            if (!fsSucc)
                goto restart;
        }
        if (--orderFall_ == 0) {
            succ = fsSucc;
            text_ -= (maxContext_ != minContext_);
        }
    } else {
        setSuccessor(foundState_, succ);
        fsSucc = minContext_;
    }
    ns = numStats(minContext_);
    s0 = summFreq(minContext_) - ns - (fsFreq - 1u);
    for (pc = maxContext_; pc != minContext_; pc = suffix(pc)) {
        if ((ns1 = numStats(pc)) != 1) {
            if ((ns1 & 1) == 0) {
                uint32_t st = expandUnits(stats(pc), ns1 >> 1);
                if (!st)
                    goto restart;
                setU32(pc + 4, st);
            }
            uint32_t add = (2 * ns1 < ns) + 2 * ((4 * ns1 <= ns) & (summFreq(pc) <= 8 * ns1));
            setU16(pc + 2, static_cast<uint16_t>(summFreq(pc) + add));
        } else {
            uint32_t st = allocUnits(1);
            if (!st)
                goto restart;
            copyState(st, oneState(pc));
            setU32(pc + 4, st);
            if (freq(st) < kMaxFreq / 4 - 1)
                freq(st) = static_cast<uint8_t>(freq(st) * 2);
            else
                freq(st) = kMaxFreq - 4;
            setU16(pc + 2, static_cast<uint16_t>(freq(st) + initEsc_ + (ns > 3)));
        }
        uint32_t cf = 2u * fsFreq * (summFreq(pc) + 6u);
        uint32_t sf = s0 + summFreq(pc);
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            setU16(pc + 2, static_cast<uint16_t>(summFreq(pc) + 3));
        } else {
            cf = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
            setU16(pc + 2, static_cast<uint16_t>(summFreq(pc) + cf));
        }
        uint32_t np = stats(pc) + ns1 * 6;
        setSuccessor(np, succ);
        heap_[np] = fsSym;
        heap_[np + 1] = static_cast<uint8_t>(cf);
        setU16(pc, static_cast<uint16_t>(++ns1));
    }
    maxContext_ = minContext_ = fsSucc;
    return;
restart:
    // Memory ran out: start afresh, as the packer did at the same point.
    restartModel();
    escCount_ = 0;
}

void PpmdModel::rescale(uint32_t ctx)
{
    unsigned oldNs = numStats(ctx), i = oldNs - 1;
    uint32_t st = stats(ctx);
    uint32_t p;
    for (p = foundState_; p != st; p -= 6)
        swapStates(p, p - 6);
    freq(st) = static_cast<uint8_t>(freq(st) + 4);
    uint32_t summ = summFreq(ctx) + 4u;
    int escFreq = static_cast<int>(summ) - freq(p);
    unsigned adder = orderFall_ != 0;
    freq(p) = static_cast<uint8_t>((freq(p) + adder) >> 1);
    summ = freq(p);
    do {
        p += 6;
        escFreq -= freq(p);
        freq(p) = static_cast<uint8_t>((freq(p) + adder) >> 1);
        summ += freq(p);
        if (freq(p) > freq(p - 6)) {
            uint8_t tmp[6];
            std::memcpy(tmp, heap_.get() + p, 6);
            uint32_t p1 = p;
            do {
                copyState(p1, p1 - 6);
                p1 -= 6;
            } while (p1 != st && tmp[1] > freq(p1 - 6));
            std::memcpy(heap_.get() + p1, tmp, 6);
        }
    } while (--i);
    if (freq(p) == 0) {
        do {
            ++i;
            p -= 6;
        } while (freq(p) == 0);
        escFreq += static_cast<int>(i);
        unsigned ns = oldNs - i;
        setU16(ctx, static_cast<uint16_t>(ns));
        if (ns == 1) {
            uint8_t tmp[6];
            std::memcpy(tmp, heap_.get() + st, 6);
            do {
                tmp[1] = static_cast<uint8_t>(tmp[1] - (tmp[1] >> 1));
                escFreq >>= 1;
            } while (escFreq > 1);
            freeUnits(st, (oldNs + 1) >> 1);
            foundState_ = oneState(ctx);
            std::memcpy(heap_.get() + foundState_, tmp, 6);
            return;
        }
    }
    escFreq -= escFreq >> 1;
    summ += static_cast<uint32_t>(escFreq);
    setU16(ctx + 2, static_cast<uint16_t>(summ));
    unsigned n0 = (oldNs + 1) >> 1, n1 = (numStats(ctx) + 1u) >> 1;
    if (n0 != n1)
        setU32(ctx + 4, shrinkUnits(st, n0, n1));
    foundState_ = stats(ctx);
}

void PpmdModel::update1(uint32_t ctx, uint32_t p)
{
    foundState_ = p;
    freq(p) = static_cast<uint8_t>(freq(p) + 4);
    setU16(ctx + 2, static_cast<uint16_t>(summFreq(ctx) + 4));
    if (freq(p) > freq(p - 6)) {
        swapStates(p, p - 6);
        foundState_ = p -= 6;
        if (freq(p) > kMaxFreq)
            rescale(ctx);
    }
}

void PpmdModel::update2(uint32_t ctx, uint32_t p)
{
    foundState_ = p;
    freq(p) = static_cast<uint8_t>(freq(p) + 4);
    setU16(ctx + 2, static_cast<uint16_t>(summFreq(ctx) + 4));
    if (freq(p) > kMaxFreq)
        rescale(ctx);
    ++escCount_;
    runLength_ = initRl_;
}

bool PpmdModel::decodeSymbol1(uint32_t ctx)
{
    rc_.scale = summFreq(ctx);
    uint32_t p = stats(ctx);
    uint32_t count = currentCount();
    if (count >= rc_.scale)
        return false;
    uint32_t hiCnt = freq(p);
    if (count < hiCnt) {
        rc_.highCount = hiCnt;
        prevSuccess_ = 2 * hiCnt > rc_.scale;
        runLength_ += static_cast<int>(prevSuccess_);
        foundState_ = p;
        hiCnt += 4;
        freq(p) = static_cast<uint8_t>(hiCnt);
        setU16(ctx + 2, static_cast<uint16_t>(summFreq(ctx) + 4));
        if (hiCnt > kMaxFreq)
            rescale(ctx);
        rc_.lowCount = 0;
        return true;
    }
    if (!foundState_)
        return false;
    prevSuccess_ = 0;
    unsigned i = numStats(ctx) - 1u;
    while ((hiCnt += freq(p += 6)) <= count) {
        if (--i == 0) {
            hiBitsFlag_ = hb2Flag_[sym(foundState_)];
            rc_.lowCount = hiCnt;
            charMask_[sym(p)] = escCount_;
            numMasked_ = numStats(ctx);
            i = numMasked_ - 1;
            foundState_ = 0;
            do {
                p -= 6;
                charMask_[sym(p)] = escCount_;
            } while (--i);
            rc_.highCount = rc_.scale;
            return true;
        }
    }
    rc_.highCount = hiCnt;
    rc_.lowCount = hiCnt - freq(p);
    update1(ctx, p);
    return true;
}

void PpmdModel::decodeBinSymbol(uint32_t ctx)
{
    uint32_t rs = oneState(ctx);
    hiBitsFlag_ = hb2Flag_[sym(foundState_)];
    uint16_t &bs = binSumm_[(freq(rs) - 1) & 127][prevSuccess_ + ns2BsIndex_[numStats(suffix(ctx)) - 1u] + hiBitsFlag_
                                          + 2 * hb2Flag_[sym(rs)] + ((runLength_ >> 26) & 0x20)];
    if (currentShiftCount(kTotBits) < bs) {
        foundState_ = rs;
        freq(rs) = static_cast<uint8_t>(freq(rs) + (freq(rs) < 128));
        rc_.lowCount = 0;
        rc_.highCount = bs;
        bs = static_cast<uint16_t>(bs + kInterval - binMean(bs));
        prevSuccess_ = 1;
        ++runLength_;
    } else {
        rc_.lowCount = bs;
        bs = static_cast<uint16_t>(bs - binMean(bs));
        rc_.highCount = kBinScale;
        initEsc_ = kExpEscape[bs >> 10];
        numMasked_ = 1;
        charMask_[sym(rs)] = escCount_;
        prevSuccess_ = 0;
        foundState_ = 0;
    }
}

PpmdModel::See *PpmdModel::makeEscFreq2(uint32_t ctx, unsigned diff)
{
    unsigned ns = numStats(ctx);
    if (ns != 256) {
        See *see = &see_[ns2Index_[diff - 1]][(diff < numStats(suffix(ctx)) - ns) + 2 * (summFreq(ctx) < 11 * ns)
                                               + 4 * (numMasked_ > diff) + hiBitsFlag_];
        rc_.scale = see->mean();
        return see;
    }
    rc_.scale = 1;
    return &dummySee_;
}

bool PpmdModel::decodeSymbol2(uint32_t ctx)
{
    unsigned ns = numStats(ctx);
    if (numMasked_ >= ns)
        return false;
    unsigned i = ns - numMasked_;
    See *see = makeEscFreq2(ctx, i);
    uint32_t ps[256];
    unsigned n = 0;
    uint32_t p = stats(ctx) - 6;
    uint32_t last = stats(ctx) + ns * 6;
    uint32_t hiCnt = 0;
    do {
        do {
            p += 6;
            if (p >= last)
                return false;
        } while (charMask_[sym(p)] == escCount_);
        hiCnt += freq(p);
        ps[n++] = p;
    } while (--i);
    rc_.scale += hiCnt;
    uint32_t count = currentCount();
    if (count >= rc_.scale)
        return false;
    if (count < hiCnt) {
        unsigned k = 0;
        p = ps[0];
        hiCnt = freq(p);
        while (hiCnt <= count) {
            if (++k >= n)
                return false;
            p = ps[k];
            hiCnt += freq(p);
        }
        rc_.highCount = hiCnt;
        rc_.lowCount = hiCnt - freq(p);
        see->update();
        update2(ctx, p);
    } else {
        rc_.lowCount = hiCnt;
        rc_.highCount = rc_.scale;
        for (unsigned k = 0; k < n; ++k)
            charMask_[sym(ps[k])] = escCount_;
        see->summ = static_cast<uint16_t>(see->summ + rc_.scale);
        numMasked_ = ns;
    }
    return true;
}

// ---- range decoder ---------------------------------------------------------

void PpmdModel::rangeInit(lz::MsbBitReader &in)
{
    rc_.low = rc_.code = 0;
    rc_.range = 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i)
        rc_.code = (rc_.code << 8) | in.byte();
}

void PpmdModel::rangeDecode()
{
    rc_.low += rc_.range * rc_.lowCount;
    rc_.range *= rc_.highCount - rc_.lowCount;
}

void PpmdModel::normalize(lz::MsbBitReader &in)
{
    for (;;) {
        if ((rc_.low ^ (rc_.low + rc_.range)) >= kTop) {
            if (rc_.range >= kBot)
                break;
            rc_.range = (0u - rc_.low) & (kBot - 1);
        }
        rc_.code = (rc_.code << 8) | in.byte();
        rc_.range <<= 8;
        rc_.low <<= 8;
    }
}

// ---- public ----------------------------------------------------------------

bool PpmdModel::init(lz::MsbBitReader &in, int &escape)
{
    unsigned flags = in.byte();
    bool reset = (flags & 0x20) != 0;
    unsigned maxMb = 0;
    if (reset)
        maxMb = in.byte();
    else if (!ready_)
        return false;
    if (flags & 0x40)
        escape = in.byte();
    rangeInit(in);
    if (reset) {
        int order = static_cast<int>(flags & 0x1F) + 1;
        if (order > 16)
            order = 16 + (order - 16) * 3;
        if (order == 1) {
            ready_ = false;
            return false;
        }
        uint32_t size = (maxMb + 1) << 20;
        if (size > kMaxHeap)
            return false;
        size_t need = kHeapBase + size + 3 * kUnit;
        if (need > heapCapacity_) {
            heap_.reset();
            heap_.reset(new uint8_t[need]);
            heapCapacity_ = need;
        }
        heapSize_ = size;
        heapEnd_ = kHeapBase + size;
        // Past the end: no free-block stamp, and the gluing list's head.
        std::memset(heap_.get() + heapEnd_, 0, 3 * kUnit);
        startModel(order);
        ready_ = true;
    }
    return ready_ && minContext_ != 0;
}

int PpmdModel::decodeChar(lz::MsbBitReader &in)
{
    if (!ready_ || !validContext(minContext_))
        return -1;
    if (numStats(minContext_) != 1) {
        uint32_t st = stats(minContext_);
        if (st <= text_ || st >= heapEnd_)
            return -1;
        if (!decodeSymbol1(minContext_))
            return -1;
    } else {
        decodeBinSymbol(minContext_);
    }
    rangeDecode();
    while (!foundState_) {
        normalize(in);
        do {
            ++orderFall_;
            minContext_ = suffix(minContext_);
            if (!validContext(minContext_))
                return -1;
        } while (numStats(minContext_) == numMasked_);
        if (!decodeSymbol2(minContext_))
            return -1;
        rangeDecode();
    }
    int symbol = sym(foundState_);
    if (!orderFall_ && successor(foundState_) > text_) {
        minContext_ = maxContext_ = successor(foundState_);
    } else {
        updateModel();
        if (escCount_ == 0)
            clearMask();
    }
    normalize(in);
    if (overrun(in))
        return -1;
    return symbol;
}

} // namespace qvo::codecs::rar
