// Creating small extracted files on a thread of their own.
//
// Creating a file, writing it, setting its time and closing it are four
// system calls that cost far more than decoding a file of a few KiB.  When
// the sink has decided everything about a member (its folder, its name,
// its mode and time, its data), the calls themselves can run beside the
// decoding of the next members: the sink hands such files over here and
// goes on.  Files are created with O_EXCL under their final name; one that
// cannot be made whole leaves nothing behind and is reported with the
// sequence number of its member, so the sink can tell which failure came
// first.  Memory is bounded: submit() waits while too much data is queued.
#pragma once
#include "base/unique_fd.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace qvo::extract {

class FileWriterThread {
public:
    static constexpr uint64_t kMaxFileSize = 1u << 20;    // larger files are written in place
    static constexpr uint64_t kMaxQueuedBytes = 16u << 20; // data waiting at most

    struct File {
        std::shared_ptr<const base::UniqueFd> folder; // open while the file waits
        std::string name;
        std::vector<uint8_t> data;
        mode_t mode = 0600;
        std::optional<timespec> mtime;
        uint64_t sequence = 0; // of the member, for ordering failures
    };

    struct Failure {
        uint64_t sequence;
        int32_t code;
    };

    // False when the thread would not pay (the caller writes in place).
    // QVO_TEST_WRITER_THREAD=1 in the environment makes it true on any
    // machine, so that tests exercise the thread.
    static bool usable();

    FileWriterThread();
    // Writes what is still queued, then stops.
    ~FileWriterThread();
    FileWriterThread(const FileWriterThread &) = delete;
    FileWriterThread &operator=(const FileWriterThread &) = delete;

    // Queues a file; waits while the queue holds too much data.  False
    // when the thread is gone (the file was not taken).
    bool submit(File file);
    // Returns once every file submitted so far is on disk or has failed.
    void flush();
    // Returns once the thread is done with one more file (written or
    // failed) than when called, or has nothing left to do.
    void waitForProgress();
    // Failures so far, each reported once.
    std::vector<Failure> takeFailures();
    // A write met a full volume or quota.
    bool outOfSpace() const;
    // Files created so far (tests see by it that the thread did the work).
    uint64_t filesWritten() const;

private:
    void run();
    static int32_t write(const File &file, bool &outOfSpace);

    mutable std::mutex mutex_;
    std::condition_variable wake_;  // work arrived, or stop
    std::condition_variable room_;  // queued data went down, or all done
    std::deque<File> queue_;
    uint64_t queuedBytes_ = 0;
    bool busy_ = false;
    uint64_t filesDone_ = 0; // written or failed
    bool stopping_ = false;
    std::atomic<bool> outOfSpace_{false};
    std::vector<Failure> failures_;
    uint64_t filesWritten_ = 0;
    std::thread thread_;
};

} // namespace qvo::extract
