// Deflate for ZIP members, at Info-ZIP's levels 1 (fast) to 9 (small).
//
// Members up to kWholeBufferLimit are compressed in one piece by libdeflate,
// which is faster than zlib and smaller at the same level.  Larger members
// are cut into chunks of kChunkSize that can be compressed independently (on
// different threads) and still form one deflate stream, the way pigz does
// it: each chunk is a raw zlib stream primed with the previous 32 KiB as its
// dictionary and ended by a sync flush (an empty stored block that aligns it
// to a byte), only the last one ends with a final block.  The chunked path
// keeps memory bounded whatever the file size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct libdeflate_compressor;

namespace qvo::codecs::zip {

constexpr size_t kWholeBufferLimit = 16u << 20;
constexpr size_t kChunkSize = 4u << 20;
constexpr size_t kDictionarySize = 32768;

// The libdeflate level used for an Info-ZIP level 1-9.
int libdeflateLevel(int zipLevel);

// One libdeflate compressor; not shared between threads.
class WholeDeflater {
public:
    explicit WholeDeflater(int zipLevel);
    ~WholeDeflater();
    WholeDeflater(const WholeDeflater &) = delete;
    WholeDeflater &operator=(const WholeDeflater &) = delete;

    // Replaces `out` with the deflated `input`.  False when deflate would not
    // make it smaller: the member is better stored.
    bool compress(std::span<const uint8_t> input, std::vector<uint8_t> &out);

private:
    libdeflate_compressor *c_ = nullptr;
};

// Deflates one chunk of a chunked member into `out` (replaced).
// `dictionary` is the data just before the chunk (at most the last 32 KiB
// are used; empty for the first chunk).  Throws std::bad_alloc when zlib
// cannot allocate its state.
void deflateChunk(int zipLevel, std::span<const uint8_t> dictionary,
                  std::span<const uint8_t> input, bool last, std::vector<uint8_t> &out);

// Worst-case deflated size of a chunked member of `size` bytes: decides
// whether its local header must reserve ZIP64 sizes.
uint64_t chunkedDeflateBound(uint64_t size);

uint32_t crc32(uint32_t crc, std::span<const uint8_t> data);
// CRC of A followed by B, from the CRCs of A and B and B's length.
uint32_t crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB);

} // namespace qvo::codecs::zip
