// The Info-ZIP Unicode Path fields (0x7075) of a ZIP archive's central
// directory.  libarchive stops using them once a header charset is set, so
// the reader looks them up here.
#pragma once
#include <filesystem>
#include <map>
#include <string>

namespace qvo::archivers {

// Maps each member name, decoded as CP932 the way unmarked names are, to
// the UTF-8 name of its 0x7075 field.  Only fields of version 1 whose CRC
// matches the stored name count, and only on members without the UTF-8
// flag.  Empty when the file is not a ZIP archive or has no such field.
std::map<std::string, std::string> readZipUnicodePaths(const std::filesystem::path &archive);

} // namespace qvo::archivers
