// Decoders for the ZIP methods that general libraries leave out: Shrink (1),
// Reduce (2 to 5), Implode (6) and Deflate64 (9).  Each lives in its own
// file behind decodeLegacyMember(); all pull compressed bytes from a
// ByteSource, push decoded bytes to a ByteSink and keep their memory
// bounded (at most a 128 KiB window and fixed tables), whatever the input.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qvo::codecs::zip {

constexpr uint16_t kMethodShrink = 1;
constexpr uint16_t kMethodReduceFirst = 2; // compression factor 1
constexpr uint16_t kMethodReduceLast = 5;  // compression factor 4
constexpr uint16_t kMethodImplode = 6;
constexpr uint16_t kMethodDeflate64 = 9;

// Implode's general-purpose flag bits.
constexpr uint16_t kFlagImplode8kWindow = 0x0002;
constexpr uint16_t kFlagImplodeLiteralTree = 0x0004;

enum class DecodeStatus {
    Ok,            // exactly the expected number of bytes came out
    Corrupt,       // the data breaks the method's rules or decodes to another size
    Truncated,     // the compressed data ended too early
    OutputStopped, // the sink refused data
};

// The compressed bytes of one member.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `cap` bytes into `buf`; 0 once the member's data is used up.
    virtual size_t read(uint8_t *buf, size_t cap) = 0;
};

// Where decoded bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False stops decoding (a write error or a space limit).
    virtual bool write(const uint8_t *data, size_t size) = 0;
};

bool isLegacyMethod(uint16_t method);

// Decodes one member that should give `size` bytes.  Methods that do not
// mark their end (Shrink, Reduce, Implode) stop after `size` bytes;
// Deflate64 must end exactly there.
DecodeStatus decodeLegacyMember(uint16_t method, uint16_t flags, ByteSource &in, uint64_t size, ByteSink &out);

} // namespace qvo::codecs::zip
