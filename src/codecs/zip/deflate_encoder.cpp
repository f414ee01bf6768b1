#include "codecs/zip/deflate_encoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace qvo::codecs::zip {

namespace {

// An empty stored block's length fields: LEN 0, NLEN 0xFFFF.
constexpr uint8_t kEmptyStoredLengths[4] = {0x00, 0x00, 0xFF, 0xFF};
// A stored block header is three bits: BFINAL and BTYPE 00.
constexpr unsigned kBlockHeaderBits = 3;
constexpr size_t kScratchSize = 64 * 1024;

struct BlockLayout {
    uint64_t lastHeaderBit = 0; // where the final block's header starts
    uint64_t endBit = 0;        // just after the final block's end code
};

// Walks a raw deflate stream block by block with zlib (decoding it, as
// nothing else tells where its blocks end) to find where the last block
// starts and where the stream ends, to the bit.
BlockLayout layoutOf(std::span<const uint8_t> stream)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        throw std::bad_alloc();
    std::vector<uint8_t> scratch(kScratchSize);
    z.next_in = const_cast<Bytef *>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    BlockLayout layout; // a raw stream's first block header is at bit 0
    for (;;) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        int rc = inflate(&z, Z_BLOCK);
        uint64_t bit = (stream.size() - z.avail_in) * 8 - static_cast<uint64_t>(z.data_type & 7);
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK) {
            inflateEnd(&z);
            throw std::logic_error("deflate produced a stream inflate rejects");
        }
        if (z.data_type & 128) { // at a block boundary
            if (z.data_type & 64)
                layout.endBit = bit;
            else
                layout.lastHeaderBit = bit;
        }
    }
    inflateEnd(&z);
    if (layout.endBit == 0)
        throw std::logic_error("deflate stream without a final block");
    return layout;
}

} // namespace

int libdeflateLevel(int zipLevel)
{
    // libdeflate compresses better than zlib at the same level, so each
    // level can use a faster libdeflate level and still come out no larger
    // than Info-ZIP's (level 6: libdeflate 5 is about 1 % smaller than
    // `zip -6` on mixed trees and a sixth faster than libdeflate 6).  Levels
    // 2-4 are greedy there, which loses on plain text, so 6 stays lazy.
    // libdeflate's levels above 9 are many times slower and are not used.
    static constexpr int kMap[10] = {1, 1, 2, 3, 4, 5, 5, 6, 8, 9};
    return kMap[std::clamp(zipLevel, 1, 9)];
}

Deflater::Deflater(int zipLevel)
{
    c_ = libdeflate_alloc_compressor(libdeflateLevel(zipLevel));
    if (!c_)
        throw std::bad_alloc();
}

Deflater::~Deflater()
{
    libdeflate_free_compressor(c_);
}

bool Deflater::compress(std::span<const uint8_t> input, std::vector<uint8_t> &out)
{
    if (input.size() < 2)
        return false;
    // One byte less than the input: libdeflate gives up (returns 0) as soon
    // as the result would not be smaller, which saves finishing it.
    out.resize(input.size() - 1);
    size_t n = libdeflate_deflate_compress(c_, input.data(), input.size(), out.data(), out.size());
    out.resize(n);
    return n != 0;
}

void Deflater::compressChunk(std::span<const uint8_t> input, bool last, std::vector<uint8_t> &out)
{
    out.resize(libdeflate_deflate_compress_bound(c_, input.size()) + 8);
    size_t n = libdeflate_deflate_compress(c_, input.data(), input.size(), out.data(), out.size());
    if (n == 0)
        throw std::logic_error("libdeflate output exceeded its bound");
    out.resize(n);
    if (last)
        return;

    BlockLayout layout = layoutOf(out);
    out[layout.lastHeaderBit / 8] &= static_cast<uint8_t>(~(1u << (layout.lastHeaderBit % 8)));
    out.resize((layout.endBit + 7) / 8);
    // The padding after the end code is zero.  Three zero bits there already
    // read as the header of a stored, non-final block; fewer need a zero
    // byte to complete it.  The stored block then skips to the byte boundary.
    uint64_t padding = out.size() * 8 - layout.endBit;
    if (padding < kBlockHeaderBits)
        out.push_back(0);
    out.insert(out.end(), std::begin(kEmptyStoredLengths), std::end(kEmptyStoredLengths));
}

uint64_t chunkedDeflateBound(uint64_t size)
{
    // Stored blocks cost 5 bytes per 64 KiB at worst, each chunk a few bytes
    // of block headers and the joining empty block.
    return size + (size >> 10) + (size / kChunkSize + 1) * 64 + 4096;
}

uint32_t crc32(uint32_t crc, std::span<const uint8_t> data)
{
    return libdeflate_crc32(crc, data.data(), data.size());
}

uint32_t crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB)
{
    static_assert(sizeof(z_off_t) >= 8, "zlib offsets must be 64-bit");
    return static_cast<uint32_t>(crc32_combine(crcA, crcB, static_cast<z_off_t>(lengthB)));
}

} // namespace qvo::codecs::zip
