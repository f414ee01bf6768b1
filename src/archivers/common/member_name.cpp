#include "archivers/common/member_name.h"

#include "codecs/names/cp932.h"

#include <cstdint>

namespace qvo::archivers {
namespace {

void appendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes each 0xFF-separated piece with `decode` and joins them with '/'.
template <typename Decode>
std::string decodePieces(std::string_view raw, Decode decode)
{
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t ff = raw.find('\xFF', start);
        out += decode(raw.substr(start, ff == std::string_view::npos ? raw.npos : ff - start));
        if (ff == std::string_view::npos)
            break;
        out += '/';
        start = ff + 1;
    }
    return out;
}

} // namespace

std::string utf16LeToUtf8(std::string_view bytes)
{
    std::string out;
    size_t n = bytes.size() / 2;
    auto unit = [&](size_t i) {
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes[2 * i])
                                     | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            uint32_t lo = unit(i + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = 0xFFFD;
        appendUtf8(out, u);
    }
    return out;
}

std::string memberNameToUtf8(std::string_view raw, NameEncoding encoding)
{
    std::string out;
    switch (encoding) {
    case NameEncoding::Utf16Le:
        out = utf16LeToUtf8(raw);
        break;
    case NameEncoding::Utf8:
        out = decodePieces(raw, [](std::string_view piece) {
            return codecs::isValidUtf8(piece) ? std::string(piece) : codecs::cp932ToUtf8(piece);
        });
        break;
    case NameEncoding::Cp932:
        out = decodePieces(raw, [](std::string_view piece) { return codecs::cp932ToUtf8(piece); });
        break;
    }
    for (char &c : out) {
        if (c == '\\')
            c = '/';
    }
    return out;
}

} // namespace qvo::archivers
