#include "archivers/command/create_command.h"

#include "archivers/include/qvo_archiver.h"
#include "create/atomic_output_file.h"
#include "create/entries_to_pack.h"

#include <string>
#include <vector>

namespace qvo::archivers::command {

int32_t createResultCode(create::WriteStatus status)
{
    using create::WriteStatus;
    switch (status) {
    case WriteStatus::Ok: return kOk;
    case WriteStatus::NoFiles: return kErrNoFiles;
    case WriteStatus::TooLarge: return kErrTooLarge;
    case WriteStatus::NameEncoding: return kErrNameEncoding;
    case WriteStatus::NameClash: return kErrNameClash;
    // A file that cannot be read fails the archive it was to go into.
    case WriteStatus::ReadError: return kErrWrite;
    case WriteStatus::WriteError: return kErrWrite;
    case WriteStatus::NotSupported: return kErrNotSupported;
    case WriteStatus::Internal: return kErrInternal;
    }
    return kErrInternal;
}

int32_t runCreate(const CreateRequest &request, create::ArchiveWriteFunction &write)
{
    std::error_code ec;
    if (std::filesystem::is_directory(request.archive, ec))
        return kErrWrite;
    create::AtomicOutputFile out;
    std::string error;
    if (!out.open(request.archive, error))
        return kErrWrite;
    create::SourceWalkOptions walk = request.walk;
    walk.exclude = {request.archive, out.tempPath()};
    std::vector<create::WriterEntry> entries;
    create::WriteResult result = create::entriesToPack(request.folder, walk, entries);
    if (result.ok())
        result = write(entries, request.options, out);
    if (!result.ok())
        return createResultCode(result.status);
    return out.commit(error) ? kOk : kErrWrite;
}

} // namespace qvo::archivers::command
