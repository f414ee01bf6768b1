// Reads and compresses the data of the members of one archive on worker
// threads, handing the results back strictly in archive order.
//
// The work is a list of jobs: a whole file (up to kWholeBufferLimit) or one
// chunk of a larger file, run on an ordered worker pool.  Workers take jobs
// in order as long as the input taken but not yet handed back stays within
// a memory budget, so memory is bounded whatever the file sizes while both
// cores stay busy; the writer thread meanwhile writes what is done.  A small
// archive's jobs are done on the writer's thread instead: starting threads
// would cost more than they save.
#pragma once
#include "base/ordered_workers.h"
#include "create/archive_writer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace qvo::codecs::deflate {
class Deflater;
}

namespace qvo::formats::zip {

struct CompressJob {
    std::filesystem::path path;
    uint64_t offset = 0; // chunks: where the chunk starts
    uint64_t length = 0; // bytes to read (whole files: the size seen by the walk)
    bool chunk = false;  // part of a chunked member
    bool lastChunk = false;
};

struct CompressResult {
    create::WriteStatus status = create::WriteStatus::Ok; // the data below is valid only when Ok
    uint16_t method = 0;    // kMethodStore or kMethodDeflate
    uint32_t crc = 0;       // of the uncompressed bytes
    uint64_t length = 0;    // uncompressed bytes read
    std::vector<uint8_t> data;
};

// The jobs of one file of `size` bytes, in order.
void appendJobs(const std::filesystem::path &path, uint64_t size, std::vector<CompressJob> &jobs);

class MemberCompressor {
public:
    // level 0 stores, 1-9 deflate.
    MemberCompressor(int level, std::vector<CompressJob> jobs);
    // Stops the workers (a job in progress is finished and dropped).
    ~MemberCompressor();

    // The result of the next job, in the order of the list, waiting for it.
    CompressResult take();

private:
    struct Job {
        CompressJob in;
        CompressResult out;
    };

    void run(Job &job, unsigned slot);

    int level_;
    // One deflate state per thread (the pool's slots), made on first use.
    std::vector<std::unique_ptr<codecs::deflate::Deflater>> deflaters_;
    base::OrderedWorkers<Job> workers_;
};

} // namespace qvo::formats::zip
