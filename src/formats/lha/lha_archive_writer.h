// Writes an LHA archive with level-2 headers: the LHA writer of
// create/archive_writer.h.
//
// Methods "lh0" (stored), "lh1", "lh5", "lh6" and "lh7"; a file that does
// not shrink is stored, as LHA archivers do.  Names go in CP932 with code
// page 932 when every name has an exact CP932 form, else in UTF-8 (see
// lha_names.h); NameEncoding::Cp932 makes the first a must.  Folders are
// entries; links are stored as Unix LHA stores them, named "name|target"
// with the link type in the permission header (a "|" in a link's own path
// is NotSupported).  Sizes are 32-bit: a file of 4 GiB or more is TooLarge.
// Small files are compressed on worker threads ahead of the writer
// (lha_packer.h), large ones streamed into the archive.
#pragma once
#include "create/archive_writer.h"

#include <vector>

namespace qvo::formats::lha {

create::WriteResult writeLhaArchive(const std::vector<create::WriterEntry> &entries,
                                    const create::WriterOptions &options, base::SeekableOutput &out);

} // namespace qvo::formats::lha
