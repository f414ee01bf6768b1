// Builds small RAR 4 archives of stored members byte by byte, for cases
// the corpus lacks (every header field chosen by the test).
#pragma once
#include "base/endian.h"
#include "formats/rar/rar4_headers.h"

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvo::test::rar4build {

namespace rar4 = formats::rar::rar4;

inline uint32_t crcOf(const std::string &s)
{
    return static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef *>(s.data()), static_cast<uInt>(s.size())));
}

struct Member {
    Member(std::string n, std::string d, uint16_t f = 0, uint8_t h = rar4::kHostUnix, uint32_t a = 0100644,
           std::optional<uint32_t> c = std::nullopt, std::optional<uint32_t> u = std::nullopt)
        : name(std::move(n)), data(std::move(d)), flags(f), host(h), attributes(a), crc(c), unpSize(u)
    {
    }
    std::string name;
    std::string data;
    uint16_t flags;
    uint8_t host;
    uint32_t attributes;
    std::optional<uint32_t> crc; // default: the data's CRC
    std::optional<uint32_t> unpSize; // default: the data's size (split members: the whole)
};

using base::appendLe16;
using base::appendLe32;

// Fills in size and CRC16 of a block whose bytes start with 7 placeholders.
inline std::string sealBlock(std::string b)
{
    base::storeLe16(b.data() + 5, static_cast<uint16_t>(b.size()));
    uLong c = crc32(0L, reinterpret_cast<const Bytef *>(b.data() + 2), static_cast<uInt>(b.size() - 2));
    base::storeLe16(b.data(), static_cast<uint16_t>(c));
    return b;
}

inline std::string block(uint8_t type, uint16_t flags)
{
    std::string b(2, '\0');
    b += static_cast<char>(type);
    appendLe16(b, flags);
    appendLe16(b, 0);
    return b;
}

// A RAR 4 archive of stored members.
inline std::string buildRar4(const std::vector<Member> &members, uint16_t mainFlags = 0,
                             std::optional<uint16_t> endFlags = 0)
{
    std::string out(rar4::kSignature, rar4::kSignatureSize);
    std::string main = block(rar4::kMainBlock, mainFlags);
    main.append(6, '\0');
    out += sealBlock(main);
    for (const Member &m : members) {
        std::string h = block(rar4::kFileBlock, static_cast<uint16_t>(m.flags | rar4::kLongBlock));
        appendLe32(h, static_cast<uint32_t>(m.data.size()));
        appendLe32(h, static_cast<uint32_t>(m.unpSize ? *m.unpSize : m.data.size()));
        h += static_cast<char>(m.host);
        appendLe32(h, m.crc ? *m.crc : crcOf(m.data));
        appendLe32(h, 0x3A8F5B2D); // 2009-04-15 11:25:26
        h += static_cast<char>(29);
        h += static_cast<char>(rar4::kMethodStore);
        appendLe16(h, static_cast<uint32_t>(m.name.size()));
        appendLe32(h, m.attributes);
        h += m.name;
        out += sealBlock(h) + m.data;
    }
    if (endFlags)
        out += sealBlock(block(rar4::kEndBlock, *endFlags));
    return out;
}

} // namespace qvo::test::rar4build
