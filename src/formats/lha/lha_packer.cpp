#include "formats/lha/lha_packer.h"

#include "archivers/include/qvo_archiver.h"
#include "formats/lha/mapped_file.h"
#include "codecs/lha/lha_crc16.h"

#include <algorithm>

namespace qvo::archivers::unlha32 {

using namespace qvo::codecs::lha;

PackedMember packFileInMemory(const SourceEntry &entry, LhaMethod method)
{
    PackedMember m;
    MappedFile in;
    if ((m.error = in.open(entry.diskPath)) != kOk)
        return m;
    m.originalSize = uint32_t(in.size());
    m.crc = crc16Update(0, in.data(), in.size());
    m.method = method;
    if (method != LhaMethod::Lh0) {
        ByteSink sink = [&](const uint8_t *p, size_t n) {
            m.bytes.insert(m.bytes.end(), p, p + n);
            return true;
        };
        if (encodeLhaMember(method, in.data(), in.size(), sink).status != EncodeStatus::Ok)
            m.method = LhaMethod::Lh0;
    }
    if (m.method == LhaMethod::Lh0)
        m.bytes.assign(in.data(), in.data() + in.size());
    return m;
}

ParallelPacker::ParallelPacker(const std::vector<SourceEntry> &entries, LhaMethod method)
    : entries_(entries), method_(method), jobOfEntry_(entries.size(), -1)
{
    unsigned threads = std::min(4u, std::thread::hardware_concurrency());
    if (threads < 2)
        return; // the writer packs everything itself
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == SourceEntry::Kind::File && entries[i].size <= kMaxParallelFile) {
            jobOfEntry_[i] = long(jobEntries_.size());
            jobEntries_.push_back(i);
        }
    }
    results_.resize(jobEntries_.size());
    done_.resize(jobEntries_.size(), false);
    for (unsigned t = 0; t < threads && !jobEntries_.empty(); ++t)
        workers_.emplace_back([this] { work(); });
}

ParallelPacker::~ParallelPacker()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (auto &w : workers_)
        w.join();
}

void ParallelPacker::work()
{
    for (;;) {
        size_t job;
        {
            std::unique_lock lock(mutex_);
            // The job the writer waits for always runs; later ones only
            // within the limits.
            changed_.wait(lock, [&] {
                if (stop_ || nextJob_ >= jobEntries_.size())
                    return true;
                uint64_t s = entries_[jobEntries_[nextJob_]].size;
                return nextJob_ == taken_ ||
                       (nextJob_ < taken_ + kMaxJobsAhead && bytesAhead_ + s <= kMaxBytesAhead);
            });
            if (stop_ || nextJob_ >= jobEntries_.size())
                return;
            job = nextJob_++;
            bytesAhead_ += entries_[jobEntries_[job]].size;
        }
        PackedMember m;
        try {
            m = packFileInMemory(entries_[jobEntries_[job]], method_);
        } catch (...) {
            // Nothing may leave a worker thread; the writer reports it.
            m = PackedMember{};
            m.error = kErrInternal;
        }
        {
            std::lock_guard lock(mutex_);
            results_[job] = std::move(m);
            done_[job] = true;
        }
        changed_.notify_all();
    }
}

PackedMember ParallelPacker::take(size_t index)
{
    const size_t job = size_t(jobOfEntry_[index]);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return bool(done_[job]); });
    PackedMember m = std::move(results_[job]);
    bytesAhead_ -= entries_[index].size;
    taken_ = job + 1;
    lock.unlock();
    changed_.notify_all();
    return m;
}

} // namespace qvo::archivers::unlha32
