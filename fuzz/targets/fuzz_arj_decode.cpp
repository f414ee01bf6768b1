// Raw ARJ member data through our decoders, with no headers in the way, so
// the fuzzer reaches deep into the Huffman blocks and the fast method's
// codes directly.  Byte 0 picks the method (0 to 4; 5 is refused), the next
// four the declared size (up to 1 MiB); the rest is packed data.  Whatever
// comes, the output stays within the declared size, and a decoder that
// says Ok gave exactly that many bytes.
#include "byte_reader.h"
#include "codecs/arj/arj_decoder.h"
#include "scratch.h"

#include <algorithm>
#include <cstring>

namespace {

using qvo::base::ByteSink;
using qvo::base::ByteSource;
using qvo::base::DecodeStatus;

constexpr uint64_t kMaxDeclared = 1u << 20;

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t *data, size_t size) : p_(data), n_(size) {}
    int64_t read(uint8_t *dst, size_t n) override
    {
        // Small pieces, as a volume's file ends them.
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

class CountingSink final : public ByteSink {
public:
    bool write(const uint8_t *data, size_t size) override
    {
        // Touch what came out, so that the sanitizers see every byte.
        for (size_t i = 0; i < size; i += 4096)
            sum_ += data[i];
        total += size;
        return true;
    }
    uint64_t total = 0;

private:
    unsigned sum_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qvo::fuzz::ByteReader in(data, size);
    const auto method = static_cast<uint8_t>(in.u8() % 6);
    const uint64_t declared = in.u32() % (kMaxDeclared + 1);
    MemorySource source(in.rest(), in.restSize());
    CountingSink sink;
    const DecodeStatus status = qvo::codecs::arj::decodeArj(method, source, declared, sink);
    if (sink.total > declared)
        qvo::fuzz::fail("ARJ decoder gave more than the declared size");
    if (status == DecodeStatus::Ok && sink.total != declared)
        qvo::fuzz::fail("ARJ decoder says Ok short of the declared size");
    return 0;
}
