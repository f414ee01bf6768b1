#include "codecs/deflate/deflate_encoder.h"

#include "codecs/deflate/deflate_layout.h"

#include <libdeflate.h>

#include <algorithm>
#include <new>
#include <optional>
#include <stdexcept>

namespace qvo::codecs::deflate {

namespace {

// An empty stored block's length fields: LEN 0, NLEN 0xFFFF.
constexpr uint8_t kEmptyStoredLengths[4] = {0x00, 0x00, 0xFF, 0xFF};
// A stored block header is three bits: BFINAL and BTYPE 00.
constexpr unsigned kBlockHeaderBits = 3;

// Members at least this large have their first kProbeSize bytes probed at
// libdeflate's fastest level; if that saves less than 1/kProbeGainDivisor,
// the member is stored without a full attempt.  Compressed images and
// archives fail the probe; text, code and binaries pass it easily, and the
// probe costs about 1 % of compressing the member.
constexpr size_t kProbeMinSize = 256 * 1024;
constexpr size_t kProbeSize = 64 * 1024;
constexpr size_t kProbeGainDivisor = 100;

} // namespace

int libdeflateLevel(int zipLevel)
{
    // Same number: libdeflate's levels 1-9 follow zlib's (and so Info-ZIP's)
    // speed/size curve at about twice the speed.  A lower libdeflate level at 6
    // would be faster still but comes out over 1 % larger than `zip -6` on
    // plain text (level 5: +1.2 %; level 6: +0.1 %, and smaller on code and
    // binaries).  libdeflate's levels above 9 are far slower and not used.
    return std::clamp(zipLevel, 1, 9);
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
    libdeflate_free_compressor(probe_);
}

bool Deflater::looksIncompressible(std::span<const uint8_t> input)
{
    if (input.size() < kProbeMinSize)
        return false;
    if (!probe_ && !(probe_ = libdeflate_alloc_compressor(1)))
        throw std::bad_alloc();
    probeOut_.resize(kProbeSize - kProbeSize / kProbeGainDivisor);
    return libdeflate_deflate_compress(probe_, input.data(), kProbeSize, probeOut_.data(),
                                       probeOut_.size()) == 0;
}

bool Deflater::compress(std::span<const uint8_t> input, std::vector<uint8_t> &out)
{
    if (input.size() < 2 || looksIncompressible(input))
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

    // libdeflate ends its output with the final block: a walk that ends
    // anywhere but in the last byte went astray, and joining would corrupt.
    std::optional<DeflateLayout> layout = deflateLayout(out);
    if (!layout || (layout->endBit + 7) / 8 != out.size())
        throw std::logic_error("deflate stream layout not found");
    out[layout->finalHeaderBit / 8] &= static_cast<uint8_t>(~(1u << (layout->finalHeaderBit % 8)));
    out.resize((layout->endBit + 7) / 8);
    // The padding after the end code is zero.  Three zero bits there already
    // read as the header of a stored, non-final block; fewer need a zero
    // byte to complete it.  The stored block then skips to the byte boundary.
    uint64_t padding = out.size() * 8 - layout->endBit;
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

} // namespace qvo::codecs::deflate
