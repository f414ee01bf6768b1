// Reading and writing single values of an INI file ("private profile").
//
// The file is plain text made of "[section]" lines and "key=value" lines.
// Section and key names are matched without regard to ASCII letter case; the
// first matching section and, inside it, the first matching key count.
// Lines whose first visible character is ';' or '#' are comments.
//
// A write changes exactly one line, or appends one: a missing key goes after
// the last non-blank line of its section, a missing section (with its key)
// at the end of the file.  Every other byte of the file is kept, including
// comments, unknown keys, blank lines and CRLF line endings.  The new content
// is written to a temporary file beside the old one and renamed over it, so a
// failed write leaves the old file as it was.
//
// Values are read whole.  Blanks around a value are not part of it; a value
// that begins or ends with a blank, or is itself enclosed in matching quotes,
// is written inside double quotes so that it reads back unchanged.
#pragma once
#include <string>
#include <string_view>

namespace qvo::platform {

// The value of `key` in `[section]` of `fileName`, or `defaultValue` when the
// file, the section or the key is missing or the file cannot be read.
std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string &fileName);

// Sets `key=value` in `[section]` of `fileName`, creating the file, the
// section and the key as needed.  False when the file cannot be written
// (read-only file, missing or read-only folder) or when a name or the value
// holds a line break (it would inject lines), a section name holds ']' or a
// key holds '=' or is empty.
bool writePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string &fileName);

} // namespace qvo::platform
