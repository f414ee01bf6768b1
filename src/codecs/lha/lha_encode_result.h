// What the LHA method encoders share: where their output goes and how they
// end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

namespace qvo::codecs::lha {

// Receives the compressed stream in order, in pieces; false stops the
// encoder (write error).  A function rather than base::ByteSink: the
// writers hand the encoders a lambda over their own buffer or file.
using ByteSink = std::function<bool(const uint8_t *data, size_t size)>;

enum class EncodeStatus {
    Ok,
    NotSmaller, // the output would exceed the limit: store the member instead
    SinkFailed, // the sink returned false
};

struct EncodeResult {
    EncodeStatus status = EncodeStatus::Ok;
    uint64_t compressedSize = 0;
};

} // namespace qvo::codecs::lha
