#include "formats/tar/tar_libarchive.h"

#include <archive.h>

namespace qvo::formats::tar {

void TarLibarchive::enable(archive *a)
{
    archive_read_support_format_tar(a);
    // Built-in decompressors only: no helper programs are started.
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_bzip2(a);
    archive_read_support_filter_xz(a);
}

bool TarLibarchive::reads(int libarchiveFormat) const
{
    return (libarchiveFormat & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR;
}

} // namespace qvo::formats::tar
