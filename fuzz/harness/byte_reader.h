// Takes typed values off the front of a fuzz input; past the end every
// value is zero and every string empty.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qvo::fuzz {

class ByteReader {
public:
    ByteReader(const uint8_t *data, size_t size) : p_(data), n_(size) {}
    uint8_t u8() { return n_ ? (--n_, *p_++) : 0; }
    uint16_t u16() { return uint16_t(u8() | u8() << 8); }
    uint32_t u32() { return uint32_t(u16()) | uint32_t(u16()) << 16; }
    uint64_t u64() { return uint64_t(u32()) | uint64_t(u32()) << 32; }
    std::string str(size_t max)
    {
        size_t len = std::min<size_t>(u16(), max);
        len = std::min(len, n_);
        std::string s(reinterpret_cast<const char *>(p_), len);
        p_ += len;
        n_ -= len;
        return s;
    }
    const uint8_t *rest() const { return p_; }
    size_t restSize() const { return n_; }

private:
    const uint8_t *p_;
    size_t n_;
};

} // namespace qvo::fuzz
