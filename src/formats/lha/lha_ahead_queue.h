// The reader's line of members decoded ahead: small members go to
// LhaDecodeAhead as the reader walks the archive, folders and links keep
// their place between them, and each reaches the sink in archive order.
// How far the reader may walk ahead of the sink is bounded here, by
// LhaDecodeAhead's member and byte limits.
#pragma once
#include "extract/extract_sink.h"
#include "formats/lha/lha_decode_ahead.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace qvo::formats::lha {

class LhaAheadQueue {
public:
    explicit LhaAheadQueue(int fd) : ahead_(fd) {}

    // Decoding ahead pays once an archive has shown a few members.
    static constexpr size_t kStartAfter = 8;

    // Whether a member (the `members`th of this walk) is decoded ahead.  The
    // reader still checks that its data lies where the header says.
    bool takes(const char *method, uint64_t length, const extract::MemberInfo &info, bool mac, size_t members) const;

    void add(const extract::MemberInfo &info, const char *method, uint64_t dataOffset, uint64_t compressedLength,
             uint64_t length, uint16_t crc, extract::ExtractSink &sink);

    // A folder or link member (no data to decode) while members wait: it
    // keeps its place in line instead of waiting for them all, so that the
    // workers keep going across folders.
    bool queuesWithoutData(const extract::MemberInfo &info) const;
    void addWithoutData(const extract::MemberInfo &info, extract::ExtractSink &sink);

    // Hands every waiting member to the sink, in order.
    void drain(extract::ExtractSink &sink);

private:
    struct Pending {
        extract::MemberInfo info;
        bool decoded; // false: a folder or link
        uint64_t length;
    };

    void finishFront(extract::ExtractSink &sink);

    LhaDecodeAhead ahead_;
    std::deque<Pending> pending_;
    uint64_t bytes_ = 0;
};

} // namespace qvo::formats::lha
