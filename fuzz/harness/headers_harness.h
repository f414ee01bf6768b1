// The CAB and LHA header writers fed hostile names and sizes.  Whatever
// they accept must read back in an independent reader exactly as meant;
// what they cannot hold they must refuse, never write wrongly.
#pragma once
#include "base/endian.h"
#include "byte_reader.h"
#include "formats/cab/cabinet_writer.h"
#include "codecs/deflate/mszip_compressor.h"
#include "formats/cab/stored_compressor.h"
#include "formats/lha/lha_header_writer.h"
#include "formats/lha/lha_names.h"
#include "codecs/lzx/lzx_compressor.h"
#include "lhasa_memory.h"
#include "scratch.h"

#include <mspack.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qvo::fuzz {

// A path, sizes, time and mode, as the LHA writer would take them from a
// walked folder; the header goes through lhasa's parser.
inline void fuzzLhaHeader(const uint8_t *data, size_t size)
{
    using namespace formats::lha;
    ByteReader r(data, size);
    const uint8_t flags = r.u8();
    const bool isFolder = flags & 1;
    LhaMemberHeader h;
    h.compressedSize = isFolder ? 0 : r.u32();
    h.originalSize = isFolder ? 0 : r.u32();
    h.mtime = r.u32();
    h.dataCrc = r.u16();
    // As the writer stores them: the entry's type and its permission bits.
    if (flags & 2)
        h.unixMode = uint16_t((isFolder ? 0040000 : 0100000) | (r.u16() & 07777));
    std::string path = r.str(100000);
    auto name = storedLhaName(path, isFolder);
    if (!name)
        return;
    std::memcpy(h.method, isFolder ? "-lhd-" : "-lh5-", 5);
    h.fileName = name->fileName;
    h.dirName = name->dirName;
    h.codePage = name->codePage;
    h.utf16FileName = name->utf16FileName;
    h.utf16DirName = name->utf16DirName;
    h.osId = kLhaOsIdUnix;

    std::vector<uint8_t> bytes = buildLevel2Header(h);
    if (bytes.empty())
        return; // refused: too long for a level-2 header
    if (bytes.size() > kMaxLevel2HeaderSize || bytes[0] == 0)
        fail("LHA header size out of range");
    if (base::loadLe16(bytes.data()) != bytes.size())
        fail("LHA header size field differs from its length");
    bytes.push_back(0);

    LhasaMemoryReader reader(bytes);
    LHAFileHeader *fh = reader.next();
    if (!fh)
        fail("lhasa refuses our header for \"" + path + "\"");
    if (fh->compressed_length != h.compressedSize || fh->length != h.originalSize ||
        fh->timestamp != h.mtime)
        fail("lhasa reads other sizes or time");
    // lhasa takes the stored bytes as they are and joins folder and name
    // with '/'; our stored names must give the path back.
    std::string got = fh->path ? fh->path : "";
    if (fh->filename)
        got += fh->filename;
    std::string want = path;
    while (!want.empty() && want.back() == '/')
        want.pop_back();
    if (isFolder)
        want += '/';
    if (got != want)
        fail("lhasa reads the name \"" + got + "\" for \"" + want + "\"");
}

class MemoryCabOutput final : public base::SeekableOutput {
public:
    std::vector<uint8_t> bytes;
    bool write(const void *data, size_t size) override
    {
        auto p = static_cast<const uint8_t *>(data);
        bytes.insert(bytes.end(), p, p + size);
        return true;
    }
    bool writeAt(uint64_t offset, const void *data, size_t size) override
    {
        if (offset + size > bytes.size())
            return false;
        std::memcpy(bytes.data() + offset, data, size);
        return true;
    }
};

// Up to eight files with fuzzed names and sizes (some beyond their source),
// lowered limits, one of the three methods.  An accepted cabinet is read
// back by libmspack: every file with its size and its data.
inline void fuzzCabWriter(const Scratch &scratch, const uint8_t *data, size_t size)
{
    ByteReader r(data, size);
    const uint8_t flags = r.u8();
    const size_t count = 1 + r.u8() % 8;
    formats::cab::CabLimits limits;
    if (flags & 0x04) {
        limits.maxFramesPerFolder = 1 + r.u8() % 4;
        limits.maxFiles = 1 + r.u8() % 8;
        limits.maxFolders = 1 + r.u8() % 4;
        limits.maxCabinetSize = 64 + r.u32() % 200000;
    }
    scratch.clear();
    const fs::path source = scratch.root() / "source";
    std::vector<uint8_t> content;
    std::vector<formats::cab::CabFileEntry> files;
    for (size_t i = 0; i < count; ++i) {
        formats::cab::CabFileEntry f;
        f.name = r.str(400);
        std::replace(f.name.begin(), f.name.end(), '/', '\\');
        uint32_t sz = r.u32();
        f.size = (flags & 0x08) ? sz : sz % 70000;
        f.attribs = r.u16();
        f.date = r.u16();
        f.time = r.u16();
        f.source = source;
        files.push_back(std::move(f));
    }
    // The source holds the input's rest repeated to 70000 bytes.
    content.assign(r.rest(), r.rest() + r.restSize());
    if (content.empty())
        content.push_back(0);
    while (content.size() < 70000)
        content.insert(content.end(), content.begin(), content.begin() + std::min(content.size(), 70000 - content.size()));
    {
        std::ofstream out(source, std::ios::binary);
        out.write(reinterpret_cast<const char *>(content.data()), std::streamsize(content.size()));
    }

    formats::cab::CompressorFactory factory;
    switch (flags % 3) {
    case 0: factory = [] { return formats::cab::makeStoredCompressor(); }; break;
    case 1: factory = [] { return codecs::deflate::makeMszipCompressor(); }; break;
    default: factory = [] { return codecs::lzx::makeLzxCompressor(15); }; break;
    }
    MemoryCabOutput out;
    create::WriteResult result = formats::cab::writeCabinet(files, factory, out, limits);
    bool fits = true;
    for (const auto &f : files)
        if (f.size > content.size() || f.name.empty() || f.name.size() > 255 ||
            f.name.find('\0') != std::string::npos)
            fits = false;
    if (!result.ok()) {
        if (fits && !(flags & 0x04) && result.status != create::WriteStatus::TooLarge)
            fail("cabinet writer failed on a cabinet it can hold: " + result.detail);
        return;
    }
    if (!fits)
        fail("cabinet writer accepted a file it cannot hold");
    if (out.bytes.size() > limits.maxCabinetSize)
        fail("cabinet larger than its limit");

    const fs::path cabPath = scratch.root() / "w.cab";
    {
        std::ofstream o(cabPath, std::ios::binary);
        o.write(reinterpret_cast<const char *>(out.bytes.data()), std::streamsize(out.bytes.size()));
    }
    mscab_decompressor *cabd = mspack_create_cab_decompressor(nullptr);
    mscabd_cabinet *c = cabd->open(cabd, const_cast<char *>(cabPath.c_str()));
    std::string error;
    if (!c) {
        error = "libmspack cannot open our cabinet";
    } else {
        size_t i = 0;
        const fs::path outPath = scratch.root() / "x";
        for (mscabd_file *f = c->files; f && error.empty(); f = f->next, ++i) {
            if (i >= files.size()) {
                error = "more files read than written";
                break;
            }
            const std::string &name = files[i].name;
            const bool ascii = std::all_of(name.begin(), name.end(), [](char ch) { return uint8_t(ch) < 0x80; });
            if (ascii && name != f->filename)
                error = "name of file " + std::to_string(i) + " reads as \"" + f->filename + "\"";
            else if (f->length != files[i].size)
                error = "size of file " + std::to_string(i) + " differs";
            else if (cabd->extract(cabd, f, const_cast<char *>(outPath.c_str())) != MSPACK_ERR_OK)
                error = "libmspack cannot extract file " + std::to_string(i);
            else {
                std::ifstream in(outPath, std::ios::binary);
                std::vector<uint8_t> got((std::istreambuf_iterator<char>(in)), {});
                if (got.size() != files[i].size ||
                    !std::equal(got.begin(), got.end(), content.begin()))
                    error = "data of file " + std::to_string(i) + " differs";
            }
        }
        if (error.empty() && i != files.size())
            error = "fewer files read than written";
        cabd->close(cabd, c);
    }
    mspack_destroy_cab_decompressor(cabd);
    if (!error.empty())
        fail(error);
}

} // namespace qvo::fuzz
