#include "extract/file_writer_thread.h"

#include "archivers/include/qvo_archiver.h"
#include "base/machine_share.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::extract {

bool FileWriterThread::usable()
{
    if (const char *force = std::getenv("QVO_TEST_WRITER_THREAD"); force && std::string_view(force) == "1")
        return true;
    // On one processor the thread would only take turns with the decoder.
    return base::coresForOneConversion() > 1;
}

FileWriterThread::FileWriterThread() : thread_([this] { run(); }) {}

FileWriterThread::~FileWriterThread()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

bool FileWriterThread::submit(File file)
{
    const uint64_t size = file.data.size();
    std::unique_lock<std::mutex> lock(mutex_);
    // One file larger than the whole allowance still goes, alone.
    room_.wait(lock, [&] { return stopping_ || queuedBytes_ == 0 || queuedBytes_ + size <= base::shareOfBudget(kMaxQueuedBytes); });
    if (stopping_)
        return false;
    queuedBytes_ += size;
    queue_.push_back(std::move(file));
    const bool idle = !busy_;
    lock.unlock();
    if (idle)
        wake_.notify_one();
    return true;
}

void FileWriterThread::flush()
{
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void FileWriterThread::waitForProgress()
{
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t done = filesDone_;
    room_.wait(lock, [&] { return filesDone_ != done || (queue_.empty() && !busy_); });
}

std::vector<FileWriterThread::Failure> FileWriterThread::takeFailures()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(failures_, {});
}

bool FileWriterThread::outOfSpace() const
{
    return outOfSpace_.load(std::memory_order_relaxed);
}

uint64_t FileWriterThread::filesWritten() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return filesWritten_;
}

void FileWriterThread::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return; // stopping, and everything was written
        File file = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        bool full = false;
        const int32_t result = write(file, full);
        const uint64_t size = file.data.size();
        const uint64_t sequence = file.sequence;
        file = File{}; // the data and the folder go before the lock is taken
        lock.lock();
        busy_ = false;
        ++filesDone_;
        queuedBytes_ -= size;
        if (result != archivers::kOk)
            failures_.push_back({sequence, result});
        else
            ++filesWritten_;
        if (full)
            outOfSpace_ = true;
        room_.notify_all();
    }
}

int32_t FileWriterThread::write(const File &file, bool &outOfSpace)
{
    const int dir = file.folder->get();
    base::UniqueFd fd(::openat(dir, file.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, file.mode));
    if (!fd) {
        outOfSpace = errno == ENOSPC || errno == EDQUOT;
        return errno == EEXIST ? archivers::kErrExists : archivers::kErrWrite;
    }
    const uint8_t *p = file.data.data();
    size_t left = file.data.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd.get(), p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            outOfSpace = n < 0 && (errno == ENOSPC || errno == EDQUOT);
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && file.mtime) {
        timespec times[2] = {{0, UTIME_OMIT}, *file.mtime};
        ::futimens(fd.get(), times);
    }
    if (ok && ::close(fd.release()) != 0) {
        outOfSpace = errno == ENOSPC || errno == EDQUOT;
        ok = false;
    }
    if (!ok) {
        fd.reset();
        ::unlinkat(dir, file.name.c_str(), 0);
        return archivers::kErrWrite;
    }
    return archivers::kOk;
}

} // namespace qvo::extract
