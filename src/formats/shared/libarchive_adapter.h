// ZIP, RAR and (for 7-zip32) 7z and tar reader over libarchive's read side;
// every byte goes to the sink (libarchive's disk writer is never used).
// formats/readers.cpp decides which archives come here.
#pragma once
#include "extract/extract_sink.h"
#include "formats/shared/archive_family.h"
#include "formats/zip/zip_name_markers.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::formats::shared {

// `family` (Zip, Rar or Many) chooses the formats libarchive may take.
// `zipNameMarkers`, read from the archive's central directory, tells the
// names of ZIP members marked as UTF-8 and the encoding of the others;
// null for RAR.  `chosenCharset`: the encoding the user named for unmarked
// names of other formats, or empty.
int32_t readWithLibarchive(const std::filesystem::path &archive, ArchiveFamily family,
                           const zip::ZipNameMarkers *zipNameMarkers, const std::string &chosenCharset,
                           extract::ExtractSink &sink);

} // namespace qvo::formats::shared
