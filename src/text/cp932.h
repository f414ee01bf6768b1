// Conversion between UTF-8 and CP932, the Japanese Windows code page
// (Shift-JIS with the Microsoft extensions) that old archives use for names.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace qvo::text {

// Decodes CP932 bytes.  Bytes that are not valid CP932 are kept visible and
// distinct as "%XX" (upper-case hex) so that two different raw names never
// decode to the same text and nothing is silently dropped.
std::string cp932ToUtf8(std::string_view bytes);

// Encodes UTF-8 text as CP932; nullopt when a character has no CP932 form
// or the input is not valid UTF-8.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// Encodes UTF-8 text as CP932 bytes that decode back to exactly that text;
// nullopt when a character has no CP932 form, or only one that reads back
// as another character (〜 U+301C is written 0x8160, which every reader
// takes for ～ U+FF5E): a name must not change on the way.
std::optional<std::string> utf8ToCp932Exactly(std::string_view utf8);

// A member name for an archive whose names are CP932: ASCII, and bytes
// that are not UTF-8 (raw names from disk), stay as they are; other text
// gets its exact CP932 form (utf8ToCp932Exactly); nothing when it has none.
std::optional<std::string> nameInCp932(std::string_view name);

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates).
bool isValidUtf8(std::string_view bytes);

// True when every byte is below 0x80.
bool isAscii(std::string_view bytes);

} // namespace qvo::text
