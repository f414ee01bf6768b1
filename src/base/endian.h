// Little-endian numbers at any address, the byte order of every format we
// read and write.  memcpy keeps unaligned access legal and compiles to a
// single move on a little-endian host; a big-endian host swaps the bytes.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

namespace qvo::base {

namespace detail {

template <class T>
constexpr T littleEndian(T v)
{
    if constexpr (std::endian::native == std::endian::little) {
        return v;
    } else if constexpr (sizeof(T) == 2) {
        return __builtin_bswap16(v);
    } else if constexpr (sizeof(T) == 4) {
        return __builtin_bswap32(v);
    } else {
        return __builtin_bswap64(v);
    }
}

template <class T>
T load(const void *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return littleEndian(v);
}

template <class T>
void store(void *p, T v)
{
    v = littleEndian(v);
    std::memcpy(p, &v, sizeof v);
}

template <class T, class Bytes>
void append(Bytes &out, T v)
{
    typename Bytes::value_type b[sizeof v];
    store(b, v);
    for (auto c : b)
        out.push_back(c);
}

} // namespace detail

inline uint16_t loadLe16(const void *p) { return detail::load<uint16_t>(p); }
inline uint32_t loadLe32(const void *p) { return detail::load<uint32_t>(p); }
inline uint64_t loadLe64(const void *p) { return detail::load<uint64_t>(p); }

inline void storeLe16(void *p, uint16_t v) { detail::store(p, v); }
inline void storeLe32(void *p, uint32_t v) { detail::store(p, v); }
inline void storeLe64(void *p, uint64_t v) { detail::store(p, v); }

// Appends to a byte container (std::vector<uint8_t>, std::string).
template <class Bytes>
void appendLe16(Bytes &out, uint16_t v)
{
    detail::append(out, v);
}
template <class Bytes>
void appendLe32(Bytes &out, uint32_t v)
{
    detail::append(out, v);
}
template <class Bytes>
void appendLe64(Bytes &out, uint64_t v)
{
    detail::append(out, v);
}

} // namespace qvo::base
