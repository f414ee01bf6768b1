// Where fuzzed decoders write: nothing is kept, one byte of every page is
// read so that the sanitizers see all of the output, and the bytes are
// counted.  Past `limit` bytes the sink refuses more.
#pragma once
#include "base/byte_stream.h"

#include <cstddef>
#include <cstdint>

namespace qvo::fuzz {

class CountingSink final : public base::ByteSink {
public:
    explicit CountingSink(uint64_t limit = UINT64_MAX) : limit_(limit) {}
    bool write(const uint8_t *data, size_t size) override
    {
        for (size_t i = 0; i < size; i += 4096)
            sum_ += data[i];
        total_ += size;
        return total_ <= limit_;
    }
    uint64_t total() const { return total_; }

private:
    uint64_t limit_;
    uint64_t total_ = 0;
    unsigned sum_ = 0;
};

} // namespace qvo::fuzz
