#include "formats/lha/lha_ahead_queue.h"

namespace qvo::formats::lha {

bool LhaAheadQueue::takes(const char *method, uint64_t length, const extract::MemberInfo &info, bool mac,
                          size_t members) const
{
    return members > kStartAfter && ahead_.available() && info.kind == extract::MemberInfo::Kind::File && !mac
        && LhaDecodeAhead::suits(method, length);
}

void LhaAheadQueue::add(const extract::MemberInfo &info, const char *method, uint64_t dataOffset,
                        uint64_t compressedLength, uint64_t length, uint16_t crc, extract::ExtractSink &sink)
{
    ahead_.submit(method, dataOffset, compressedLength, length, crc);
    pending_.push_back({info, true, length});
    bytes_ += length;
    while (pending_.size() > LhaDecodeAhead::kMaxAheadMembers || bytes_ > LhaDecodeAhead::kMaxAheadBytes)
        finishFront(sink);
}

bool LhaAheadQueue::queuesWithoutData(const extract::MemberInfo &info) const
{
    return !pending_.empty()
           && (info.kind == extract::MemberInfo::Kind::Directory || info.kind == extract::MemberInfo::Kind::Symlink);
}

void LhaAheadQueue::addWithoutData(const extract::MemberInfo &info, extract::ExtractSink &sink)
{
    pending_.push_back({info, false, 0});
    if (pending_.size() > LhaDecodeAhead::kMaxAheadMembers)
        finishFront(sink);
}

void LhaAheadQueue::drain(extract::ExtractSink &sink)
{
    while (!pending_.empty())
        finishFront(sink);
}

void LhaAheadQueue::finishFront(extract::ExtractSink &sink)
{
    Pending p = std::move(pending_.front());
    pending_.pop_front();
    if (!p.decoded) {
        if (!sink.stopped())
            sink.beginMember(p.info);
        return;
    }
    bytes_ -= p.length;
    // Once stopped, the sink stays stopped: the members still being decoded
    // are never taken, and the pool drops them.
    if (sink.stopped())
        return;
    LhaDecodeAhead::Member member = ahead_.take();
    if (sink.beginMember(p.info) == archivers::kOk) {
        if (!member.ok) {
            sink.endMember(false, archivers::kErrCorrupt);
        } else {
            int32_t w = member.length == 0
                ? archivers::kOk
                : sink.write(reinterpret_cast<const char *>(member.data.get()), static_cast<size_t>(member.length));
            sink.endMember(w == archivers::kOk, w == archivers::kOk ? archivers::kErrCorrupt : w);
        }
    }
    ahead_.recycle(member);
}

} // namespace qvo::formats::lha
