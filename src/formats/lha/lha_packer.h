// Compresses the smaller files of a create command on worker threads, ahead
// of the thread that writes the archive, which takes the results in entry
// order.  Memory stays bounded: workers run at most a fixed number of files
// and bytes ahead of the writer.
#pragma once
#include "extract/source_tree.h"
#include "codecs/lha/lha_method.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace qvo::archivers::unlha32 {

// One packed member: what goes into the archive after its header.
struct PackedMember {
    int32_t error = 0;      // 0 or an ArchiverResult code
    codecs::lha::LhaMethod method = codecs::lha::LhaMethod::Lh0;
    uint32_t originalSize = 0;
    uint16_t crc = 0;
    std::vector<uint8_t> bytes; // compressed data, or the file itself when stored
};

// Packs one file into memory (any size the caller accepts).
PackedMember packFileInMemory(const SourceEntry &entry, codecs::lha::LhaMethod method);

class ParallelPacker {
public:
    // Files up to this size are packed by the workers; larger ones are
    // streamed by the writer itself.
    static constexpr uint64_t kMaxParallelFile = 8u << 20;

    ParallelPacker(const std::vector<SourceEntry> &entries, codecs::lha::LhaMethod method);
    ~ParallelPacker();
    ParallelPacker(const ParallelPacker &) = delete;
    ParallelPacker &operator=(const ParallelPacker &) = delete;

    // True when entry `index` is packed by the workers.
    bool handles(size_t index) const { return jobOfEntry_[index] >= 0; }
    // Waits for entry `index` (entries must be taken in increasing order).
    PackedMember take(size_t index);

private:
    static constexpr size_t kMaxJobsAhead = 256;
    static constexpr uint64_t kMaxBytesAhead = 64u << 20;

    void work();

    const std::vector<SourceEntry> &entries_;
    const codecs::lha::LhaMethod method_;
    std::vector<long> jobOfEntry_;  // -1: not a job
    std::vector<size_t> jobEntries_; // entry index per job

    std::mutex mutex_;
    std::condition_variable changed_;
    size_t nextJob_ = 0;  // next job a worker claims
    size_t taken_ = 0;    // jobs the writer has taken
    uint64_t bytesAhead_ = 0;
    bool stop_ = false;
    std::vector<PackedMember> results_;
    std::vector<bool> done_;
    std::vector<std::thread> workers_;
};

} // namespace qvo::archivers::unlha32
