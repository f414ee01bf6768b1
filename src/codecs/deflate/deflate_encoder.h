// Deflate for ZIP members, at Info-ZIP's levels 1 (fast) to 9 (small), by
// libdeflate, which is faster than zlib and compresses better at the same
// level.
//
// libdeflate compresses whole buffers only.  Members up to kWholeBufferLimit
// are compressed in one piece; larger ones are cut into chunks of kChunkSize
// that are compressed independently (on different threads) and joined into
// one deflate stream the way zlib's gzjoin does: every chunk but the last has
// the final-block bit of its last block cleared and is followed by an empty
// stored block, which ends it on a byte boundary.  Memory stays bounded
// whatever the file size; losing the 32 KiB of history at each 4 MiB chunk
// start costs next to nothing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct libdeflate_compressor;

namespace qvo::codecs::deflate {

constexpr size_t kWholeBufferLimit = 16u << 20;
constexpr size_t kChunkSize = 4u << 20;

// The libdeflate level used for an Info-ZIP level 1-9.
int libdeflateLevel(int zipLevel);

// One libdeflate compressor; not shared between threads.
class Deflater {
public:
    explicit Deflater(int zipLevel);
    ~Deflater();
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    // A whole member: replaces `out` with the deflated `input`.  False when
    // deflate would not make it smaller: the member is better stored.
    // Members whose start does not compress at all (already compressed
    // data) are judged by a quick probe of that start instead of by a full
    // attempt.
    bool compress(std::span<const uint8_t> input, std::vector<uint8_t> &out);

    // One chunk of a chunked member: replaces `out` with deflate blocks that
    // the next chunk's blocks can follow directly, or, for the last chunk,
    // that end the stream.  Throws std::bad_alloc when out of memory.
    void compressChunk(std::span<const uint8_t> input, bool last, std::vector<uint8_t> &out);

private:
    bool looksIncompressible(std::span<const uint8_t> input);

    libdeflate_compressor *c_ = nullptr;
    libdeflate_compressor *probe_ = nullptr; // fastest level, made on first use
    std::vector<uint8_t> probeOut_;
};

// Worst-case deflated size of a chunked member of `size` bytes: decides
// whether its local header must reserve ZIP64 sizes.
uint64_t chunkedDeflateBound(uint64_t size);

} // namespace qvo::codecs::deflate
