#include "formats/sevenzip/sevenzip_libarchive.h"

#include <archive.h>

namespace qvo::formats::sevenzip {

void SevenZipLibarchive::enable(archive *a)
{
    archive_read_support_format_7zip(a);
}

bool SevenZipLibarchive::reads(int libarchiveFormat) const
{
    return (libarchiveFormat & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_7ZIP;
}

} // namespace qvo::formats::sevenzip
