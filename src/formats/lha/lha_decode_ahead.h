// Decoding small LHA members ahead of the writer, on worker threads.
//
// LHA members are compressed one by one, and a tree of small files spends
// most of its extraction time in lhasa's decoders.  While the sink writes
// one member, workers decode the next few from the file, each with a
// decoder of its own; members still reach the sink one at a time, in
// archive order.  Large members are left to the streaming path, so memory
// stays bounded by kMaxAheadBytes.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvo::archivers {

class LhaDecodeAhead {
public:
    static constexpr uint64_t kMaxMemberSize = 4ull << 20;
    static constexpr uint64_t kMaxAheadBytes = 32ull << 20;
    static constexpr size_t kMaxAheadMembers = 256;

    struct Job {
        // In: where the member's compressed data lies and what it decodes to.
        std::string method;
        uint64_t dataOffset = 0;
        uint64_t compressedLength = 0;
        uint64_t length = 0;
        uint16_t crc = 0;
        // Out, once done: the data (`length` bytes), and whether length
        // and CRC matched.
        std::unique_ptr<uint8_t[]> data;
        size_t capacity = 0;
        bool ok = false;
        bool done = false;
    };

    explicit LhaDecodeAhead(int fd);
    ~LhaDecodeAhead();
    LhaDecodeAhead(const LhaDecodeAhead &) = delete;
    LhaDecodeAhead &operator=(const LhaDecodeAhead &) = delete;

    // False on a single processor: decoding ahead would only add copies.
    bool available() const { return workerCount_ > 0; }
    // Whether lhasa decodes this method and the member is small enough.
    static bool suits(const char *method, uint64_t length);

    std::shared_ptr<Job> submit(std::string method, uint64_t dataOffset, uint64_t compressedLength,
                                uint64_t length, uint16_t crc);
    void wait(const Job &job);
    // Gives a finished job's buffer back for later jobs: fresh blocks of
    // this size would be mapped and unmapped each time, which costs more
    // than decoding them when several threads share the address space.
    void recycle(Job &job);

    // Decodes one member from the file, on the calling thread.
    static void decode(int fd, Job &job);

private:
    static bool prepareBuffer(Job &job);
    static void readStored(int fd, Job &job);
    void work();
    void takeBuffer(Job &job);

    int fd_;
    unsigned workerCount_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::vector<std::pair<std::unique_ptr<uint8_t[]>, size_t>> spare_;
    bool stopping_ = false;
};

} // namespace qvo::archivers
