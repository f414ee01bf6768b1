// Byte-exact builders for hostile test archives: names, flags and fields
// written as given, which archivers' own writers refuse or rewrite.
#pragma once
#include "base/endian.h"

#include <cstdint>
#include <string>
#include <vector>
#include <zlib.h>

namespace qvo::test {

using base::appendLe16;
using base::appendLe32;
using base::appendLe64;

inline uint32_t crc32Of(const std::string &data)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
}

struct ZipMember {
    std::string rawName;
    std::string data;            // stored as is unless deflateZeros is set
    uint16_t flags = 0;          // bit 11: UTF-8 name
    std::string extra;           // extra fields, already encoded
    uint32_t unixMode = 0;       // with made-by Unix when non-zero (0120777: link)
    uint64_t deflateZeros = 0;   // member of this many zero bytes, deflated
    uint16_t dosTime = 0x6000;   // 12:00:00
    uint16_t dosDate = 0x5A21;   // 2025-01-01
};

inline ZipMember zipFile(std::string rawName, std::string data, uint16_t flags = 0, std::string extra = {})
{
    ZipMember m;
    m.rawName = std::move(rawName);
    m.data = std::move(data);
    m.flags = flags;
    m.extra = std::move(extra);
    return m;
}

inline ZipMember zipLink(std::string rawName, std::string target)
{
    ZipMember m = zipFile(std::move(rawName), std::move(target));
    m.unixMode = 0120777;
    return m;
}

inline ZipMember zipZeros(std::string rawName, uint64_t size)
{
    ZipMember m = zipFile(std::move(rawName), {});
    m.deflateZeros = size;
    return m;
}

// A 0x7075 Unicode Path field for `rawName`.
inline std::string unicodePathExtra(const std::string &rawName, const std::string &utf8, bool goodCrc = true)
{
    std::string body;
    body += '\x01';
    appendLe32(body, crc32Of(rawName) ^ (goodCrc ? 0u : 1u));
    body += utf8;
    std::string out;
    appendLe16(out, 0x7075);
    appendLe16(out, body.size());
    return out + body;
}

inline std::string buildZip(const std::vector<ZipMember> &members)
{
    std::string file, central;
    for (const ZipMember &m : members) {
        std::string payload = m.data;
        uint16_t method = 0;
        uint32_t crc = crc32Of(m.data);
        uint64_t size = m.data.size();
        if (m.deflateZeros) {
            method = 8;
            z_stream z{};
            deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
            std::string zeros(1 << 20, '\0');
            std::string out(1 << 16, '\0');
            payload.clear();
            crc = 0;
            for (uint64_t left = m.deflateZeros; ;) {
                size_t n = left < zeros.size() ? static_cast<size_t>(left) : zeros.size();
                left -= n;
                crc = static_cast<uint32_t>(crc32(crc, reinterpret_cast<const Bytef *>(zeros.data()), static_cast<uInt>(n)));
                z.next_in = reinterpret_cast<Bytef *>(zeros.data());
                z.avail_in = static_cast<uInt>(n);
                int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
                int r;
                do {
                    z.next_out = reinterpret_cast<Bytef *>(out.data());
                    z.avail_out = static_cast<uInt>(out.size());
                    r = deflate(&z, flush);
                    payload.append(out.data(), out.size() - z.avail_out);
                } while (z.avail_out == 0 || (flush == Z_FINISH && r != Z_STREAM_END));
                if (left == 0)
                    break;
            }
            deflateEnd(&z);
            size = m.deflateZeros;
        }
        uint32_t offset = static_cast<uint32_t>(file.size());
        std::string local;
        appendLe32(local, 0x04034b50);
        appendLe16(local, 20);
        appendLe16(local, m.flags);
        appendLe16(local, method);
        appendLe16(local, m.dosTime);
        appendLe16(local, m.dosDate);
        appendLe32(local, crc);
        appendLe32(local, payload.size());
        appendLe32(local, size);
        appendLe16(local, m.rawName.size());
        appendLe16(local, m.extra.size());
        file += local + m.rawName + m.extra + payload;

        appendLe32(central, 0x02014b50);
        appendLe16(central, m.unixMode ? (3 << 8) | 20 : 20);
        appendLe16(central, 20);
        appendLe16(central, m.flags);
        appendLe16(central, method);
        appendLe16(central, m.dosTime);
        appendLe16(central, m.dosDate);
        appendLe32(central, crc);
        appendLe32(central, payload.size());
        appendLe32(central, size);
        appendLe16(central, m.rawName.size());
        appendLe16(central, m.extra.size());
        appendLe16(central, 0); // comment
        appendLe16(central, 0); // disk
        appendLe16(central, 0); // internal attributes
        appendLe32(central, static_cast<uint64_t>(m.unixMode) << 16);
        appendLe32(central, offset);
        central += m.rawName + m.extra;
    }
    std::string end;
    appendLe32(end, 0x06054b50);
    appendLe32(end, 0);
    appendLe16(end, members.size());
    appendLe16(end, members.size());
    appendLe32(end, central.size());
    appendLe32(end, file.size());
    appendLe16(end, 0);
    return file + central + end;
}

// Points central directory entry `member` of a buildZip() archive at the
// local record at `offset`; the local records stay as they are.
inline void setZipLocalOffset(std::string &zip, size_t member, uint32_t offset)
{
    auto le = [&](size_t at, int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= uint64_t(static_cast<unsigned char>(zip[at + size_t(i)])) << (8 * i);
        return static_cast<size_t>(v);
    };
    size_t at = le(zip.size() - 22 + 16, 4); // buildZip writes no comment
    for (size_t i = 0; i < member; ++i)
        at += 46 + le(at + 28, 2) + le(at + 30, 2) + le(at + 32, 2);
    base::storeLe32(zip.data() + at + 42, offset);
}

inline uint16_t lhaCrc16(const std::string &data)
{
    uint16_t crc = 0;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

struct LhaMember {
    std::string rawName;   // header 0x01
    std::string rawDir;    // header 0x02 (0xFF separators), empty for none
    std::string data;      // stored with -lh0-
    bool directory = false;
    uint32_t unixTime = 1700000000;
    std::vector<std::pair<uint8_t, std::string>> extraHeaders; // more extended headers
    char osId = 'M';       // the archiver's system: 'M' MS-DOS/Windows, 'U' Unix, 'A' Amiga
};

inline LhaMember lhaFile(std::string rawName, std::string rawDir, std::string data, uint32_t unixTime = 1700000000)
{
    LhaMember m;
    m.rawName = std::move(rawName);
    m.rawDir = std::move(rawDir);
    m.data = std::move(data);
    m.unixTime = unixTime;
    return m;
}

inline LhaMember lhaDir(std::string rawDir)
{
    LhaMember m;
    m.rawDir = std::move(rawDir);
    m.directory = true;
    return m;
}

// A level-2 LHA archive of stored members, as Windows archivers write.
inline std::string buildLha(const std::vector<LhaMember> &members)
{
    std::string out;
    for (const LhaMember &m : members) {
        std::string ext;
        auto addExt = [&](uint8_t type, const std::string &body) {
            appendLe16(ext, body.size() + 3);
            ext += static_cast<char>(type);
            ext += body;
        };
        if (!m.directory)
            addExt(0x01, m.rawName);
        if (!m.rawDir.empty())
            addExt(0x02, m.rawDir);
        for (const auto &[type, body] : m.extraHeaders)
            addExt(type, body);
        appendLe16(ext, 0); // end of the chain
        std::string h;
        size_t total = 24 + ext.size(); // the first size field ends the base header
        appendLe16(h, total);
        h += m.directory ? "-lhd-" : "-lh0-";
        appendLe32(h, m.directory ? 0 : m.data.size());
        appendLe32(h, m.directory ? 0 : m.data.size());
        appendLe32(h, m.unixTime);
        h += '\x20';
        h += '\x02';
        appendLe16(h, lhaCrc16(m.data));
        h += m.osId;
        out += h + ext + (m.directory ? std::string() : m.data);
    }
    out += '\0';
    return out;
}

} // namespace qvo::test
