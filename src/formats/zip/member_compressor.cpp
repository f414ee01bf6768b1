#include "formats/zip/member_compressor.h"

#include "codecs/crc32.h"
#include "codecs/deflate/deflate_encoder.h"
#include "formats/zip/zip_format.h"
#include "platform/environment_switches.h"
#include "platform/file_reading.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace qvo::formats::zip {

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
// Results the writer waits for at once when it has to wait: the members of
// a tree of small files take microseconds to compress, and a wake-up per
// member costs the workers about as much.
constexpr size_t kWakeBatch = 8;

uint64_t jobCost(const CompressJob &j)
{
    return j.length + kJobOverhead;
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

void compressWhole(const CompressJob &job, codecs::deflate::Deflater *deflater, CompressResult &r)
{
    FileHandle f(job.path);
    std::vector<uint8_t> input(job.length);
    int64_t n = f.fd() < 0 ? -1 : platform::readFullyAt(f.fd(), 0, input.data(), job.length);
    if (n < 0) {
        r.status = create::WriteStatus::ReadError;
        return;
    }
    // A file that shrank since the walk is packed as it is now.
    input.resize(static_cast<size_t>(n));
    r.length = input.size();
    r.crc = codecs::crc32(0, input);
    if (deflater && deflater->compress(input, r.data)) {
        r.method = kMethodDeflate;
        return;
    }
    r.method = kMethodStore;
    r.data = std::move(input);
}

void compressChunk(const CompressJob &job, codecs::deflate::Deflater *deflater, CompressResult &r)
{
    FileHandle f(job.path);
    std::vector<uint8_t> input(job.length);
    int64_t n = f.fd() < 0 ? -1 : platform::readFullyAt(f.fd(), job.offset, input.data(), job.length);
    if (n < 0 || static_cast<uint64_t>(n) != job.length) {
        // The chunks of one member must line up with the size in its
        // header: a file that shrank while being packed cannot be stored.
        r.status = create::WriteStatus::ReadError;
        return;
    }
    r.length = job.length;
    r.crc = codecs::crc32(0, input);
    if (!deflater) {
        r.method = kMethodStore;
        r.data = std::move(input);
        return;
    }
    r.method = kMethodDeflate;
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

namespace {

// Worker threads for a list of jobs: none when it is small.
unsigned threadsFor(const std::vector<CompressJob> &jobs)
{
    uint64_t work = 0;
    for (const CompressJob &job : jobs)
        work += jobCost(job);
    return work <= kInlineWorkLimit ? 0 : platform::machineShare().workers(kMaxWorkers, 1);
}

} // namespace

MemberCompressor::MemberCompressor(int level, std::vector<CompressJob> jobs)
    : level_(level),
      workers_(platform::withWorkerSwitches({.threads = threadsFor(jobs),
                                             .maxBytesAhead = platform::machineShare().shareOfBudget(kMemoryBudget),
                                             .resultBatch = kWakeBatch}),
               [this](Job &job, unsigned slot) { run(job, slot); })
{
    deflaters_.resize(workers_.slots());
    for (CompressJob &job : jobs) {
        uint64_t cost = jobCost(job);
        workers_.submit(Job{std::move(job), {}}, cost);
    }
}

MemberCompressor::~MemberCompressor() = default;

void MemberCompressor::run(Job &job, unsigned slot)
{
    std::unique_ptr<codecs::deflate::Deflater> &deflater = deflaters_[slot];
    if (level_ > 0 && !deflater)
        deflater = std::make_unique<codecs::deflate::Deflater>(level_);
    if (job.in.chunk)
        compressChunk(job.in, deflater.get(), job.out);
    else
        compressWhole(job.in, deflater.get(), job.out);
}

CompressResult MemberCompressor::take()
{
    try {
        return std::move(workers_.take().out);
    } catch (...) {
        CompressResult r;
        r.status = create::WriteStatus::Internal;
        return r;
    }
}

} // namespace qvo::formats::zip
