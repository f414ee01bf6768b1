// Member names as archives store them, turned into the UTF-8 paths with "/"
// separators that the extraction sink takes.
//
// Names are decoded first and split afterwards: in CP932 the second byte of
// a double-byte character may be 0x5C, the code of "\" (表 is 0x95 0x5C), so
// a byte-wise look for separators would cut such a character in two.
#pragma once
#include <string>
#include <string_view>

namespace qvo::text {

enum class NameEncoding {
    Utf8,    // the archive marks the name as UTF-8
    Cp932,   // no marker: Shift-JIS as written by Japanese Windows
    Utf16Le, // LHA extended headers 0x44 (file name) and 0x45 (folder name)
};

// Decodes a stored member name; "\" becomes "/".  A name claimed to be UTF-8
// that is not valid UTF-8 is decoded as CP932 instead.  Bytes that cannot be
// decoded stay visible as "%XX" (see cp932ToUtf8), so that different names
// stay different.  Nothing is checked for safety here: the sink does that.
std::string archiveNameToUtf8(std::string_view raw, NameEncoding enc);

// Like archiveNameToUtf8, for LHA name and folder fields, where 0xFF (in
// UTF-16 the unit 0xFFFF) also separates folders.  In CP932 and UTF-8 the
// byte 0xFF never belongs to a character, so it is recognised as a
// separator only where a character starts.
std::string lhaPathToUtf8(std::string_view raw, NameEncoding enc);

// The same for names in an encoding iconv names ("GB18030", "CP437"):
// unmarked names in the encoding chosen for their archive.  Undecodable
// bytes stay visible as "%XX"; "CP932" reads exactly as NameEncoding::Cp932.
std::string archiveNameToUtf8(std::string_view raw, const std::string &charset);
std::string lhaPathToUtf8(std::string_view raw, const std::string &charset);

// Joins an LHA folder field and file name, both already decoded: the folder
// field may or may not end with a separator.
std::string joinLhaPath(std::string_view folder, std::string_view name);

} // namespace qvo::text
