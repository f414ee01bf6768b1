// Which reader reads an archive.
//
// Several readers can take archives of one family: for LHA, lhasa with our
// own decoders for the methods it lacks; for ZIP, libarchive or our own
// reader; for RAR, our RAR 1.5-4 reader or libarchive.  readers.cpp holds
// the one table that decides, so a newcomer asking "who reads this?" opens
// one place.  Every reader writes through the same ExtractSink.
#pragma once
#include "extract/extract_sink.h"
#include "formats/shared/archive_family.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::formats {

// Reads `archive` with the first reader of the table that takes it for
// `family` and hands every member to `sink`.  Returns kOk or the failure
// that stopped the reader (the sink keeps member failures itself).
// `chosenCharset`: the encoding (an iconv name) the user named for member
// names the archive does not mark, or empty to judge it per archive.
int32_t readArchive(shared::ArchiveFamily family, const std::filesystem::path &archive,
                    const std::string &chosenCharset, extract::ExtractSink &sink);

// The name of the reader readArchive would choose, for tests and logs.
const char *readerName(shared::ArchiveFamily family, const std::filesystem::path &archive);

} // namespace qvo::formats
