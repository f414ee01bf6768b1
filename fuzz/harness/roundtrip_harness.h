// Our LHA and LZX encoders checked by round trip: random input encoded by
// ours, decoded by lhasa (LHA) and libmspack (LZX, inside a cabinet) in
// the same process, compared byte for byte.
#pragma once
#include "base/endian.h"
#include "codecs/frame_compressor.h"
#include "codecs/lha/lh1_encoder.h"
#include "codecs/lha/lh_static_encoder.h"
#include "codecs/lha/lha_crc16.h"
#include "formats/lha/lha_header_writer.h"
#include "codecs/lha/lha_method.h"
#include "codecs/lzx/lzx_compressor.h"
#include "formats/cab/cabinet_writer.h"
#include "lhasa_memory.h"
#include "scratch.h"

#include <mspack.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qvo::fuzz {

// Byte 0 picks lh1, lh5, lh6 or lh7; the rest is the member's data.  The
// encoder gets no size limit so that incompressible input is checked too.
inline void fuzzLhaRoundTrip(const uint8_t *data, size_t size)
{
    using namespace codecs::lha;
    using namespace formats::lha;
    if (size < 1)
        return;
    static constexpr LhaMethod kMethods[] = {LhaMethod::Lh1, LhaMethod::Lh5, LhaMethod::Lh6, LhaMethod::Lh7};
    const LhaMethod method = kMethods[data[0] % 4];
    const uint8_t *in = data + 1;
    const size_t n = size - 1;

    std::vector<uint8_t> packed;
    ByteSink sink = [&](const uint8_t *p, size_t len) {
        packed.insert(packed.end(), p, p + len);
        return true;
    };
    const uint64_t noLimit = UINT64_MAX;
    EncodeResult r;
    switch (method) {
    case LhaMethod::Lh1: r = encodeLh1(in, n, noLimit, sink); break;
    case LhaMethod::Lh5: r = encodeLhStatic(kLh5Params, in, n, noLimit, sink); break;
    case LhaMethod::Lh6: r = encodeLhStatic(kLh6Params, in, n, noLimit, sink); break;
    default: r = encodeLhStatic(kLh7Params, in, n, noLimit, sink); break;
    }
    if (r.status != EncodeStatus::Ok)
        fail("LHA encoder refused input without a limit");
    if (r.compressedSize != packed.size())
        fail("LHA encoder reported a wrong compressed size");

    LhaMemberHeader h;
    std::memcpy(h.method, lhaMethodId(method), 5);
    h.compressedSize = uint32_t(packed.size());
    h.originalSize = uint32_t(n);
    h.dataCrc = crc16Update(0, in, n);
    h.fileName = "f";
    std::vector<uint8_t> archive = buildLevel2Header(h);
    archive.insert(archive.end(), packed.begin(), packed.end());
    archive.push_back(0);

    LhasaMemoryReader reader(archive);
    LHAFileHeader *fh = reader.next();
    if (!fh)
        fail("lhasa cannot read our header");
    std::vector<uint8_t> back = reader.readAll(n);
    if (back.size() != n || !std::equal(back.begin(), back.end(), in))
        fail("LHA round trip differs (" + std::string(lhaMethodId(method), 5) + ", " +
             std::to_string(n) + " bytes in, " + std::to_string(back.size()) + " out)");
}

// A cabinet of one folder holding one file "f", our compressor's frames
// as its data blocks (checksums left 0, which readers skip).
inline std::vector<uint8_t> singleFileCabinet(const uint8_t *in, size_t n, codecs::FrameCompressor &c)
{
    std::vector<uint8_t> frames;
    uint32_t frameCount = 0;
    for (size_t off = 0; off < n; off += codecs::kFrameSize) {
        size_t len = std::min(codecs::kFrameSize, n - off);
        std::vector<uint8_t> payload;
        c.compressFrame({in + off, len}, off + len == n, payload);
        if (payload.size() > codecs::kFrameSize + 6144)
            fail("LZX frame larger than a CFDATA block may be");
        base::appendLe32(frames, 0);
        base::appendLe16(frames, uint32_t(payload.size()));
        base::appendLe16(frames, uint32_t(len));
        frames.insert(frames.end(), payload.begin(), payload.end());
        ++frameCount;
    }
    std::vector<uint8_t> file;
    base::appendLe32(file, uint32_t(n));
    base::appendLe32(file, 0);
    base::appendLe16(file, 0);
    base::appendLe16(file, (2020 - 1980) << 9 | 1 << 5 | 1);
    base::appendLe16(file, 0);
    base::appendLe16(file, 0x20);
    file.push_back('f');
    file.push_back(0);

    const uint32_t filesOffset = 36 + 8;
    const uint32_t dataOffset = filesOffset + uint32_t(file.size());
    std::vector<uint8_t> cab = {'M', 'S', 'C', 'F'};
    base::appendLe32(cab, 0);
    base::appendLe32(cab, dataOffset + uint32_t(frames.size()));
    base::appendLe32(cab, 0);
    base::appendLe32(cab, filesOffset);
    base::appendLe32(cab, 0);
    cab.push_back(3);
    cab.push_back(1);
    base::appendLe16(cab, 1); // folders
    base::appendLe16(cab, 1); // files
    base::appendLe16(cab, 0);
    base::appendLe16(cab, 0x1234);
    base::appendLe16(cab, 0);
    base::appendLe32(cab, dataOffset);
    base::appendLe16(cab, frameCount);
    base::appendLe16(cab, formats::cab::folderType(c));
    cab.insert(cab.end(), file.begin(), file.end());
    cab.insert(cab.end(), frames.begin(), frames.end());
    return cab;
}

// Byte 0: window 15 + (b % 7), bit 3 E8 translation, bit 4 no stored
// blocks, bit 5 no aligned blocks; byte 1 the search depth (0 = default).
// The rest is the folder's data.
inline void fuzzLzxRoundTrip(const Scratch &scratch, const uint8_t *data, size_t size)
{
    if (size < 3)
        return;
    const int windowBits = 15 + data[0] % 7;
    codecs::lzx::LzxOptions options;
    options.e8Translation = (data[0] & 0x08) != 0;
    options.allowUncompressed = (data[0] & 0x10) == 0;
    options.allowAligned = (data[0] & 0x20) == 0;
    options.searchDepth = data[1];
    const uint8_t *in = data + 2;
    const size_t n = size - 2;

    auto compressor = codecs::lzx::makeLzxCompressor(windowBits, options);
    if (!compressor)
        fail("no LZX compressor for a valid window");
    std::vector<uint8_t> cab = singleFileCabinet(in, n, *compressor);

    const fs::path cabPath = scratch.root() / "rt.cab";
    const fs::path outPath = scratch.root() / "rt.out";
    {
        std::ofstream out(cabPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(cab.data()), std::streamsize(cab.size()));
    }
    mscab_decompressor *cabd = mspack_create_cab_decompressor(nullptr);
    if (!cabd)
        fail("libmspack: no decompressor");
    std::string error;
    mscabd_cabinet *c = cabd->open(cabd, const_cast<char *>(cabPath.c_str()));
    if (!c || !c->files)
        error = "libmspack cannot open our cabinet";
    else if (cabd->extract(cabd, c->files, const_cast<char *>(outPath.c_str())) != MSPACK_ERR_OK)
        error = "libmspack cannot decode our LZX (window " + std::to_string(windowBits) + ", " +
                std::to_string(n) + " bytes)";
    if (c)
        cabd->close(cabd, c);
    mspack_destroy_cab_decompressor(cabd);
    if (!error.empty())
        fail(error);
    std::ifstream back(outPath, std::ios::binary);
    std::vector<uint8_t> got((std::istreambuf_iterator<char>(back)), {});
    if (got.size() != n || !std::equal(got.begin(), got.end(), in))
        fail("LZX round trip differs (window " + std::to_string(windowBits) + ", " +
             std::to_string(n) + " bytes)");
}

} // namespace qvo::fuzz
