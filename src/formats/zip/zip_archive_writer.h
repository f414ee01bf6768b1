// Writes a ZIP archive: the ZIP writer of create/archive_writer.h.
//
// Methods "store", or "deflate" at levels 1 to 9 (libdeflate, see
// codecs/deflate/deflate_encoder.h); a file that deflate does not shrink is
// stored.  Files are read and compressed on worker threads, large ones in
// chunks whose deflate streams and CRCs join into one (member_compressor.h),
// while this thread writes the records (zip_writer.h).  Names go in UTF-8
// with flag bit 11, or with NameEncoding::Cp932 in CP932 without it, link
// targets likewise.  Folders and links are entries; ZIP64 records appear
// where a size, an offset or the count needs them.
#pragma once
#include "create/archive_writer.h"

#include <vector>

namespace qvo::formats::zip {

create::WriteResult writeZipArchive(const std::vector<create::WriterEntry> &entries,
                                    const create::WriterOptions &options, base::SeekableOutput &out);

} // namespace qvo::formats::zip
