// RAR 2.9 / 3.x / 4.x method (unpacker versions 29 and 36): LZ with four
// Huffman tables, repeated and low-order distances, filters over written
// blocks, and PPMd blocks that may switch back to LZ.
#pragma once
#include "codecs/lz/lz_window.h"
#include "codecs/lz/msb_bit_reader.h"
#include "codecs/rar/rar_filters.h"
#include "codecs/rar/rar_huffman.h"
#include "codecs/rar/rar_ppmd.h"

#include <array>
#include <memory>
#include <vector>

namespace qvo::codecs::rar {

class Rar29Decoder {
public:
    explicit Rar29Decoder(lz::Window &window);
    ~Rar29Decoder();

    base::DecodeStatus unpack(bool solid, base::ByteSource &src, uint64_t size, base::ByteSink &out);

private:
    struct Filter {
        size_t program = 0;  // index into programs_
        size_t start = 0;    // window position of the block
        uint32_t length = 0;
        bool nextWindow = false;
        std::array<uint32_t, 7> registers{};
    };
    enum class Step { Continue, EndOfFile, Corrupt, Unsupported };

    void resetState();
    Step readTables();
    Step readEndOfBlock();
    Step decodeLz();
    Step decodePpm();
    Step readFilterFromLz();
    Step readFilterFromPpm();
    Step addFilter(const std::vector<uint8_t> &code);
    // Writes decoded bytes out, running filters whose blocks are complete.
    // False when the sink stopped or (`corrupt`) a filter failed.
    bool flush(uint64_t limit, base::ByteSink &out, bool &corrupt);
    void dropAppliedFilters();
    void copy(uint32_t length, uint32_t distance);
    void insertOldDistance(uint32_t distance);

    lz::Window &win_;
    lz::MsbBitReader in_;
    HuffmanTable main_, dist_, lowDist_, rep_;
    std::array<uint8_t, 404> oldLengths_{};
    std::array<uint32_t, 4> oldDist_{};
    uint32_t lastLength_ = 0;
    uint32_t prevLowDist_ = 0;
    uint32_t lowDistRepeats_ = 0;
    bool tablesRead_ = false;
    bool ppmBlock_ = false;
    int ppmEscape_ = 2;
    std::unique_ptr<PpmdModel> ppm_;

    std::vector<FilterKind> programs_;        // filter programs seen since the last reset
    std::vector<uint32_t> programLengths_;    // last block length per program
    size_t lastProgram_ = 0;
    std::vector<Filter> pending_;             // filters waiting for their block, in order
    std::vector<uint8_t> filterMemory_;
};

} // namespace qvo::codecs::rar
