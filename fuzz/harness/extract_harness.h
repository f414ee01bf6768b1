// Extraction of a fuzzed archive through our readers and the extraction
// sink, into a fresh destination, then a check that nothing was made
// outside it.
#pragma once
#include "archivers/command/extract_command.h"
#include "formats/readers.h"
#include "scratch.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>

namespace qvo::fuzz {

using ExtractFormat = formats::shared::ArchiveFamily;

inline const char *extensionOf(ExtractFormat f)
{
    switch (f) {
    case ExtractFormat::Lha: return "in.lzh";
    case ExtractFormat::Cab: return "in.cab";
    case ExtractFormat::Zip: return "in.zip";
    case ExtractFormat::Rar: return "in.rar";
    case ExtractFormat::Many: return "in.7z";
    case ExtractFormat::Arj: return "in.arj";
    }
    return "in.bin";
}

inline archivers::command::ArchiveReader readerOf(ExtractFormat f)
{
    return [f](const fs::path &a, const std::string &names, extract::ExtractSink &s) {
        return formats::readArchive(f, a, names, s);
    };
}

// Extracts `data` as an archive of format `f`.  The mode (folders kept or
// flat, overwrite or not) comes from the input's length so that corpus
// files need no prefix.  Returns the result code.
inline int32_t fuzzExtract(const Scratch &scratch, ExtractFormat f, const uint8_t *data, size_t size)
{
    // Bombs stop at 32 MiB instead of filling the disk.
    setenv("QVO_TEST_EXTRACT_LIMIT", "33554432", 0);
    scratch.clear();
    const fs::path archive = scratch.root() / extensionOf(f);
    const fs::path dest = scratch.root() / "dest";
    const fs::path outside = scratch.root() / "outside";
    {
        std::ofstream out(archive, std::ios::binary);
        out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
    }
    fs::create_directory(dest);
    fs::create_directory(outside);
    {
        // Something for a hostile archive to overwrite.
        std::ofstream(outside / "keep") << "keep";
        std::ofstream(dest / "existing") << "existing";
    }

    archivers::command::ExtractRequest request;
    request.archive = archive;
    request.destination = dest;
    request.restorePaths = (size & 1) == 0;
    request.overwrite = (size & 2) != 0;
    int32_t rc = archivers::command::runExtract(request, readerOf(f));

    checkTree(scratch.root(), {archive.filename().string(), "dest", "outside"}, dest);
    std::error_code ec;
    if (fs::is_symlink(dest, ec) || !fs::is_directory(dest, ec))
        fail("destination replaced");
    size_t n = 0;
    for (auto &e : fs::directory_iterator(outside, ec)) {
        (void)e;
        ++n;
    }
    std::ifstream keep(outside / "keep");
    std::string text;
    keep >> text;
    if (n != 1 || text != "keep")
        fail("folder beside the destination changed");
    return rc;
}

} // namespace qvo::fuzz
