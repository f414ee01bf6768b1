// Compresses the smaller files of a create command on worker threads, ahead
// of the thread that writes the archive, which takes the results in entry
// order.  Memory stays bounded: workers run at most a fixed number of files
// and bytes ahead of the writer.
#pragma once
#include "base/ordered_workers.h"
#include "codecs/lha/lha_method.h"
#include "create/archive_writer.h"

#include <cstdint>
#include <vector>

namespace qvo::formats::lha {

// One packed member: what goes into the archive after its header.
struct PackedMember {
    create::WriteStatus status = create::WriteStatus::Ok;
    codecs::lha::LhaMethod method = codecs::lha::LhaMethod::Lh0;
    uint32_t originalSize = 0;
    uint16_t crc = 0;
    std::vector<uint8_t> bytes; // compressed data, or the file itself when stored
};

// Packs one file into memory (any size the caller accepts).
PackedMember packFileInMemory(const create::WriterEntry &entry, codecs::lha::LhaMethod method);

class ParallelPacker {
public:
    // Files up to this size are packed by the workers; larger ones are
    // streamed by the writer itself.
    static constexpr uint64_t kMaxParallelFile = 8u << 20;

    ParallelPacker(const std::vector<create::WriterEntry> &entries, codecs::lha::LhaMethod method);

    // True when entry `index` is packed by the workers.
    bool handles(size_t index) const { return handled_[index]; }
    // Waits for the next entry it handles, in entry order.
    PackedMember take();

private:
    struct Job {
        size_t entry;
        PackedMember packed;
    };

    static constexpr size_t kMaxJobsAhead = 256;
    static constexpr uint64_t kMaxBytesAhead = 64u << 20;

    std::vector<bool> handled_;
    base::OrderedWorkers<Job> workers_;
};

} // namespace qvo::formats::lha
