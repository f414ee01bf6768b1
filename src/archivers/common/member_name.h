// Turns a member name as an archive stores it into the UTF-8 name the sink
// expects ('/' as the only separator).
//
// Decoding comes before splitting: in CP932 the second byte of a double-byte
// character may be 0x5C ('\'), as in 表, ソ and 能, so '\' can only be taken
// for a separator once the characters are known.  LHA's 0xFF separator is
// never part of a CP932 or UTF-8 character and is split on the raw bytes.
#pragma once
#include <string>
#include <string_view>

namespace qvo::archivers {

enum class NameEncoding {
    Cp932,   // names of archives made on Japanese Windows and DOS
    Utf8,    // the archive says so; invalid UTF-8 falls back to CP932
    Utf16Le, // LHA's Unicode name headers
};

std::string memberNameToUtf8(std::string_view raw, NameEncoding encoding);

// UTF-16LE bytes to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16LeToUtf8(std::string_view bytes);

} // namespace qvo::archivers
