// Takes typed values off the front of a fuzz input; past the end every
// value is zero and every string empty.
#pragma once
#include "base/endian.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qvo::fuzz {

class ByteReader {
public:
    ByteReader(const uint8_t *data, size_t size) : p_(data), n_(size) {}
    uint8_t u8() { return n_ ? (--n_, *p_++) : 0; }
    uint16_t u16() { return base::loadLe16(take<2>().data()); }
    uint32_t u32() { return base::loadLe32(take<4>().data()); }
    uint64_t u64() { return base::loadLe64(take<8>().data()); }
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
    template <size_t N>
    std::array<uint8_t, N> take()
    {
        std::array<uint8_t, N> b;
        for (uint8_t &c : b)
            c = u8();
        return b;
    }

    const uint8_t *p_;
    size_t n_;
};

} // namespace qvo::fuzz
