// Raw RAR 1.5-4.x member data through our unpacker, with no archive
// headers in the way, so the fuzzer reaches deep decoder states (audio
// blocks, PPMd restarts, filters, solid continuation) directly.
// Byte 0: bits 0-2 pick the unpacker version, bit 7 says a second member
// continues the first one's state (solid); the rest is packed data, split
// in half between the members when there are two.
#include "byte_reader.h"
#include "codecs/rar/rar_unpacker.h"
#include "counting_sink.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace qvo::codecs::rar;
using qvo::base::ByteSource;

constexpr int kVersions[] = {15, 20, 26, 29, 36};
constexpr uint64_t kMaxOutput = 1u << 20;

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t *data, size_t size) : p_(data), n_(size) {}
    int64_t read(uint8_t *dst, size_t n) override
    {
        // Small pieces, as volumes and buffers hand them over.
        n = std::min({n, n_, size_t{4096}});
        std::memcpy(dst, p_, n);
        p_ += n;
        n_ -= n;
        return static_cast<int64_t>(n);
    }

private:
    const uint8_t *p_;
    size_t n_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qvo::fuzz::ByteReader in(data, size);
    const uint8_t mode = in.u8();
    const int version = kVersions[(mode & 7) % 5];
    const bool twoMembers = mode & 0x80;
    const size_t first = twoMembers ? in.restSize() / 2 : in.restSize();

    Rar4Unpacker unpacker;
    qvo::fuzz::CountingSink sink(kMaxOutput);
    MemorySource a(in.rest(), first);
    unpacker.unpack(version, false, a, kMaxOutput, sink);
    if (twoMembers) {
        MemorySource b(in.rest() + first, in.restSize() - first);
        unpacker.unpack(version, true, b, kMaxOutput, sink);
    }
    return 0;
}
