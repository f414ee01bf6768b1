#include "text/charset_decoding.h"

#include "text/iconv_handle.h"

#include <cerrno>
#include <cstdint>

namespace qvo::text {
namespace {

void appendByteEscape(std::string &out, unsigned char c)
{
    static const char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
}

bool isImpossibleInName(char32_t cp)
{
    return (cp >= 0x80 && cp <= 0x9F) || (cp >= 0xE000 && cp <= 0xF8FF) ||
           cp >= 0xF0000 || cp == 0xFFFD;
}

} // namespace

bool charsetKnown(const std::string &charset)
{
    return Iconv("UTF-8", charset.c_str()).ok();
}

std::string charsetToUtf8(std::string_view bytes, const std::string &charset)
{
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    Iconv cv("UTF-8", charset.c_str());
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = bytes.size();
    char buf[256];
    while (inLeft > 0) {
        if (!cv.ok()) {
            auto c = static_cast<unsigned char>(*in);
            if (c < 0x80)
                out += static_cast<char>(c);
            else
                appendByteEscape(out, c);
            ++in;
            --inLeft;
            continue;
        }
        char *outp = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cv.get(), &in, &inLeft, &outp, &outLeft);
        out.append(buf, static_cast<size_t>(outp - buf));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // One byte that starts no character (or a cut-off one) is kept
            // visible; decoding goes on behind it from a clean state.
            appendByteEscape(out, static_cast<unsigned char>(*in));
            ++in;
            --inLeft;
            iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

StrictNameDecoder::StrictNameDecoder(const std::string &charset) : cd_(iconv_open("UTF-32LE", charset.c_str())) {}

StrictNameDecoder::~StrictNameDecoder()
{
    if (cd_ != reinterpret_cast<void *>(-1))
        iconv_close(static_cast<iconv_t>(cd_));
}

std::optional<std::u32string> StrictNameDecoder::operator()(std::string_view bytes) const
{
    auto cd = static_cast<iconv_t>(cd_);
    if (cd_ == reinterpret_cast<void *>(-1))
        return std::nullopt;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string wide(bytes.size() * 4 + 8, '\0');
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = bytes.size();
    char *outp = wide.data();
    size_t outLeft = wide.size();
    if (iconv(cd, &in, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &outp, &outLeft) == static_cast<size_t>(-1))
        return std::nullopt;
    size_t units = (wide.size() - outLeft) / 4;
    std::u32string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        const auto *p = reinterpret_cast<const unsigned char *>(wide.data() + 4 * i);
        char32_t cp = static_cast<char32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
        if (isImpossibleInName(cp))
            return std::nullopt;
        out += cp;
    }
    return out;
}

std::optional<std::u32string> decodeNameStrictly(std::string_view bytes, const std::string &charset)
{
    return StrictNameDecoder(charset)(bytes);
}

} // namespace qvo::text
