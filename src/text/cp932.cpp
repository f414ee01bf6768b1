#include "text/cp932.h"

#include "text/iconv_handle.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace qvo::text {
namespace {

// Length of the CP932 character starting at b[0]: 2 for a lead byte followed
// by a byte in the trail range, else 1.
size_t cp932CharLength(std::string_view b, size_t i)
{
    auto c = static_cast<unsigned char>(b[i]);
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    if (lead && i + 1 < b.size()) {
        auto t = static_cast<unsigned char>(b[i + 1]);
        if (t >= 0x40 && t <= 0xFC && t != 0x7F)
            return 2;
    }
    return 1;
}

bool convertChunk(iconv_t cd, std::string_view in, std::string &out)
{
    char *inp = const_cast<char *>(in.data());
    size_t inLeft = in.size();
    char buf[16];
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char *outp = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        out.append(buf, static_cast<size_t>(outp - buf));
        if (r == static_cast<size_t>(-1) && errno != E2BIG)
            return false;
    }
    return true;
}

} // namespace

std::string cp932ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    Iconv cv("UTF-8", "CP932");
    size_t i = 0;
    while (i < bytes.size()) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        size_t len = cp932CharLength(bytes, i);
        std::string piece;
        if (cv.ok() && convertChunk(cv.get(), bytes.substr(i, len), piece) && !piece.empty()) {
            out += piece;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
            len = 1;
        }
        i += len;
    }
    return out;
}

std::optional<std::string> utf8ToCp932(std::string_view utf8)
{
    if (!isValidUtf8(utf8))
        return std::nullopt;
    if (isAscii(utf8))
        return std::string(utf8);
    Iconv cv("CP932", "UTF-8");
    if (!cv.ok())
        return std::nullopt;
    std::string out;
    if (!convertChunk(cv.get(), utf8, out))
        return std::nullopt;
    return out;
}

std::optional<std::string> utf8ToCp932Exactly(std::string_view utf8)
{
    std::optional<std::string> bytes = utf8ToCp932(utf8);
    // ¥ U+00A5 becomes 0x5C, which reads back as "\", a separator.
    if (!bytes || cp932ToUtf8(*bytes) == utf8)
        return bytes;
    return std::nullopt;
}

std::optional<std::string> nameInCp932(std::string_view name)
{
    if (isAscii(name) || !isValidUtf8(name))
        return std::string(name);
    return utf8ToCp932Exactly(name);
}

bool isAscii(std::string_view bytes)
{
    for (char ch : bytes)
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    return true;
}

bool isValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t n;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size())
            return false;
        for (size_t k = 1; k <= n; ++k) {
            auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) ||
            cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

} // namespace qvo::text
