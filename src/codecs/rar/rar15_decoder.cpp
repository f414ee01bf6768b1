#include "codecs/rar/rar15_decoder.h"

#include "codecs/rar/rar_overrun.h"

namespace qvo::codecs::rar {

// A fixed prefix code: `limits` are left-aligned code boundaries, `first`
// the value of the first code of each length.
struct Rar15Decoder::FixedCode {
    unsigned start;
    uint32_t limits[11];
    uint32_t first[13];
};

namespace {

constexpr size_t kFlushAt = 1 << 20;

constexpr uint8_t kShortLen1[16] = {1, 3, 4, 4, 5, 6, 7, 8, 8, 4, 4, 5, 6, 6, 4, 0};
constexpr uint8_t kShortXor1[15] = {0, 0xa0, 0xd0, 0xe0, 0xf0, 0xf8, 0xfc, 0xfe, 0xff, 0xc0, 0x80, 0x90, 0x98, 0x9c, 0xb0};
constexpr uint8_t kShortLen2[16] = {2, 3, 3, 3, 4, 4, 5, 6, 6, 4, 4, 5, 6, 6, 4, 0};
constexpr uint8_t kShortXor2[15] = {0, 0x40, 0x60, 0xa0, 0xd0, 0xe0, 0xf0, 0xf8, 0xfc, 0xc0, 0x80, 0x90, 0x98, 0x9c, 0xb0};

} // namespace

// Limits end with 0xFFFF so every 16-bit value finds a length.
static const Rar15Decoder::FixedCode kL1{
    2, {0x8000, 0xa000, 0xc000, 0xd000, 0xe000, 0xea00, 0xee00, 0xf000, 0xf200, 0xf200, 0xffff},
    {0, 0, 0, 2, 3, 5, 7, 11, 16, 20, 24, 32, 32}};
static const Rar15Decoder::FixedCode kL2{
    3, {0xa000, 0xc000, 0xd000, 0xe000, 0xea00, 0xee00, 0xf000, 0xf200, 0xf240, 0xffff, 0xffff},
    {0, 0, 0, 0, 5, 7, 9, 13, 18, 22, 26, 34, 36}};
static const Rar15Decoder::FixedCode kHf0{
    4, {0x8000, 0xc000, 0xe000, 0xf200, 0xf200, 0xf200, 0xf200, 0xf200, 0xffff, 0xffff, 0xffff},
    {0, 0, 0, 0, 0, 8, 16, 24, 33, 33, 33, 33, 33}};
static const Rar15Decoder::FixedCode kHf1{
    5, {0x2000, 0xc000, 0xe000, 0xf000, 0xf200, 0xf200, 0xf7e0, 0xffff, 0xffff, 0xffff, 0xffff},
    {0, 0, 0, 0, 0, 0, 4, 44, 60, 76, 80, 80, 127}};
static const Rar15Decoder::FixedCode kHf2{
    5, {0x1000, 0x2400, 0x8000, 0xc000, 0xfa00, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff},
    {0, 0, 0, 0, 0, 0, 2, 7, 53, 117, 233, 0, 0}};
static const Rar15Decoder::FixedCode kHf3{
    6, {0x800, 0x2400, 0xee00, 0xfe80, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff},
    {0, 0, 0, 0, 0, 0, 0, 2, 16, 218, 251, 0, 0}};
static const Rar15Decoder::FixedCode kHf4{
    8, {0xff00, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0}};

uint32_t Rar15Decoder::decodeNum(uint32_t bits, const FixedCode &code)
{
    bits &= 0xFFF0;
    unsigned i = 0, len = code.start;
    while (i < 11 && code.limits[i] <= bits) {
        ++i;
        ++len;
    }
    if (len > 12)
        len = 12;
    in_.skip(len);
    return ((bits - (i ? code.limits[i - 1] : 0)) >> (16 - len)) + code.first[len];
}

void Rar15Decoder::correctHuff(std::array<uint16_t, 256> &set, std::array<uint8_t, 256> &toPlace)
{
    size_t at = 0;
    for (int i = 7; i >= 0; --i)
        for (int j = 0; j < 32; ++j, ++at)
            set[at] = static_cast<uint16_t>((set[at] & ~0xFF) | i);
    toPlace.fill(0);
    for (int i = 6; i >= 0; --i)
        toPlace[static_cast<size_t>(i)] = static_cast<uint8_t>((7 - i) * 32);
}

void Rar15Decoder::initHuff()
{
    for (unsigned i = 0; i < 256; ++i) {
        chSet_[i] = chSetB_[i] = static_cast<uint16_t>(i << 8);
        chSetA_[i] = static_cast<uint16_t>(i);
        chSetC_[i] = static_cast<uint16_t>(((~i + 1) & 0xFF) << 8);
    }
    nToPl_.fill(0);
    nToPlB_.fill(0);
    nToPlC_.fill(0);
    correctHuff(chSetB_, nToPlB_);
}

void Rar15Decoder::resetState()
{
    avrPlcB_ = avrLn1_ = avrLn2_ = avrLn3_ = numHuf_ = buf60_ = 0;
    avrPlc_ = 0x3500;
    maxDist3_ = 0x2001;
    nhfb_ = nlzb_ = 0x80;
    oldDist_.fill(0);
    oldDistPos_ = 0;
    lastDist_ = lastLength_ = 0;
    initHuff();
}

void Rar15Decoder::copy(uint32_t distance, uint32_t length)
{
    win_.copy(distance, length);
    produced_ += length;
}

bool Rar15Decoder::shortLz()
{
    numHuf_ = 0;
    uint32_t bits = in_.peek16();
    if (lCount_ == 2) {
        in_.skip(1);
        if (bits >= 0x8000) {
            copy(lastDist_, lastLength_);
            return true;
        }
        bits <<= 1;
        lCount_ = 0;
    }
    bits = (bits >> 8) & 0xFF;
    uint32_t length = 0;
    if (avrLn1_ < 37) {
        for (;; ++length) {
            if (length >= 15)
                return false;
            unsigned n = length == 1 ? buf60_ + 3 : kShortLen1[length];
            if (((bits ^ kShortXor1[length]) & (~(0xFFu >> n) & 0xFF)) == 0) {
                in_.skip(n);
                break;
            }
        }
    } else {
        for (;; ++length) {
            if (length >= 15)
                return false;
            unsigned n = length == 3 ? buf60_ + 3 : kShortLen2[length];
            if (((bits ^ kShortXor2[length]) & (~(0xFFu >> n) & 0xFF)) == 0) {
                in_.skip(n);
                break;
            }
        }
    }
    if (length >= 9) {
        if (length == 9) {
            ++lCount_;
            copy(lastDist_, lastLength_);
            return true;
        }
        if (length == 14) {
            lCount_ = 0;
            length = decodeNum(in_.peek16(), kL2) + 5;
            uint32_t distance = (in_.peek16() >> 1) | 0x8000;
            in_.skip(15);
            lastLength_ = length;
            lastDist_ = distance;
            copy(distance, length);
            return true;
        }
        lCount_ = 0;
        uint32_t saved = length;
        uint32_t distance = oldDist_[(oldDistPos_ - (length - 9)) & 3];
        length = decodeNum(in_.peek16(), kL1) + 2;
        if (length == 0x101 && saved == 10) {
            buf60_ ^= 1;
            return true;
        }
        if (distance > 256)
            ++length;
        if (distance >= maxDist3_)
            ++length;
        oldDist_[oldDistPos_++ & 3] = distance;
        oldDistPos_ &= 3;
        lastLength_ = length;
        lastDist_ = distance;
        copy(distance, length);
        return true;
    }
    lCount_ = 0;
    avrLn1_ += length;
    avrLn1_ -= avrLn1_ >> 4;
    unsigned place = decodeNum(in_.peek16(), kHf2) & 0xFF;
    uint32_t distance = chSetA_[place];
    if (place > 0) {
        chSetA_[place] = chSetA_[place - 1];
        chSetA_[place - 1] = static_cast<uint16_t>(distance);
    }
    length += 2;
    oldDist_[oldDistPos_++ & 3] = ++distance;
    oldDistPos_ &= 3;
    lastLength_ = length;
    lastDist_ = distance;
    copy(distance, length);
    return true;
}

void Rar15Decoder::longLz()
{
    numHuf_ = 0;
    nlzb_ += 16;
    if (nlzb_ > 0xFF) {
        nlzb_ = 0x90;
        nhfb_ >>= 1;
    }
    uint32_t oldAvr2 = avrLn2_;
    uint32_t bits = in_.peek16();
    uint32_t length;
    if (avrLn2_ >= 122) {
        length = decodeNum(bits, kL2);
    } else if (avrLn2_ >= 64) {
        length = decodeNum(bits, kL1);
    } else if (bits < 0x100) {
        length = bits;
        in_.skip(16);
    } else {
        for (length = 0; ((bits << length) & 0x8000) == 0; ++length) {
        }
        in_.skip(length + 1);
    }
    avrLn2_ += length;
    avrLn2_ -= avrLn2_ >> 5;

    bits = in_.peek16();
    uint32_t place;
    if (avrPlcB_ > 0x28FF)
        place = decodeNum(bits, kHf2);
    else if (avrPlcB_ > 0x6FF)
        place = decodeNum(bits, kHf1);
    else
        place = decodeNum(bits, kHf0);
    avrPlcB_ += place;
    avrPlcB_ -= avrPlcB_ >> 8;

    uint32_t distance, newPlace;
    for (;;) {
        distance = chSetB_[place & 0xFF];
        newPlace = nToPlB_[distance++ & 0xFF]++;
        if (distance & 0xFF)
            break;
        correctHuff(chSetB_, nToPlB_);
    }
    chSetB_[place & 0xFF] = chSetB_[newPlace];
    chSetB_[newPlace] = static_cast<uint16_t>(distance);

    distance = ((distance & 0xFF00) | (in_.peek16() >> 8)) >> 1;
    in_.skip(7);

    uint32_t oldAvr3 = avrLn3_;
    if (length != 1 && length != 4) {
        if (length == 0 && distance <= maxDist3_) {
            ++avrLn3_;
            avrLn3_ -= avrLn3_ >> 8;
        } else if (avrLn3_ > 0) {
            --avrLn3_;
        }
    }
    length += 3;
    if (distance >= maxDist3_)
        ++length;
    if (distance <= 256)
        length += 8;
    if (oldAvr3 > 0xB0 || (avrPlc_ >= 0x2A00 && oldAvr2 < 0x40))
        maxDist3_ = 0x7F00;
    else
        maxDist3_ = 0x2001;
    oldDist_[oldDistPos_++ & 3] = distance;
    oldDistPos_ &= 3;
    lastLength_ = length;
    lastDist_ = distance;
    copy(distance, length);
}

void Rar15Decoder::huffDecode()
{
    uint32_t bits = in_.peek16();
    int place;
    if (avrPlc_ > 0x75FF)
        place = static_cast<int>(decodeNum(bits, kHf4));
    else if (avrPlc_ > 0x5DFF)
        place = static_cast<int>(decodeNum(bits, kHf3));
    else if (avrPlc_ > 0x35FF)
        place = static_cast<int>(decodeNum(bits, kHf2));
    else if (avrPlc_ > 0x0DFF)
        place = static_cast<int>(decodeNum(bits, kHf1));
    else
        place = static_cast<int>(decodeNum(bits, kHf0));
    place &= 0xFF;
    if (stMode_) {
        if (place == 0 && bits > 0xFFF)
            place = 0x100;
        if (--place == -1) {
            bits = in_.peek16();
            in_.skip(1);
            if (bits & 0x8000) {
                numHuf_ = 0;
                stMode_ = false;
                return;
            }
            uint32_t length = (bits & 0x4000) ? 4 : 3;
            in_.skip(1);
            uint32_t distance = decodeNum(in_.peek16(), kHf2);
            distance = (distance << 5) | (in_.peek16() >> 11);
            in_.skip(5);
            copy(distance, length);
            return;
        }
    } else if (numHuf_++ >= 16 && flagsCount_ == 0) {
        stMode_ = true;
    }
    avrPlc_ += static_cast<uint32_t>(place);
    avrPlc_ -= avrPlc_ >> 8;
    nhfb_ += 16;
    if (nhfb_ > 0xFF) {
        nhfb_ = 0x90;
        nlzb_ >>= 1;
    }
    win_.put(static_cast<uint8_t>(chSet_[static_cast<size_t>(place)] >> 8));
    ++produced_;

    uint32_t cur, newPlace;
    for (;;) {
        cur = chSet_[static_cast<size_t>(place)];
        newPlace = nToPl_[cur++ & 0xFF]++;
        if ((cur & 0xFF) <= 0xA1)
            break;
        correctHuff(chSet_, nToPl_);
    }
    chSet_[static_cast<size_t>(place)] = chSet_[newPlace];
    chSet_[newPlace] = static_cast<uint16_t>(cur);
}

void Rar15Decoder::getFlags()
{
    uint32_t place = decodeNum(in_.peek16(), kHf2);
    if (place >= 256)
        return; // only a corrupt stream codes this
    uint32_t flags, newPlace;
    for (;;) {
        flags = chSetC_[place];
        flagBuf_ = flags >> 8;
        newPlace = nToPlC_[flags++ & 0xFF]++;
        if ((flags & 0xFF) != 0)
            break;
        correctHuff(chSetC_, nToPlC_);
    }
    chSetC_[place] = chSetC_[newPlace];
    chSetC_[newPlace] = static_cast<uint16_t>(flags);
}

base::DecodeStatus Rar15Decoder::unpack(bool solid, base::ByteSource &src, uint64_t size, base::ByteSink &out)
{
    in_.reset(src);
    if (!solid)
        resetState();
    flagsCount_ = 0;
    flagBuf_ = 0;
    stMode_ = false;
    lCount_ = 0;
    produced_ = 0;
    if (size > 0) {
        getFlags();
        flagsCount_ = 8;
    }
    while (produced_ < size) {
        if (overrun(in_))
            return in_.readFailed() ? base::DecodeStatus::ReadError : base::DecodeStatus::Corrupt;
        if (win_.pending() >= kFlushAt && !win_.writeUpTo(win_.pos(), size, out))
            return base::DecodeStatus::OutputStopped;
        if (stMode_) {
            huffDecode();
            continue;
        }
        if (--flagsCount_ < 0) {
            getFlags();
            flagsCount_ = 7;
        }
        if (flagBuf_ & 0x80) {
            flagBuf_ = (flagBuf_ << 1) & 0xFF;
            if (nlzb_ > nhfb_)
                longLz();
            else
                huffDecode();
            continue;
        }
        flagBuf_ = (flagBuf_ << 1) & 0xFF;
        if (--flagsCount_ < 0) {
            getFlags();
            flagsCount_ = 7;
        }
        if (flagBuf_ & 0x80) {
            flagBuf_ = (flagBuf_ << 1) & 0xFF;
            if (nlzb_ > nhfb_)
                huffDecode();
            else
                longLz();
        } else {
            flagBuf_ = (flagBuf_ << 1) & 0xFF;
            if (!shortLz())
                return base::DecodeStatus::Corrupt;
        }
    }
    if (!win_.writeUpTo(win_.pos(), size, out))
        return base::DecodeStatus::OutputStopped;
    return base::DecodeStatus::Ok;
}

} // namespace qvo::codecs::rar
