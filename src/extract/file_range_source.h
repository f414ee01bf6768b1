// A stretch of an open file as a ByteSource for our own decoders, read
// with pread so that the file position stays where other readers (lhasa)
// left it.
#pragma once
#include "base/byte_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <unistd.h>

namespace qvo::extract {

class FileRangeSource : public base::ByteSource {
public:
    FileRangeSource(int fd, uint64_t offset, uint64_t size) : fd_(fd), pos_(offset), left_(size) {}

    int64_t read(uint8_t *buf, size_t cap) override
    {
        size_t want = static_cast<size_t>(std::min<uint64_t>(cap, left_));
        while (want > 0) {
            ssize_t n = ::pread(fd_, buf, want, static_cast<off_t>(pos_));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                left_ = 0; // a file shorter than it claims: the decoder sees the end
                return 0;
            }
            pos_ += static_cast<uint64_t>(n);
            left_ -= static_cast<uint64_t>(n);
            return static_cast<int64_t>(n);
        }
        return 0;
    }

private:
    int fd_;
    uint64_t pos_;
    uint64_t left_;
};

} // namespace qvo::extract
