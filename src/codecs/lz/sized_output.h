// The output of a decoder whose member declares its size up front (the
// legacy ZIP methods, LHA's -lh2- and -lh3-): decoded bytes go into a Window
// and out to the sink each time the ring fills.  It refuses to grow past
// the declared size, so a hostile stream cannot make more than that, and it
// settles the member's outcome.
#pragma once
#include "base/byte_stream.h"
#include "codecs/lz/lz_window.h"

#include <algorithm>
#include <cstdint>

namespace qvo::codecs::lz {

class SizedOutput {
public:
    // What a copy from before the start of the member gives: Reduce and
    // Implode encoders relied on zeros, LHA ones on spaces; for Deflate64
    // such a distance is corrupt.
    static constexpr int kRefuseBeforeStart = -1;

    // `windowSize` (a power of two) must cover the method's longest
    // distance; `limit` is the member's declared size; `beforeStart` a
    // byte value or kRefuseBeforeStart.
    SizedOutput(base::ByteSink &sink, size_t windowSize, uint64_t limit, int beforeStart)
        : sink_(sink), window_(windowSize, static_cast<uint8_t>(std::max(beforeStart, 0))), limit_(limit),
          refuseBeforeStart_(beforeStart == kRefuseBeforeStart)
    {
    }

    uint64_t total() const { return window_.produced(); }
    bool full() const { return total() >= limit_; }
    // Set when a write would have passed the limit.
    bool overflowed() const { return overflowed_; }
    bool stopped() const { return stopped_; }

    void put(uint8_t b)
    {
        if (total() >= limit_) {
            overflowed_ = true;
            return;
        }
        window_.put(b);
        if (window_.pos() == 0)
            writeRing();
    }

    // Copies `len` bytes from `dist` bytes back; false when the distance
    // is out of reach.  What would pass the limit is dropped.
    bool copy(uint64_t dist, uint64_t len)
    {
        if (dist == 0 || dist > window_.size())
            return false;
        if (len == 0)
            return true;
        if (refuseBeforeStart_ && dist > total())
            return false;
        // The ring starts out filled with the before-start byte, so a
        // distance reaching before the first byte copies it.
        uint64_t room = limit_ - std::min(total(), limit_);
        if (len > room) {
            len = room;
            overflowed_ = true;
        }
        while (len > 0) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(len, window_.size() - window_.pos()));
            window_.copy(static_cast<size_t>(dist), n);
            len -= n;
            if (window_.pos() == 0)
                writeRing();
        }
        return true;
    }

    // Hands the bytes not yet passed on to the sink.
    void flush()
    {
        if (!stopped_ && !window_.writeUpTo(window_.pos(), limit_, sink_))
            stopped_ = true;
    }

    // Hands the rest to the sink and gives the member's outcome: a sink that
    // stopped comes first, then the decoder's own status, then input that
    // ran out (`inputOverran`), which means a truncated member.
    base::DecodeStatus finish(base::DecodeStatus status, bool inputOverran = false)
    {
        flush();
        if (stopped_)
            return base::DecodeStatus::OutputStopped;
        if (status == base::DecodeStatus::Ok && inputOverran)
            return base::DecodeStatus::Truncated;
        return status;
    }

private:
    void writeRing()
    {
        if (!stopped_ && !window_.writeToRingEnd(limit_, sink_))
            stopped_ = true;
    }

    base::ByteSink &sink_;
    Window window_;
    uint64_t limit_;
    bool refuseBeforeStart_;
    bool overflowed_ = false;
    bool stopped_ = false;
};

} // namespace qvo::codecs::lz
