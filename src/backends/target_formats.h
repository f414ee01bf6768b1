// The program's way into the table of target formats
// (archivers/include/target_formats.h): a row by the names a user or a
// setting gives it.
#pragma once
#include "archivers/include/target_formats.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace qvo::backends {

using archivers::NamedLevel;
using archivers::TargetFormat;
using archivers::TargetHolds;

// Every target format, in format-index order.
constexpr std::span<const TargetFormat> targetFormats() { return archivers::kTargetFormats; }

// The row of a format index (convType, singleConvType); null for an index
// that names none.
const TargetFormat *targetFormatAt(int32_t index);
// The row whose key is `key`, letter case aside ("zip" is ZIP); null for
// none.
const TargetFormat *targetFormatByKey(std::string_view key);
// The row whose first extension is `extension`, letter case aside
// ("LZH" is LHA); null for none.
const TargetFormat *targetFormatByExtension(std::string_view extension);
// How a user names a target (qvo-convert --to): its first extension or
// its key, letter case aside ("lzh" and "lha" are LHA).
const TargetFormat *targetFormatNamed(std::string_view name);

// The level `name` names for `format` (exactly as listed: "lh5",
// "lzx:21"); null for none.
const NamedLevel *levelNamed(const TargetFormat &format, std::string_view name);
// The name of the level `value` of `format`; "" when no level has it.
std::string_view levelName(const TargetFormat &format, int32_t value);

} // namespace qvo::backends
