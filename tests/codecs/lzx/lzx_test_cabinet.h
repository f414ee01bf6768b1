// Test-only cabinet plumbing for the LZX tests: a minimal single-folder
// cabinet writer around our frames, and libmspack's CAB decompressor
// loaded at run time as the in-process reference decoder.
#pragma once
#include <dlfcn.h>
#include <mspack.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/endian.h"
#include "codecs/frame_compressor.h"
#include "formats/cab/cabinet_writer.h"
#include "test_support.h"

namespace qvo::test::lzx {

struct CabEntry {
    std::string name;
    std::string data;
};

using base::appendLe16;
using base::appendLe32;

// One folder holding every entry, compressed frame by frame.
inline std::string buildCabinet(const std::vector<CabEntry> &entries, codecs::FrameCompressor &compressor)
{
    std::string folder;
    for (const auto &e : entries)
        folder += e.data;

    std::string frames;
    uint32_t frameCount = 0;
    for (size_t off = 0; off < folder.size(); off += codecs::kFrameSize) {
        size_t n = std::min(codecs::kFrameSize, folder.size() - off);
        std::vector<uint8_t> payload;
        compressor.compressFrame({reinterpret_cast<const uint8_t *>(folder.data()) + off, n},
                                 off + n == folder.size(), payload);
        appendLe32(frames, 0); // checksum 0: not checked
        appendLe16(frames, uint32_t(payload.size()));
        appendLe16(frames, uint32_t(n));
        frames.append(reinterpret_cast<const char *>(payload.data()), payload.size());
        ++frameCount;
    }

    std::string files;
    uint32_t offset = 0;
    for (const auto &e : entries) {
        appendLe32(files, uint32_t(e.data.size()));
        appendLe32(files, offset);
        appendLe16(files, 0);                            // folder 0
        appendLe16(files, (2020 - 1980) << 9 | 1 << 5 | 2); // 2020-01-02
        appendLe16(files, 12 << 11 | 34 << 5 | 28);      // 12:34:56
        appendLe16(files, 0x20);                         // archive attribute
        files += e.name;
        files.push_back('\0');
        offset += uint32_t(e.data.size());
    }

    const uint32_t headerSize = 36, folderSize = 8;
    const uint32_t filesOffset = headerSize + folderSize;
    const uint32_t dataOffset = filesOffset + uint32_t(files.size());
    std::string cab = "MSCF";
    appendLe32(cab, 0);
    appendLe32(cab, dataOffset + uint32_t(frames.size()));
    appendLe32(cab, 0);
    appendLe32(cab, filesOffset);
    appendLe32(cab, 0);
    cab.push_back(3); // version 1.3
    cab.push_back(1);
    appendLe16(cab, 1);
    appendLe16(cab, uint32_t(entries.size()));
    appendLe16(cab, 0); // flags
    appendLe16(cab, 0x1234);
    appendLe16(cab, 0);
    appendLe32(cab, dataOffset);
    appendLe16(cab, frameCount);
    appendLe16(cab, formats::cab::folderType(compressor));
    return cab + files + frames;
}

// libmspack, loaded on first use: the test binary needs no link change.
class Mspack {
public:
    static Mspack &get()
    {
        static Mspack instance;
        return instance;
    }
    bool loaded() const { return create_ && destroy_; }

    // Extracts every file of `cabPath`; returns "" on success, else why not.
    std::string extractAll(const std::filesystem::path &cabPath, const std::filesystem::path &outDir,
                           std::vector<std::string> *names = nullptr)
    {
        if (!loaded())
            return "libmspack not loadable";
        mscab_decompressor *cabd = create_(nullptr);
        if (!cabd)
            return "no decompressor";
        std::string error;
        mscabd_cabinet *cab = cabd->open(cabd, cabPath.c_str());
        if (!cab) {
            error = "open failed: " + std::to_string(cabd->last_error(cabd));
        } else {
            for (mscabd_file *f = cab->files; f && error.empty(); f = f->next) {
                std::filesystem::path out = outDir / f->filename;
                if (names)
                    names->push_back(f->filename);
                int rc = cabd->extract(cabd, f, out.c_str());
                if (rc != MSPACK_ERR_OK)
                    error = std::string("extract ") + f->filename + " failed: " + std::to_string(rc);
            }
            cabd->close(cabd, cab);
        }
        destroy_(cabd);
        return error;
    }

private:
    Mspack()
    {
        handle_ = dlopen("libmspack.so.0", RTLD_NOW);
        if (!handle_)
            return;
        create_ = reinterpret_cast<decltype(create_)>(dlsym(handle_, "mspack_create_cab_decompressor"));
        destroy_ = reinterpret_cast<decltype(destroy_)>(dlsym(handle_, "mspack_destroy_cab_decompressor"));
    }
    void *handle_ = nullptr;
    mscab_decompressor *(*create_)(mspack_system *) = nullptr;
    void (*destroy_)(mscab_decompressor *) = nullptr;
};

} // namespace qvo::test::lzx
