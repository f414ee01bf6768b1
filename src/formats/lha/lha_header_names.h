// The name fields of an LHA header, read from its raw bytes.
//
// lhasa turns names into C strings with '/' separators before we see them,
// which splits CP932 characters whose second byte is 0x5C and hides the
// Unicode (0x44/0x45) and code-page (0x46) extended headers that Windows
// archivers write.  So the reader takes the raw header lhasa keeps and
// decodes the names itself.
#pragma once
#include "text/archive_name_charset.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvo::formats::lha {

struct LhaHeaderNames {
    std::optional<std::string> fileName;    // bytes of the base name or header 0x01
    std::optional<std::string> dirName;     // header 0x02, 0xFF separators
    std::optional<std::string> utf16File;   // header 0x44, UTF-16LE
    std::optional<std::string> utf16Dir;    // header 0x45, UTF-16LE
    std::optional<uint32_t> codePage;       // header 0x46
};

// Parses `raw` (the whole header as stored, extended headers included) of
// the given header level.  Fields it cannot find stay empty; malformed
// extended headers end the walk.
LhaHeaderNames parseLhaHeaderNames(std::string_view raw, int level);

// The origin of a header's unmarked names, from the OS id it was made on.
text::NameOrigin lhaNameOrigin(uint8_t osId);

// Offers the header's unmarked name fields (no Unicode or code-page
// header) to the archive's guess.
void addLhaNames(const LhaHeaderNames &names, uint8_t osId, text::ArchiveNameCharset &charset);

// The full decoded name ("dir/name", UTF-8, '/' separators) for a header
// made on `osId`; unmarked fields are read as `charset` says.
std::string decodeLhaName(const LhaHeaderNames &names, uint8_t osId, const text::ArchiveNameCharset &charset);

} // namespace qvo::formats::lha
