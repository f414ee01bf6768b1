#include "formats/lha/lha_header_writer.h"

#include "base/endian.h"
#include "codecs/lha/lha_crc16.h"

namespace qvo::formats::lha {
namespace {

using base::appendLe16;
using base::appendLe32;

// Appends one extended header; the size field in front of it (already
// written) counts type, data and the following size field.
void putExt(std::vector<uint8_t> &v, size_t sizeField, uint8_t type, const std::string &data)
{
    base::storeLe16(v.data() + sizeField, uint16_t(1 + data.size() + 2));
    v.push_back(type);
    v.insert(v.end(), data.begin(), data.end());
    appendLe16(v, 0); // next size, patched by the next header
}

std::string utf16le(const std::u16string &s)
{
    std::string out;
    for (char16_t c : s)
        appendLe16(out, c);
    return out;
}

// libarchive (3.6 and before) refuses a whole archive at a UTF-16 name
// header whose first byte is 0: it checks the byte as if the name were
// 8-bit text, so every name beginning with U+xx00 (一 U+4E00, Ā U+0100)
// would stop it.  Such a header is left out; the byte name with its code
// page says the same.
bool utf16HeaderTaken(const std::u16string &s)
{
    return !s.empty() && (s[0] & 0xFF) != 0;
}

std::string le16(uint16_t x)
{
    std::string out;
    appendLe16(out, x);
    return out;
}

} // namespace

std::vector<uint8_t> buildLevel2Header(const LhaMemberHeader &h)
{
    for (int pad = 0; pad < 2; ++pad) {
        std::vector<uint8_t> v;
        appendLe16(v, 0);
        v.insert(v.end(), h.method, h.method + 5);
        appendLe32(v, h.compressedSize);
        appendLe32(v, h.originalSize);
        appendLe32(v, h.mtime);
        v.push_back(0x20);
        v.push_back(2);
        appendLe16(v, h.dataCrc);
        v.push_back(h.osId);
        appendLe16(v, 0);

        // The CRC header first; an optional information byte after the CRC
        // is the one byte that can move the size off a multiple of 256.
        size_t crcAt = v.size() + 1;
        putExt(v, v.size() - 2, 0x00, pad ? std::string(3, '\0') : std::string(2, '\0'));
        putExt(v, v.size() - 2, 0x01, h.fileName);
        if (!h.dirName.empty())
            putExt(v, v.size() - 2, 0x02, h.dirName);
        if (h.codePage) {
            std::string cp;
            appendLe32(cp, *h.codePage);
            putExt(v, v.size() - 2, 0x46, cp);
        }
        if (utf16HeaderTaken(h.utf16FileName))
            putExt(v, v.size() - 2, 0x44, utf16le(h.utf16FileName));
        if (utf16HeaderTaken(h.utf16DirName))
            putExt(v, v.size() - 2, 0x45, utf16le(h.utf16DirName));
        if (h.unixMode)
            putExt(v, v.size() - 2, 0x50, le16(*h.unixMode));
        if (h.unixUid && h.unixGid)
            putExt(v, v.size() - 2, 0x51, le16(*h.unixGid) + le16(*h.unixUid));

        if ((v.size() & 0xFF) == 0 && pad == 0)
            continue;
        if (v.size() > kMaxLevel2HeaderSize)
            return {};
        base::storeLe16(v.data(), uint16_t(v.size()));
        base::storeLe16(v.data() + crcAt, codecs::lha::crc16Update(0, v.data(), v.size()));
        return v;
    }
    return {};
}

} // namespace qvo::formats::lha
