#include "formats/zip/member_compressor.h"

#include "archivers/include/qvo_archiver.h"
#include "codecs/deflate/deflate_encoder.h"
#include "formats/zip/zip_format.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

namespace qvo::archivers::zip32j {


namespace {

// Input taken by workers but not yet written; with two workers and the
// results waiting to be written this keeps the process well under 256 MiB.
constexpr uint64_t kMemoryBudget = 64u << 20;
// Bookkeeping counted per job, so that many tiny files are bounded too.
constexpr uint64_t kJobOverhead = 4096;
constexpr unsigned kMaxWorkers = 4;
// Below this much input (bookkeeping included) starting threads costs more
// than they save: the jobs are done on the writer's thread as it takes them.
// Typical of the many tiny archives of a batch.
constexpr uint64_t kInlineWorkLimit = 128u << 10;
// Results the writer waits for at once when it has to wait.
constexpr size_t kWakeBatch = 8;

uint64_t jobCost(const CompressJob &j)
{
    return j.length + kJobOverhead;
}

// Reads up to `size` bytes at `offset`; returns how many were read, or -1.
int64_t readAt(int fd, uint64_t offset, uint8_t *to, uint64_t size)
{
    uint64_t done = 0;
    while (done < size) {
        ssize_t n = pread(fd, to + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

class FileHandle {
public:
    explicit FileHandle(const std::filesystem::path &p) : fd_(open(p.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileHandle()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// A source file that cannot be read is a missing input: the archive would
// lack it, so the whole call fails.
constexpr int32_t kErrSourceRead = kErrNoFiles;

void compressWhole(const CompressJob &job, codecs::deflate::Deflater *deflater, CompressResult &r)
{
    FileHandle f(job.path);
    std::vector<uint8_t> input(job.length);
    int64_t n = f.fd() < 0 ? -1 : readAt(f.fd(), 0, input.data(), job.length);
    if (n < 0) {
        r.error = kErrSourceRead;
        return;
    }
    // A file that shrank since the walk is packed as it is now.
    input.resize(static_cast<size_t>(n));
    r.length = input.size();
    r.crc = codecs::deflate::crc32(0, input);
    if (deflater && deflater->compress(input, r.data)) {
        r.method = formats::zip::kMethodDeflate;
        return;
    }
    r.method = formats::zip::kMethodStore;
    r.data = std::move(input);
}

void compressChunk(const CompressJob &job, codecs::deflate::Deflater *deflater, CompressResult &r)
{
    FileHandle f(job.path);
    std::vector<uint8_t> input(job.length);
    int64_t n = f.fd() < 0 ? -1 : readAt(f.fd(), job.offset, input.data(), job.length);
    if (n < 0 || static_cast<uint64_t>(n) != job.length) {
        // The chunks of one member must line up with the size in its
        // header: a file that shrank while being packed cannot be stored.
        r.error = kErrSourceRead;
        return;
    }
    r.length = job.length;
    r.crc = codecs::deflate::crc32(0, input);
    if (!deflater) {
        r.method = formats::zip::kMethodStore;
        r.data = std::move(input);
        return;
    }
    r.method = formats::zip::kMethodDeflate;
    deflater->compressChunk(input, job.lastChunk, r.data);
}

} // namespace

void appendJobs(const std::filesystem::path &path, uint64_t size, std::vector<CompressJob> &jobs)
{
    if (size <= codecs::deflate::kWholeBufferLimit) {
        jobs.push_back(CompressJob{path, 0, size, false, false});
        return;
    }
    for (uint64_t at = 0; at < size; at += codecs::deflate::kChunkSize) {
        uint64_t len = std::min<uint64_t>(codecs::deflate::kChunkSize, size - at);
        jobs.push_back(CompressJob{path, at, len, true, at + len == size});
    }
}

struct MemberCompressor::Shared {
    int level = 0;
    std::vector<CompressJob> jobs;
    std::vector<std::optional<CompressResult>> results;
    std::mutex m;
    std::condition_variable workCv; // a job may be taken, or stop
    std::condition_variable doneCv; // a result arrived
    size_t nextJob = 0;
    uint64_t takenCost = 0;
    size_t waitingFor = SIZE_MAX; // the result the writer sleeps on ...
    size_t waitUntil = 0;         // ... and the last one it is woken for
    unsigned idleWorkers = 0;     // workers sleeping on workCv
    bool stop = false;
    std::vector<std::thread> workers;
    bool inlineWork = false;              // no workers: take() compresses
    std::unique_ptr<codecs::deflate::Deflater> inlineDeflater;

    CompressResult runJob(const CompressJob &job, std::unique_ptr<codecs::deflate::Deflater> &deflater) const
    {
        CompressResult r;
        try {
            if (level > 0 && !deflater)
                deflater = std::make_unique<codecs::deflate::Deflater>(level);
            if (job.chunk)
                compressChunk(job, deflater.get(), r);
            else
                compressWhole(job, deflater.get(), r);
        } catch (...) {
            r = CompressResult{};
            r.error = kErrInternal;
        }
        return r;
    }

    // With m held: every result the writer waits for is in.
    bool batchReady() const
    {
        for (size_t i = waitingFor; i <= waitUntil; ++i) {
            if (!results[i])
                return false;
        }
        return true;
    }

    void work()
    {
        std::unique_ptr<codecs::deflate::Deflater> deflater;
        for (;;) {
            size_t index;
            {
                std::unique_lock lock(m);
                // The job the writer waits for is always allowed (nothing else
                // is taken then), so the budget never stalls the pipeline.
                ++idleWorkers;
                workCv.wait(lock, [&] {
                    return stop || (nextJob < jobs.size() &&
                                    (takenCost == 0 || takenCost + jobCost(jobs[nextJob]) <= kMemoryBudget));
                });
                --idleWorkers;
                if (stop)
                    return;
                index = nextJob++;
                takenCost += jobCost(jobs[index]);
            }
            CompressResult r = runJob(jobs[index], deflater);
            std::lock_guard lock(m);
            results[index] = std::move(r);
            if (waitingFor <= index && index <= waitUntil && batchReady())
                doneCv.notify_one();
        }
    }
};

MemberCompressor::MemberCompressor(int level, std::vector<CompressJob> jobs)
    : shared_(std::make_unique<Shared>())
{
    shared_->level = level;
    shared_->jobs = std::move(jobs);
    shared_->results.resize(shared_->jobs.size());
    if (shared_->jobs.empty())
        return;
    uint64_t work = 0;
    for (const CompressJob &job : shared_->jobs)
        work += jobCost(job);
    if (work <= kInlineWorkLimit) {
        shared_->inlineWork = true;
        return;
    }
    unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWorkers);
    n = static_cast<unsigned>(std::min<size_t>(n, shared_->jobs.size()));
    try {
        for (unsigned i = 0; i < n; ++i)
            shared_->workers.emplace_back([s = shared_.get()] { s->work(); });
    } catch (...) {
        if (shared_->workers.empty())
            throw;
        // Fewer threads than wished still get the work done.
    }
}

MemberCompressor::~MemberCompressor()
{
    {
        std::lock_guard lock(shared_->m);
        shared_->stop = true;
    }
    shared_->workCv.notify_all();
    for (auto &t : shared_->workers)
        t.join();
}

CompressResult MemberCompressor::take(size_t index)
{
    Shared &s = *shared_;
    if (s.inlineWork)
        return s.runJob(s.jobs[index], s.inlineDeflater);
    std::unique_lock lock(s.m);
    if (!s.results[index]) {
        // Woken for a few results at a time rather than for each: the
        // members of a tree of small files take microseconds to compress,
        // and a wake-up per member costs the workers about as much.  Only
        // jobs already taken are waited for, so the wait always ends.
        s.waitingFor = index;
        s.waitUntil = s.nextJob > index ? std::min(index + kWakeBatch, s.nextJob) - 1 : index;
        s.doneCv.wait(lock, [&] { return s.batchReady(); });
        s.waitingFor = SIZE_MAX;
    }
    CompressResult r = std::move(*s.results[index]);
    s.results[index].reset();
    s.takenCost -= jobCost(s.jobs[index]);
    bool wake = s.idleWorkers > 0 && s.nextJob < s.jobs.size();
    lock.unlock();
    if (wake)
        s.workCv.notify_all();
    return r;
}

} // namespace qvo::archivers::zip32j
