#include "formats/lha/lha_header_writer.h"

#include "codecs/lha/lha_crc16.h"

namespace qvo::formats::lha {
namespace {

void put16(std::vector<uint8_t> &v, uint32_t x)
{
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}

void put32(std::vector<uint8_t> &v, uint32_t x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

// Appends one extended header; the size field in front of it (already
// written) counts type, data and the following size field.
void putExt(std::vector<uint8_t> &v, size_t sizeField, uint8_t type, const std::string &data)
{
    uint32_t size = uint32_t(1 + data.size() + 2);
    v[sizeField] = uint8_t(size);
    v[sizeField + 1] = uint8_t(size >> 8);
    v.push_back(type);
    v.insert(v.end(), data.begin(), data.end());
    put16(v, 0); // next size, patched by the next header
}

std::string utf16le(const std::u16string &s)
{
    std::string out;
    for (char16_t c : s) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}

std::string le16(uint16_t x)
{
    return std::string{char(x & 0xFF), char(x >> 8)};
}

} // namespace

std::vector<uint8_t> buildLevel2Header(const LhaMemberHeader &h)
{
    for (int pad = 0; pad < 2; ++pad) {
        std::vector<uint8_t> v;
        put16(v, 0);
        v.insert(v.end(), h.method, h.method + 5);
        put32(v, h.compressedSize);
        put32(v, h.originalSize);
        put32(v, h.mtime);
        v.push_back(0x20);
        v.push_back(2);
        put16(v, h.dataCrc);
        v.push_back(h.osId);
        put16(v, 0);

        // The CRC header first; an optional information byte after the CRC
        // is the one byte that can move the size off a multiple of 256.
        size_t crcAt = v.size() + 1;
        putExt(v, v.size() - 2, 0x00, pad ? std::string(3, '\0') : std::string(2, '\0'));
        putExt(v, v.size() - 2, 0x01, h.fileName);
        if (!h.dirName.empty())
            putExt(v, v.size() - 2, 0x02, h.dirName);
        if (h.codePage) {
            uint32_t cp = *h.codePage;
            putExt(v, v.size() - 2, 0x46,
                   std::string{char(cp), char(cp >> 8), char(cp >> 16), char(cp >> 24)});
        }
        if (!h.utf16FileName.empty())
            putExt(v, v.size() - 2, 0x44, utf16le(h.utf16FileName));
        if (!h.utf16DirName.empty())
            putExt(v, v.size() - 2, 0x45, utf16le(h.utf16DirName));
        if (h.unixMode)
            putExt(v, v.size() - 2, 0x50, le16(*h.unixMode));
        if (h.unixUid && h.unixGid)
            putExt(v, v.size() - 2, 0x51, le16(*h.unixGid) + le16(*h.unixUid));

        if ((v.size() & 0xFF) == 0 && pad == 0)
            continue;
        if (v.size() > kMaxLevel2HeaderSize)
            return {};
        v[0] = uint8_t(v.size());
        v[1] = uint8_t(v.size() >> 8);
        uint16_t crc = codecs::lha::crc16Update(0, v.data(), v.size());
        v[crcAt] = uint8_t(crc);
        v[crcAt + 1] = uint8_t(crc >> 8);
        return v;
    }
    return {};
}

} // namespace qvo::formats::lha
