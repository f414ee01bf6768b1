// Decoding of RAR 1.5 to 4.x member data.  One Rar4Unpacker serves one
// archive: in a solid archive each member continues from the window, tables
// and models the previous member left, so the same object must see every
// member of the archive in order.
//
// Data that ends early is reported Corrupt, never Truncated; an unknown
// method version or filter is Unsupported.
#pragma once
#include "base/byte_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qvo::codecs::rar {

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
    base::DecodeStatus unpack(int version, bool solid, base::ByteSource &in, uint64_t size, base::ByteSink &out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace qvo::codecs::rar
