// Small files of a private destination given to the writer thread: which
// ones go, handing one over, and waiting until the thread is done.
#include "extract/extract_sink_impl.h"

#include <system_error>

namespace qvo::extract {
namespace {

// Files are handed to a writer thread once an extraction has shown this
// many members: archives of a few files never start one.
constexpr uint64_t kWriterAfterMembers = 8;

} // namespace

// Whether this file member goes to the writer thread.
bool ExtractSink::Impl::handsOver(const MemberInfo &m)
{
    if (!directCreate || member <= kWriterAfterMembers || !m.size || *m.size > FileWriterThread::kMaxFileSize
        || (umaskBits & S_IRUSR) || writerUnavailable)
        return false;
    if (!writer) {
        try {
            if (FileWriterThread::usable())
                writer = std::make_unique<FileWriterThread>();
        } catch (const std::system_error &) {
        }
        writerUnavailable = !writer;
    }
    return writer != nullptr;
}

std::shared_ptr<const base::UniqueFd> ExtractSink::Impl::heldFolder(const std::string &key) const
{
    const auto held = heldFolders.find(key);
    return held == heldFolders.end() ? nullptr : held->second.lock();
}

// The folder of the file about to be handed over stays open while it
// waits.  With kMaxHeldFolders folders held already, the sink waits until
// the writer has let one go (it writes in order, so the oldest goes first).
void ExtractSink::Impl::holdCachedFolder()
{
    if (heldFolder(cachedFolderKey))
        return; // files waiting there hold it already
    for (;;) {
        std::erase_if(heldFolders, [](const auto &entry) { return entry.second.expired(); });
        if (heldFolders.size() < kMaxHeldFolders)
            break;
        writer->waitForProgress();
    }
    heldFolders[cachedFolderKey] = cachedFolder;
}

int32_t ExtractSink::Impl::handOver()
{
    FileWriterThread::File f;
    f.folder = std::move(file->folder);
    f.name = file->finalName;
    f.data = std::move(file->data);
    f.mode = finalFileMode(file->info.unixMode);
    if (file->info.mtimeSec)
        f.mtime = toTimespec(*file->info.mtimeSec, file->info.mtimeNsec);
    f.sequence = member;
    file.reset();
    if (!writer->submit(std::move(f))) {
        lastResult = archivers::kErrWrite;
        fail(archivers::kErrWrite);
        return archivers::kErrWrite;
    }
    lastResult = archivers::kOk;
    return archivers::kOk;
}

// Waits until every handed-over file is on disk or failed.
void ExtractSink::Impl::flushWriter()
{
    if (!writer)
        return;
    writer->flush();
    for (const FileWriterThread::Failure &f : writer->takeFailures())
        failAt(f.sequence, f.code);
    stopped = stopped || writer->outOfSpace();
}

} // namespace qvo::extract
