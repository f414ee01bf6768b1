// Decoding small LHA members ahead of the writer, on worker threads.
//
// LHA members are compressed one by one, and a tree of small files spends
// most of its extraction time in lhasa's decoders.  While the sink writes
// one member, workers of an ordered pool decode the next few from the file,
// each with a decoder of its own; members still reach the sink one at a
// time, in archive order.  Large members are left to the streaming path,
// and the reader submits at most kMaxAheadMembers and kMaxAheadBytes ahead
// of the sink, so memory stays bounded.
#pragma once
#include "base/ordered_workers.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qvo::formats::lha {

class LhaDecodeAhead {
public:
    static constexpr uint64_t kMaxMemberSize = 4ull << 20;
    static constexpr uint64_t kMaxAheadBytes = 32ull << 20;
    static constexpr size_t kMaxAheadMembers = 256;

    struct Member {
        // In: where the member's compressed data lies and what it decodes to.
        std::string method;
        uint64_t dataOffset = 0;
        uint64_t compressedLength = 0;
        uint64_t length = 0;
        uint16_t crc = 0;
        // Out, once decoded: the data (`length` bytes), and whether length
        // and CRC matched.
        std::unique_ptr<uint8_t[]> data;
        size_t capacity = 0;
        bool ok = false;
    };

    explicit LhaDecodeAhead(int fd);

    // False on a single processor: decoding ahead would only add copies.
    bool available() const { return workers_.threads() > 0; }
    // Whether lhasa decodes this method and the member is small enough.
    static bool suits(const char *method, uint64_t length);

    void submit(std::string method, uint64_t dataOffset, uint64_t compressedLength, uint64_t length, uint16_t crc);
    // The oldest member submitted and not yet taken, decoded.
    Member take();
    // Gives a taken member's buffer back for later members: fresh blocks of
    // this size would be mapped and unmapped each time, which costs more
    // than decoding them when several threads share the address space.
    void recycle(Member &member);

private:
    void decode(Member &member, unsigned slot);
    void readStored(Member &member);
    static bool prepareBuffer(Member &member);

    int fd_;
    // Buffers kept here rather than in the pool: only the reader's thread
    // submits and recycles, so they need no lock.
    std::vector<std::pair<std::unique_ptr<uint8_t[]>, size_t>> spare_;
    // Each thread's input buffer, by pool slot: most members are a few KiB,
    // and a fresh 64 KiB block for each would cost more than reading them.
    std::vector<std::unique_ptr<uint8_t[]>> inputBuffers_;
    base::OrderedWorkers<Member> workers_;
};

} // namespace qvo::formats::lha
