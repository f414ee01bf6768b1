// Decoding of name bytes in any of the legacy encodings iconv knows, by
// its name for them ("GB18030", "CP437", ...).
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace qvo::text {

// Decodes `bytes` in `charset`.  Bytes that do not decode stay visible and
// distinct as "%XX" (upper-case hex), one byte at a time, as in
// cp932ToUtf8; an encoding iconv does not know escapes every non-ASCII byte.
std::string charsetToUtf8(std::string_view bytes, const std::string &charset);

// The code points of `bytes` in `charset`, or nullopt when any byte does
// not decode or a character is one no name holds: a C1 control, a
// private-use character or U+FFFD.  What a name "is valid in" means.
std::optional<std::u32string> decodeNameStrictly(std::string_view bytes, const std::string &charset);

// decodeNameStrictly for many names in one encoding, with one iconv
// descriptor for all of them.
class StrictNameDecoder {
public:
    explicit StrictNameDecoder(const std::string &charset);
    ~StrictNameDecoder();
    StrictNameDecoder(const StrictNameDecoder &) = delete;
    StrictNameDecoder &operator=(const StrictNameDecoder &) = delete;
    std::optional<std::u32string> operator()(std::string_view bytes) const;

private:
    void *cd_;
};

// Whether iconv knows `charset`.
bool charsetKnown(const std::string &charset);

} // namespace qvo::text
