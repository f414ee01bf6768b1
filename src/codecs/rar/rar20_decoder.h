// RAR 2.0 method (unpacker versions 20 and 26): LZ with three Huffman
// tables and four repeated distances, and a multimedia mode that predicts
// up to four interleaved audio channels.
#pragma once
#include "codecs/lz/lz_window.h"
#include "codecs/lz/msb_bit_reader.h"
#include "codecs/rar/rar_huffman.h"

#include <array>

namespace qvo::codecs::rar {

class Rar20Decoder {
public:
    explicit Rar20Decoder(lz::Window &window) : win_(window) {}

    base::DecodeStatus unpack(bool solid, base::ByteSource &src, uint64_t size, base::ByteSink &out);

private:
    struct AudioState {
        int k[5] = {};
        int d[4] = {};
        int lastDelta = 0;
        unsigned dif[11] = {};
        unsigned byteCount = 0;
        int lastChar = 0;
    };

    void resetState();
    bool readTables();
    uint8_t decodeAudio(int delta);
    void copy(uint32_t length, uint32_t distance);

    lz::Window &win_;
    lz::MsbBitReader in_;
    HuffmanTable main_, dist_, rep_;
    std::array<HuffmanTable, 4> audio_;
    std::array<uint8_t, 257 * 4> oldLengths_{};
    std::array<uint32_t, 4> oldDist_{};
    unsigned oldDistPos_ = 0;
    uint32_t lastDist_ = 0;
    uint32_t lastLength_ = 0;
    bool tablesRead_ = false;
    bool audioBlock_ = false;
    unsigned channels_ = 1;
    unsigned channel_ = 0;
    int channelDelta_ = 0;
    std::array<AudioState, 4> audioState_{};
};

} // namespace qvo::codecs::rar
