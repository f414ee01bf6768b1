#include "codecs/zip/deflate_encoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>

namespace qvo::codecs::zip {

namespace {

// zlib's window and memory settings as Info-ZIP uses them; a negative
// window size makes a raw deflate stream (no zlib header).
constexpr int kRawWindowBits = -15;
constexpr int kMemLevel = 8;

} // namespace

int libdeflateLevel(int zipLevel)
{
    // libdeflate compresses better than zlib at the same level, so each
    // level can use a faster libdeflate level and still come out no larger
    // than Info-ZIP's (level 6: libdeflate 5 is about 1 % smaller than
    // `zip -6` on mixed trees and a third faster than libdeflate 6).  Levels
    // 2-4 are greedy there, which loses on plain text, so 6 stays lazy.
    // libdeflate's levels above 9 are many times slower and are not used.
    static constexpr int kMap[10] = {1, 1, 2, 3, 4, 5, 5, 6, 8, 9};
    return kMap[std::clamp(zipLevel, 1, 9)];
}

WholeDeflater::WholeDeflater(int zipLevel)
{
    c_ = libdeflate_alloc_compressor(libdeflateLevel(zipLevel));
    if (!c_)
        throw std::bad_alloc();
}

WholeDeflater::~WholeDeflater()
{
    libdeflate_free_compressor(c_);
}

bool WholeDeflater::compress(std::span<const uint8_t> input, std::vector<uint8_t> &out)
{
    if (input.empty())
        return false;
    // One byte less than the input: libdeflate gives up (returns 0) as soon
    // as the result would not be smaller, which saves finishing it.
    out.resize(input.size() - 1);
    size_t n = out.empty() ? 0
                           : libdeflate_deflate_compress(c_, input.data(), input.size(), out.data(),
                                                         out.size());
    out.resize(n);
    return n != 0;
}

void deflateChunk(int zipLevel, std::span<const uint8_t> dictionary,
                  std::span<const uint8_t> input, bool last, std::vector<uint8_t> &out)
{
    z_stream z{};
    if (deflateInit2(&z, std::clamp(zipLevel, 1, 9), Z_DEFLATED, kRawWindowBits, kMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    if (dictionary.size() > kDictionarySize)
        dictionary = dictionary.subspan(dictionary.size() - kDictionarySize);
    if (!dictionary.empty())
        deflateSetDictionary(&z, dictionary.data(), static_cast<uInt>(dictionary.size()));

    // deflateBound() does not count the sync flush's empty stored block.
    out.resize(deflateBound(&z, static_cast<uLong>(input.size())) + 64);
    z.next_in = const_cast<Bytef *>(input.data());
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        int rc = deflate(&z, flush);
        if (rc == Z_STREAM_END || (rc == Z_OK && z.avail_out != 0 && z.avail_in == 0 && !last))
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            deflateEnd(&z);
            throw std::bad_alloc();
        }
        // The bound was too tight (it never is in practice): grow and go on.
        size_t used = out.size() - z.avail_out;
        out.resize(out.size() * 2);
        z.next_out = out.data() + used;
        z.avail_out = static_cast<uInt>(out.size() - used);
    }
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
}

uint64_t chunkedDeflateBound(uint64_t size)
{
    // Stored blocks cost 5 bytes per 16 KiB at worst, each chunk a few bytes
    // of flush marker and block headers.
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
