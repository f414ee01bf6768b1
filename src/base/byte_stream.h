// The byte streams every decoder of our own works between: compressed bytes
// pulled from a ByteSource, decoded bytes pushed to a ByteSink, and the
// outcome of one member.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qvo::base {

// The compressed bytes of one member, in order (across volumes when the
// member is split).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `cap` bytes into `buf`: the count, 0 once the member's data is
    // used up, -1 when it cannot be read.
    virtual int64_t read(uint8_t *buf, size_t cap) = 0;
};

// Bytes already in memory as a source, handed out in pieces of at most
// `piece` bytes (small pieces move a reader's block boundaries).  The
// bytes must outlive the source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view data, size_t piece = SIZE_MAX) : data_(data), piece_(piece) {}
    int64_t read(uint8_t *buf, size_t cap) override
    {
        size_t n = std::min({cap, piece_, data_.size() - pos_});
        std::memcpy(buf, data_.data() + pos_, n);
        pos_ += n;
        return static_cast<int64_t>(n);
    }

private:
    std::string_view data_;
    size_t piece_;
    size_t pos_ = 0;
};

// Where decoded bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False stops decoding (a write error or a space limit).
    virtual bool write(const uint8_t *data, size_t size) = 0;
};

enum class DecodeStatus {
    Ok,            // the member decoded to its expected size
    Corrupt,       // the data breaks the method's rules or decodes to another size
    Truncated,     // the compressed data ended too early
    Unsupported,   // a method version or feature we do not decode
    ReadError,     // the source failed
    OutputStopped, // the sink refused data
};

} // namespace qvo::base
