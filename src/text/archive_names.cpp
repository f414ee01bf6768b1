#include "text/archive_names.h"

#include "base/endian.h"
#include "text/charset_decoding.h"
#include "text/cp932.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace qvo::text {
namespace {

constexpr unsigned char kLhaSeparator = 0xFF;
constexpr uint16_t kLhaSeparatorUnit = 0xFFFF;

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

// Undecodable pieces stay visible: "%XX" for a byte, "%uXXXX" for a lone
// UTF-16 surrogate.  Appends "%", `prefix` and `value` in `digits`
// upper-case hex digits.
void appendEscaped(std::string &out, const char *prefix, unsigned value, int digits)
{
    static const char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += kHex[(value >> shift) & 0xF];
}

std::string utf16LeToUtf8(std::string_view raw, bool lhaSeparators)
{
    std::string out;
    out.reserve(raw.size() * 3 / 2);
    auto unitAt = [&raw](size_t i) { return base::loadLe16(raw.data() + i); };
    size_t i = 0;
    while (i + 1 < raw.size()) {
        uint16_t u = unitAt(i);
        i += 2;
        if (lhaSeparators && u == kLhaSeparatorUnit) {
            out += '/';
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < raw.size() && unitAt(i) >= 0xDC00 &&
                   unitAt(i) <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((static_cast<uint32_t>(u) - 0xD800) << 10) +
                          (unitAt(i) - 0xDC00u);
            i += 2;
            appendUtf8(out, cp);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendEscaped(out, "u", u, 4);
        } else {
            appendUtf8(out, u);
        }
    }
    if (i < raw.size())
        appendEscaped(out, "", static_cast<unsigned char>(raw[i]), 2);
    return out;
}

bool isCp932Lead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isCp932Trail(unsigned char c)
{
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// CP932 with LHA's 0xFF separators, taken only where a character starts.
std::string lhaCp932ToUtf8(std::string_view raw)
{
    std::string out;
    size_t segment = 0;
    size_t i = 0;
    while (i < raw.size()) {
        auto c = static_cast<unsigned char>(raw[i]);
        if (c == kLhaSeparator) {
            out += cp932ToUtf8(raw.substr(segment, i - segment));
            out += '/';
            segment = ++i;
        } else if (isCp932Lead(c) && i + 1 < raw.size() &&
                   isCp932Trail(static_cast<unsigned char>(raw[i + 1]))) {
            i += 2;
        } else {
            ++i;
        }
    }
    out += cp932ToUtf8(raw.substr(segment));
    return out;
}

// UTF-8 with LHA's 0xFF separators; false when a piece is not valid UTF-8.
bool lhaUtf8ToUtf8(std::string_view raw, std::string &out)
{
    out.clear();
    size_t start = 0;
    for (size_t i = 0; i <= raw.size(); ++i) {
        if (i == raw.size() || static_cast<unsigned char>(raw[i]) == kLhaSeparator) {
            std::string_view piece = raw.substr(start, i - start);
            if (!isValidUtf8(piece))
                return false;
            out += piece;
            if (i < raw.size())
                out += '/';
            start = i + 1;
        }
    }
    return true;
}

std::string withSlashes(std::string s)
{
    // Safe on decoded text: no byte of a multi-byte UTF-8 sequence is 0x5C.
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

} // namespace

std::string archiveNameToUtf8(std::string_view raw, NameEncoding enc)
{
    switch (enc) {
    case NameEncoding::Utf16Le: return withSlashes(utf16LeToUtf8(raw, false));
    case NameEncoding::Utf8:
        if (isValidUtf8(raw))
            return withSlashes(std::string(raw));
        break;
    case NameEncoding::Cp932: break;
    }
    return withSlashes(cp932ToUtf8(raw));
}

std::string lhaPathToUtf8(std::string_view raw, NameEncoding enc)
{
    switch (enc) {
    case NameEncoding::Utf16Le: return withSlashes(utf16LeToUtf8(raw, true));
    case NameEncoding::Utf8: {
        std::string out;
        if (lhaUtf8ToUtf8(raw, out))
            return withSlashes(std::move(out));
        break;
    }
    case NameEncoding::Cp932: break;
    }
    return withSlashes(lhaCp932ToUtf8(raw));
}

std::string archiveNameToUtf8(std::string_view raw, const std::string &charset)
{
    if (charset == "CP932")
        return archiveNameToUtf8(raw, NameEncoding::Cp932);
    return withSlashes(charsetToUtf8(raw, charset));
}

std::string lhaPathToUtf8(std::string_view raw, const std::string &charset)
{
    if (charset == "CP932")
        return lhaPathToUtf8(raw, NameEncoding::Cp932);
    // No double-byte encoding read here uses 0xFF in a character; in the
    // single-byte ones the format's separator wins over ÿ.
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i <= raw.size(); ++i) {
        if (i == raw.size() || static_cast<unsigned char>(raw[i]) == kLhaSeparator) {
            out += charsetToUtf8(raw.substr(start, i - start), charset);
            if (i < raw.size())
                out += '/';
            start = i + 1;
        }
    }
    return withSlashes(std::move(out));
}

std::string joinLhaPath(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (!out.empty() && out.back() != '/' && !name.empty())
        out += '/';
    out += name;
    return out;
}

} // namespace qvo::text
