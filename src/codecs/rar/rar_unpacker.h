// Decoding of RAR 1.5 to 4.x member data.  One Rar4Unpacker serves one
// archive: in a solid archive each member continues from the window, tables
// and models the previous member left, so the same object must see every
// member of the archive in order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qvo::codecs::rar {

// Packed bytes of one member, in order (across volumes if it is split).
class PackedSource {
public:
    virtual ~PackedSource() = default;
    // Fills up to `n` bytes; returns the count, 0 at the end of the member's
    // data, -1 when the data cannot be read.
    virtual int64_t read(uint8_t *dst, size_t n) = 0;
};

// Receives the unpacked bytes; returns false to stop decoding.
class UnpackedSink {
public:
    virtual ~UnpackedSink() = default;
    virtual bool write(const uint8_t *data, size_t size) = 0;
};

enum class UnpackResult {
    Ok,
    Corrupt,     // the data does not decode (or ends early)
    Unsupported, // unknown method version or filter
    ReadError,   // the source failed
    Stopped,     // the sink asked to stop
};

class Rar4Unpacker {
public:
    Rar4Unpacker();
    ~Rar4Unpacker();
    Rar4Unpacker(const Rar4Unpacker &) = delete;
    Rar4Unpacker &operator=(const Rar4Unpacker &) = delete;

    // Whether members written by this unpacker version can be decoded.
    static bool supportsVersion(int version);

    // Decodes one member of `size` unpacked bytes written by unpacker
    // `version` (15, 20, 26, 29, 36).  `solid`: the member continues the
    // previous member's state.  At most `size` bytes reach the sink.
    UnpackResult unpack(int version, bool solid, PackedSource &in, uint64_t size, UnpackedSink &out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace qvo::codecs::rar
