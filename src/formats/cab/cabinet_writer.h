// Writes one cabinet: CFHEADER, CFFOLDER and CFFILE records, then the
// folders' CFDATA blocks with their checksums.
//
// Files are streamed from disk through a bounded buffer, never held whole.
// They are packed into folders in the order given; a folder ends when the
// next file would take it past its frame limit, so every file lies in one
// folder.  Everything that must fit 16 or 32 bits is checked, before writing
// where it can be known and while writing otherwise (compressed sizes): the
// writer fails rather than produce a cabinet readers would misread.
#pragma once
#include "base/seekable_output.h"
#include "create/archive_writer.h"
#include "formats/cab/cab_format.h"
#include "codecs/frame_compressor.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qvo::formats::cab {

struct CabFileEntry {
    std::string name;               // bytes as stored: '\' separated, no terminator
    uint64_t size = 0;              // bytes to read from `source`
    uint16_t date = 0;              // DOS date and time
    uint16_t time = 0;
    uint16_t attribs = 0;           // kAttrib* bits
    std::filesystem::path source;   // file whose first `size` bytes are stored
};

// Format limits; tests lower them to reach the edges with little data.
struct CabLimits {
    uint32_t maxFramesPerFolder = kMaxFramesPerFolder;
    uint32_t maxFiles = kMaxFiles;
    uint32_t maxFolders = kMaxFolders;
    uint64_t maxCabinetSize = kMaxCabinetSize;
};

using CompressorFactory = std::function<std::unique_ptr<codecs::FrameCompressor>()>;

// The CFFOLDER.typeCompress of the folders `compressor` makes.
uint16_t folderType(const codecs::FrameCompressor &compressor);

// Writes `files` as one cabinet to `out`: the data, then the header over
// its placeholder at the start.  `newCompressor` makes the compressor of
// each folder.  Fails with NoFiles, TooLarge, ReadError or WriteError; the
// output then holds garbage the caller discards.
create::WriteResult writeCabinet(const std::vector<CabFileEntry> &files,
                            const CompressorFactory &newCompressor, base::SeekableOutput &out,
                            const CabLimits &limits = {});

} // namespace qvo::formats::cab
