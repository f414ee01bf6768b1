// RAR 1.5 method (unpacker version 15): adaptive codes chosen by running
// averages, move-to-front byte and distance sets, and a flag byte that says
// which of literal, short match and long match comes next.
#pragma once
#include "codecs/lz/lz_window.h"
#include "codecs/lz/msb_bit_reader.h"

#include <array>

namespace qvo::codecs::rar {

class Rar15Decoder {
public:
    explicit Rar15Decoder(lz::Window &window) : win_(window) {}

    base::DecodeStatus unpack(bool solid, base::ByteSource &src, uint64_t size, base::ByteSink &out);

    struct FixedCode; // one of the built-in prefix codes

private:
    void resetState();
    void initHuff();
    static void correctHuff(std::array<uint16_t, 256> &set, std::array<uint8_t, 256> &toPlace);
    uint32_t decodeNum(uint32_t bits, const FixedCode &code);
    bool shortLz();
    void longLz();
    void huffDecode();
    void getFlags();
    void copy(uint32_t distance, uint32_t length);

    lz::Window &win_;
    lz::MsbBitReader in_;
    std::array<uint16_t, 256> chSet_{}, chSetA_{}, chSetB_{}, chSetC_{};
    std::array<uint8_t, 256> nToPl_{}, nToPlB_{}, nToPlC_{};
    std::array<uint32_t, 4> oldDist_{};
    unsigned oldDistPos_ = 0;
    uint32_t lastDist_ = 0, lastLength_ = 0;
    uint32_t avrPlc_ = 0, avrPlcB_ = 0, avrLn1_ = 0, avrLn2_ = 0, avrLn3_ = 0;
    uint32_t numHuf_ = 0, buf60_ = 0, maxDist3_ = 0, nhfb_ = 0, nlzb_ = 0;
    int flagsCount_ = 0;
    uint32_t flagBuf_ = 0;
    bool stMode_ = false;
    unsigned lCount_ = 0;
    uint64_t produced_ = 0;
};

} // namespace qvo::codecs::rar
