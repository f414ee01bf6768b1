#include "formats/lha/lha_decode_ahead.h"

#include "codecs/lha/lha_crc16.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <cerrno>
#include <cstring>
#include <unistd.h>

extern "C" {
#include <lhasa.h>
}

namespace qvo::archivers {
namespace {

constexpr unsigned kMaxWorkers = 4;
constexpr size_t kChunk = 64 * 1024;
constexpr size_t kMinBuffer = 64 * 1024;
// Sleeping workers are woken once this many members wait: waking one per
// member of a few KiB costs about as much as decoding it.
constexpr size_t kWakeBatch = 4;
// The largest member the writer decodes while it waits for another.
constexpr uint64_t kMaxHelpSize = 256 * 1024;

// The member's compressed bytes, read with pread so that the file position
// lhasa's reader relies on is left alone.  lhasa asks for a few bytes at a
// time: they come from a buffer.
struct RangeInput {
    int fd;
    uint64_t pos;
    uint64_t left;
    uint8_t *buffer; // kChunk bytes, the thread's own
    size_t at = 0;
    size_t end = 0;

    bool refill()
    {
        size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, left));
        while (want > 0) {
            ssize_t n = ::pread(fd, buffer, want, static_cast<off_t>(pos));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break; // a file shorter than its header says: the data comes out short
            pos += static_cast<uint64_t>(n);
            left -= static_cast<uint64_t>(n);
            at = 0;
            end = static_cast<size_t>(n);
            return true;
        }
        left = 0;
        return false;
    }

    static size_t read(void *buf, size_t len, void *handle)
    {
        auto *in = static_cast<RangeInput *>(handle);
        auto *out = static_cast<uint8_t *>(buf);
        size_t done = 0;
        while (done < len) {
            if (in->at == in->end && !in->refill())
                break;
            size_t n = std::min(len - done, in->end - in->at);
            std::memcpy(out + done, in->buffer + in->at, n);
            in->at += n;
            done += n;
        }
        return done;
    }
};

// Methods that store the data as it is.
bool isStored(const std::string &method)
{
    return method == "-lh0-" || method == "-lz4-" || method == "-pm0-";
}

// lhasa names its decoders by the method as headers write it ("-lh5-").
LHADecoderType *decoderFor(const std::string &method)
{
    std::string name = method;
    return lha_decoder_for_name(name.data());
}

} // namespace

LhaDecodeAhead::LhaDecodeAhead(int fd)
    : fd_(fd), workerCount_(std::min(std::thread::hardware_concurrency(), kMaxWorkers))
{
    if (workerCount_ < 2)
        workerCount_ = 0;
}

LhaDecodeAhead::~LhaDecodeAhead()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (std::thread &t : workers_)
        t.join();
}

bool LhaDecodeAhead::suits(const char *method, uint64_t length)
{
    if (!method || length > kMaxMemberSize)
        return false;
    std::string m(method);
    return m.size() == 5 && m.front() == '-' && m.back() == '-' && m != "-lhd-" && decoderFor(m) != nullptr;
}

std::shared_ptr<LhaDecodeAhead::Job> LhaDecodeAhead::submit(std::string method, uint64_t dataOffset,
                                                           uint64_t compressedLength, uint64_t length,
                                                           uint16_t crc)
{
    auto job = std::make_shared<Job>();
    bool wakeWorker = false;
    job->method = std::move(method);
    job->dataOffset = dataOffset;
    job->compressedLength = compressedLength;
    job->length = length;
    job->crc = crc;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        takeBuffer(*job);
        queue_.push_back(job);
        wakeWorker = queue_.size() >= kWakeBatch;
        // Threads start with the first job: archives of a member or two
        // never pay for them.
        if (workers_.size() < workerCount_) {
            try {
                workers_.emplace_back([this] { work(); });
            } catch (const std::system_error &) {
                // Fewer threads than wished still get the work done.
            }
        }
    }
    if (wakeWorker)
        wake_.notify_one();
    return job;
}

// With mutex_ held.
void LhaDecodeAhead::takeBuffer(Job &job)
{
    auto fits = std::find_if(spare_.begin(), spare_.end(), [&](const auto &b) { return b.second >= job.length; });
    if (fits == spare_.end())
        return; // decode() allocates
    job.data = std::move(fits->first);
    job.capacity = fits->second;
    spare_.erase(fits);
}

void LhaDecodeAhead::recycle(Job &job)
{
    if (!job.data)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.size() < kMaxAheadMembers)
        spare_.emplace_back(std::move(job.data), job.capacity);
    job.data.reset();
    job.capacity = 0;
}

void LhaDecodeAhead::wait(const Job &job)
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!job.done) {
        // Rather than sleep while a worker finishes this member, decode the
        // next one nobody has started (this very one when no worker got to
        // it, or none could be started): a sleeping writer leaves a core
        // idle.  A large member would hold the writer up for too long.
        if (!queue_.empty() && (queue_.front().get() == &job || queue_.front()->length <= kMaxHelpSize)) {
            std::shared_ptr<Job> next = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            decode(fd_, *next);
            lock.lock();
            next->done = true;
            continue;
        }
        finished_.wait(lock);
    }
}

void LhaDecodeAhead::work()
{
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            job = queue_.front();
            queue_.pop_front();
        }
        decode(fd_, *job);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job->done = true;
        }
        finished_.notify_all();
    }
}

bool LhaDecodeAhead::prepareBuffer(Job &job)
{
    const auto length = static_cast<size_t>(job.length);
    if (job.capacity >= length)
        return true;
    // Room for members of any size up to the limit, so buffers serve again
    // whatever comes next.
    size_t capacity = std::max(length, kMinBuffer);
    job.data.reset(new (std::nothrow) uint8_t[capacity]);
    job.capacity = job.data ? capacity : 0;
    return job.data != nullptr;
}

// Stored members are read straight into the buffer: lhasa's pass-through
// decoder would copy them a few KiB at a time and count the CRC byte by byte.
void LhaDecodeAhead::readStored(int fd, Job &job)
{
    const auto length = static_cast<size_t>(job.length);
    const size_t available = static_cast<size_t>(std::min(job.compressedLength, job.length));
    size_t total = 0;
    while (total < available) {
        ssize_t n = ::pread(fd, job.data.get() + total, available - total,
                            static_cast<off_t>(job.dataOffset + total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<size_t>(n);
    }
    job.ok = total == length && codecs::lha::crc16Update(0, job.data.get(), length) == job.crc;
}

void LhaDecodeAhead::decode(int fd, Job &job)
{
    job.ok = false;
    LHADecoderType *type = decoderFor(job.method);
    if (!type || !prepareBuffer(job))
        return;
    if (isStored(job.method)) {
        readStored(fd, job);
        return;
    }
    // One input buffer per thread: most members are a few KiB, and a fresh
    // 64 KiB block for each would cost more than reading them.
    thread_local std::unique_ptr<uint8_t[]> inputBuffer(new uint8_t[kChunk]);
    RangeInput input{fd, job.dataOffset, job.compressedLength, inputBuffer.get()};
    LHADecoder *decoder = lha_decoder_new(type, &RangeInput::read, &input, static_cast<size_t>(job.length));
    if (!decoder)
        return;
    const auto length = static_cast<size_t>(job.length);
    size_t total = 0;
    while (total < length) {
        size_t n = lha_decoder_read(decoder, job.data.get() + total, std::min(kChunk, length - total));
        if (n == 0)
            break;
        total += n;
    }
    job.ok = total == job.length && lha_decoder_get_crc(decoder) == job.crc;
    lha_decoder_free(decoder);
}

} // namespace qvo::archivers
