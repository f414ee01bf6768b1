// lhasa's archive reader over bytes in memory.
#pragma once
extern "C" {
#include <lha_input_stream.h>
#include <lha_reader.h>
}

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qvo::fuzz {

class LhasaMemoryReader {
public:
    explicit LhasaMemoryReader(const std::vector<uint8_t> &bytes) : bytes_(bytes)
    {
        static const LHAInputStreamType type = {&readCb, nullptr, nullptr};
        stream_ = lha_input_stream_new(&type, this);
        if (stream_)
            reader_ = lha_reader_new(stream_);
    }
    ~LhasaMemoryReader()
    {
        if (reader_)
            lha_reader_free(reader_);
        if (stream_)
            lha_input_stream_free(stream_);
    }
    LhasaMemoryReader(const LhasaMemoryReader &) = delete;
    LhasaMemoryReader &operator=(const LhasaMemoryReader &) = delete;

    LHAFileHeader *next() { return reader_ ? lha_reader_next_file(reader_) : nullptr; }

    // The current member's data, decoded.
    std::vector<uint8_t> readAll(size_t expected)
    {
        std::vector<uint8_t> out;
        uint8_t buf[16384];
        for (;;) {
            size_t n = lha_reader_read(reader_, buf, sizeof buf);
            if (n == 0)
                break;
            out.insert(out.end(), buf, buf + n);
            if (out.size() > expected + sizeof buf)
                break; // runaway decoder output: compared as a mismatch
        }
        return out;
    }

private:
    static int readCb(void *handle, void *buf, size_t len)
    {
        auto *self = static_cast<LhasaMemoryReader *>(handle);
        size_t n = std::min(len, self->bytes_.size() - self->pos_);
        std::memcpy(buf, self->bytes_.data() + self->pos_, n);
        self->pos_ += n;
        return int(n);
    }

    const std::vector<uint8_t> &bytes_;
    size_t pos_ = 0;
    LHAInputStream *stream_ = nullptr;
    LHAReader *reader_ = nullptr;
};

} // namespace qvo::fuzz
