#include "formats/lha/lha_decode_ahead.h"

#include "codecs/lha/lha_crc16.h"
#include "platform/file_reading.h"

#include <algorithm>
#include <new>
#include <cerrno>
#include <cstring>
#include <unistd.h>

extern "C" {
#include <lhasa.h>
}

namespace qvo::formats::lha {
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
    : fd_(fd),
      workers_({.threads = base::hardwareWorkers(kMaxWorkers),
                .jobBatch = kWakeBatch,
                // Rather than sleep while a worker finishes a member, the
                // writer decodes the next one nobody has started: a sleeping
                // writer leaves a core idle.  A large member would hold the
                // writer up for too long.
                .consumerHelps = true,
                .consumerHelpsUpTo = kMaxHelpSize},
               [this](Member &member, unsigned slot) { decode(member, slot); })
{
    inputBuffers_.resize(workers_.slots());
}

bool LhaDecodeAhead::suits(const char *method, uint64_t length)
{
    if (!method || length > kMaxMemberSize)
        return false;
    std::string m(method);
    return m.size() == 5 && m.front() == '-' && m.back() == '-' && m != "-lhd-" && decoderFor(m) != nullptr;
}

void LhaDecodeAhead::submit(std::string method, uint64_t dataOffset, uint64_t compressedLength, uint64_t length,
                            uint16_t crc)
{
    Member member;
    member.method = std::move(method);
    member.dataOffset = dataOffset;
    member.compressedLength = compressedLength;
    member.length = length;
    member.crc = crc;
    auto fits = std::find_if(spare_.begin(), spare_.end(), [&](const auto &b) { return b.second >= length; });
    if (fits != spare_.end()) { // else decode() allocates
        member.data = std::move(fits->first);
        member.capacity = fits->second;
        spare_.erase(fits);
    }
    workers_.submit(std::move(member), length);
}

LhaDecodeAhead::Member LhaDecodeAhead::take()
{
    try {
        return workers_.take();
    } catch (...) {
        return Member{}; // not ok: the member fails
    }
}

void LhaDecodeAhead::recycle(Member &member)
{
    if (!member.data)
        return;
    if (spare_.size() < kMaxAheadMembers)
        spare_.emplace_back(std::move(member.data), member.capacity);
    member.data.reset();
    member.capacity = 0;
}

bool LhaDecodeAhead::prepareBuffer(Member &member)
{
    const auto length = static_cast<size_t>(member.length);
    if (member.capacity >= length)
        return true;
    // Room for members of any size up to the limit, so buffers serve again
    // whatever comes next.
    size_t capacity = std::max(length, kMinBuffer);
    member.data.reset(new (std::nothrow) uint8_t[capacity]);
    member.capacity = member.data ? capacity : 0;
    return member.data != nullptr;
}

// Stored members are read straight into the buffer: lhasa's pass-through
// decoder would copy them a few KiB at a time and count the CRC byte by byte.
void LhaDecodeAhead::readStored(Member &member)
{
    const auto length = static_cast<size_t>(member.length);
    const size_t available = static_cast<size_t>(std::min(member.compressedLength, member.length));
    const int64_t total = platform::readFullyAt(fd_, member.dataOffset, member.data.get(), available);
    member.ok = total == int64_t(length) && codecs::lha::crc16Update(0, member.data.get(), length) == member.crc;
}

void LhaDecodeAhead::decode(Member &member, unsigned slot)
{
    member.ok = false;
    LHADecoderType *type = decoderFor(member.method);
    if (!type || !prepareBuffer(member))
        return;
    if (isStored(member.method)) {
        readStored(member);
        return;
    }
    std::unique_ptr<uint8_t[]> &inputBuffer = inputBuffers_[slot];
    if (!inputBuffer)
        inputBuffer.reset(new uint8_t[kChunk]);
    RangeInput input{fd_, member.dataOffset, member.compressedLength, inputBuffer.get()};
    LHADecoder *decoder = lha_decoder_new(type, &RangeInput::read, &input, static_cast<size_t>(member.length));
    if (!decoder)
        return;
    const auto length = static_cast<size_t>(member.length);
    size_t total = 0;
    while (total < length) {
        size_t n = lha_decoder_read(decoder, member.data.get() + total, std::min(kChunk, length - total));
        if (n == 0)
            break;
        total += n;
    }
    member.ok = total == member.length && lha_decoder_get_crc(decoder) == member.crc;
    lha_decoder_free(decoder);
}

} // namespace qvo::formats::lha
