#include "codecs/rar/rar20_decoder.h"

#include "codecs/rar/rar_overrun.h"

#include <cstdlib>
#include <cstring>

namespace qvo::codecs::rar {
namespace {

constexpr size_t kMainSymbols = 298;
constexpr size_t kDistSymbols = 48;
constexpr size_t kRepSymbols = 28;
constexpr size_t kAudioSymbols = 257;
constexpr size_t kBitLengthSymbols = 19;
constexpr size_t kFlushAt = 1 << 20;

constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
constexpr uint32_t kDistBase[48] = {0,      1,      2,      3,      4,      6,      8,      12,     16,     24,
                                    32,     48,     64,     96,     128,    192,    256,    384,    512,    768,
                                    1024,   1536,   2048,   3072,   4096,   6144,   8192,   12288,  16384,  24576,
                                    32768,  49152,  65536,  98304,  131072, 196608, 262144, 327680, 393216, 458752,
                                    524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
constexpr uint8_t kDistBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                   7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                   15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

} // namespace

void Rar20Decoder::resetState()
{
    tablesRead_ = false;
    audioBlock_ = false;
    channelDelta_ = 0;
    channel_ = 0;
    channels_ = 1;
    audioState_ = {};
    oldLengths_.fill(0);
    oldDist_.fill(0);
    oldDistPos_ = 0;
    lastDist_ = lastLength_ = 0;
}

bool Rar20Decoder::readTables()
{
    uint32_t v = in_.peek16();
    audioBlock_ = (v & 0x8000) != 0;
    if (!(v & 0x4000))
        oldLengths_.fill(0);
    in_.skip(2);
    size_t tableSize;
    if (audioBlock_) {
        channels_ = ((v >> 12) & 3) + 1;
        if (channel_ >= channels_)
            channel_ = 0;
        in_.skip(2);
        tableSize = kAudioSymbols * channels_;
    } else {
        tableSize = kMainSymbols + kDistSymbols + kRepSymbols;
    }
    uint8_t bitLengths[kBitLengthSymbols];
    for (size_t i = 0; i < kBitLengthSymbols; ++i)
        bitLengths[i] = static_cast<uint8_t>(in_.bits(4));
    HuffmanTable lengthCode;
    lengthCode.build(bitLengths, kBitLengthSymbols);

    uint8_t table[kAudioSymbols * 4];
    for (size_t i = 0; i < tableSize;) {
        if (overrun(in_))
            return false;
        uint32_t sym = lengthCode.decode(in_);
        if (sym < 16) {
            table[i] = static_cast<uint8_t>((sym + oldLengths_[i]) & 0xF);
            ++i;
        } else if (sym == 16) {
            uint32_t n = in_.bits(2) + 3;
            if (i == 0)
                return false;
            for (; n > 0 && i < tableSize; --n, ++i)
                table[i] = table[i - 1];
        } else {
            uint32_t n = sym == 17 ? in_.bits(3) + 3 : in_.bits(7) + 11;
            for (; n > 0 && i < tableSize; --n)
                table[i++] = 0;
        }
    }
    if (overrun(in_))
        return false;
    tablesRead_ = true;
    if (audioBlock_) {
        for (unsigned c = 0; c < channels_; ++c)
            audio_[c].build(table + c * kAudioSymbols, kAudioSymbols);
    } else {
        main_.build(table, kMainSymbols);
        dist_.build(table + kMainSymbols, kDistSymbols);
        rep_.build(table + kMainSymbols + kDistSymbols, kRepSymbols);
    }
    std::memcpy(oldLengths_.data(), table, tableSize);
    return true;
}

uint8_t Rar20Decoder::decodeAudio(int delta)
{
    AudioState &v = audioState_[channel_];
    v.byteCount++;
    v.d[3] = v.d[2];
    v.d[2] = v.d[1];
    v.d[1] = v.lastDelta - v.d[0];
    v.d[0] = v.lastDelta;
    int predicted = 8 * v.lastChar + v.k[0] * v.d[0] + v.k[1] * v.d[1] + v.k[2] * v.d[2] + v.k[3] * v.d[3]
                    + v.k[4] * channelDelta_;
    predicted = (predicted >> 3) & 0xFF;
    unsigned ch = static_cast<unsigned>(predicted - delta);
    int d = static_cast<int8_t>(delta) * 8;
    v.dif[0] += static_cast<unsigned>(std::abs(d));
    for (int j = 0; j < 4; ++j) {
        v.dif[1 + 2 * j] += static_cast<unsigned>(std::abs(d - v.d[j]));
        v.dif[2 + 2 * j] += static_cast<unsigned>(std::abs(d + v.d[j]));
    }
    v.dif[9] += static_cast<unsigned>(std::abs(d - channelDelta_));
    v.dif[10] += static_cast<unsigned>(std::abs(d + channelDelta_));
    channelDelta_ = v.lastDelta = static_cast<int8_t>(ch - static_cast<unsigned>(v.lastChar));
    v.lastChar = static_cast<int>(ch & 0xFF);
    if ((v.byteCount & 0x1F) == 0) {
        unsigned minDif = v.dif[0], best = 0;
        v.dif[0] = 0;
        for (unsigned i = 1; i < 11; ++i) {
            if (v.dif[i] < minDif) {
                minDif = v.dif[i];
                best = i;
            }
            v.dif[i] = 0;
        }
        if (best > 0) {
            int &k = v.k[(best - 1) / 2];
            if (best & 1) {
                if (k >= -16)
                    --k;
            } else if (k < 16) {
                ++k;
            }
        }
    }
    return static_cast<uint8_t>(ch);
}

void Rar20Decoder::copy(uint32_t length, uint32_t distance)
{
    oldDist_[oldDistPos_++ & 3] = distance;
    lastDist_ = distance;
    lastLength_ = length;
    win_.copy(distance, length);
}

base::DecodeStatus Rar20Decoder::unpack(bool solid, base::ByteSource &src, uint64_t size, base::ByteSink &out)
{
    in_.reset(src);
    if (!solid)
        resetState();
    if ((!solid || !tablesRead_) && !readTables())
        return base::DecodeStatus::Corrupt;
    while (win_.produced() < size) {
        if (overrun(in_))
            return in_.readFailed() ? base::DecodeStatus::ReadError : base::DecodeStatus::Corrupt;
        if (win_.pending() >= kFlushAt && !win_.writeUpTo(win_.pos(), size, out))
            return base::DecodeStatus::OutputStopped;
        if (audioBlock_) {
            uint32_t sym = audio_[channel_].decode(in_);
            if (sym == 256) {
                if (!readTables())
                    return base::DecodeStatus::Corrupt;
                continue;
            }
            win_.put(decodeAudio(static_cast<int>(sym)));
            if (++channel_ == channels_)
                channel_ = 0;
            continue;
        }
        uint32_t sym = main_.decode(in_);
        if (sym < 256) {
            win_.put(static_cast<uint8_t>(sym));
        } else if (sym > 269) {
            sym -= 270;
            uint32_t length = kLengthBase[sym] + 3u;
            if (kLengthBits[sym])
                length += in_.bits(kLengthBits[sym]);
            uint32_t slot = dist_.decode(in_);
            if (slot >= kDistSymbols)
                return base::DecodeStatus::Corrupt;
            uint32_t distance = kDistBase[slot] + 1;
            if (kDistBits[slot])
                distance += in_.bits(kDistBits[slot]);
            if (distance >= 0x2000) {
                ++length;
                if (distance >= 0x40000)
                    ++length;
            }
            copy(length, distance);
        } else if (sym == 269) {
            if (!readTables())
                return base::DecodeStatus::Corrupt;
        } else if (sym == 256) {
            copy(lastLength_, lastDist_);
        } else if (sym < 261) {
            uint32_t distance = oldDist_[(oldDistPos_ - (sym - 256)) & 3];
            uint32_t slot = rep_.decode(in_);
            if (slot >= kRepSymbols)
                return base::DecodeStatus::Corrupt;
            uint32_t length = kLengthBase[slot] + 2u;
            if (kLengthBits[slot])
                length += in_.bits(kLengthBits[slot]);
            if (distance >= 0x101) {
                ++length;
                if (distance >= 0x2000) {
                    ++length;
                    if (distance >= 0x40000)
                        ++length;
                }
            }
            copy(length, distance);
        } else {
            sym -= 261;
            uint32_t distance = kShortBase[sym] + 1u;
            if (kShortBits[sym])
                distance += in_.bits(kShortBits[sym]);
            copy(2, distance);
        }
    }
    // A table change may follow the member's last byte: it belongs to the
    // next solid member.
    if (in_.hasBytes(5)) {
        uint32_t sym = audioBlock_ ? audio_[channel_].decode(in_) : main_.decode(in_);
        if (sym == (audioBlock_ ? 256u : 269u))
            readTables();
    }
    if (!win_.writeUpTo(win_.pos(), size, out))
        return base::DecodeStatus::OutputStopped;
    return base::DecodeStatus::Ok;
}

} // namespace qvo::codecs::rar
