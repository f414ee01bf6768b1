// Small files of a private destination given to the writer thread (see
// FileWriterThread): which ones go, handing them over, and waiting until
// the thread is done.  Only files go there, and only under names nothing
// else in the folder can hold (the folder was empty and is private); a
// name is never handed over twice (MadeNames), and anything that meets one
// of those names (a folder or a link there) waits for the writer first.
#pragma once
#include "extract/extract_sink.h"
#include "extract/file_writer_thread.h"

#include <cstdint>
#include <memory>
#include <sys/types.h>
#include <vector>

namespace qvo::extract {

class FileHandOff {
public:
    // `privateDestination`: the destination was the user's alone and empty
    // at the start; nothing is handed over anywhere else.
    FileHandOff(bool privateDestination, mode_t umaskBits);

    // Whether the file member, the `memberNumber`th of the archive, goes to
    // the writer thread, which starts with the first that does.
    bool takes(const MemberInfo &member, uint64_t memberNumber);
    // Queues a file taken; false when the thread has failed.
    bool submit(FileWriterThread::File file);
    // Waits until the thread has written one more file.
    void waitForProgress();
    // Waits until every file handed over is on disk or failed; the failures.
    std::vector<FileWriterThread::Failure> flush();
    bool outOfSpace() const;
    uint64_t filesWritten() const;

private:
    const bool privateDestination_;
    const mode_t umaskBits_;
    std::unique_ptr<FileWriterThread> writer_;
    bool unavailable_ = false;
};

} // namespace qvo::extract
