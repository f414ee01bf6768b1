#include "formats/zip/zip_libarchive.h"

#include "archivers/include/qvo_archiver.h"

#include <archive.h>

namespace qvo::formats::zip {

ZipLibarchive::ZipLibarchive(const ZipNameMarkers &markers) : markers_(markers), names_(markers) {}

void ZipLibarchive::enable(archive *a)
{
    archive_read_support_format_zip(a); // central directory first, local headers as fallback
}

bool ZipLibarchive::reads(int libarchiveFormat) const
{
    return (libarchiveFormat & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
}

const shared::MemberNames *ZipLibarchive::names() const
{
    // Without a central directory, names are told by whether they are UTF-8.
    return markers_.parsed ? &names_ : nullptr;
}

int32_t ZipLibarchive::verdict(int32_t result, const shared::ReadSummary &summary)
{
    if (result != archivers::kOk)
        return result;
    if (summary.membersOfFormat > 0 && !markers_.parsed && !markers_.tooLarge)
        return archivers::kErrCorrupt; // no readable central directory: members may be missing
    if (summary.members == 0 && markers_.emptyWithData)
        return archivers::kErrCorrupt; // "empty", after data that is no member
    return result;
}

} // namespace qvo::formats::zip
