// Raw ARJ member data through our decoders, with no headers in the way, so
// the fuzzer reaches deep into the Huffman blocks and the fast method's
// codes directly.  Byte 0 picks the method (0 to 4; 5 is refused), the next
// four the declared size (up to 256 KiB); the rest is packed data.  Whatever
// comes, the output stays within the declared size, and a decoder that
// says Ok gave exactly that many bytes.
#include "base/byte_stream.h"
#include "byte_reader.h"
#include "codecs/arj/arj_decoder.h"
#include "counting_sink.h"
#include "scratch.h"

#include <string_view>

namespace {

using qvo::base::DecodeStatus;

constexpr uint64_t kMaxDeclared = 256u << 10;
constexpr size_t kPiece = 4096; // small pieces, as a volume's file ends them

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qvo::fuzz::ByteReader in(data, size);
    const auto method = static_cast<uint8_t>(in.u8() % 6);
    const uint64_t declared = in.u32() % (kMaxDeclared + 1);
    qvo::base::MemorySource source(
        std::string_view(reinterpret_cast<const char *>(in.rest()), in.restSize()), kPiece);
    qvo::fuzz::CountingSink sink;
    const DecodeStatus status = qvo::codecs::arj::decodeArj(method, source, declared, sink);
    if (sink.total() > declared)
        qvo::fuzz::fail("ARJ decoder gave more than the declared size");
    if (status == DecodeStatus::Ok && sink.total() != declared)
        qvo::fuzz::fail("ARJ decoder says Ok short of the declared size");
    return 0;
}
