// Whether a RAR 5 archive holds encrypted headers or members.
//
// libarchive 3.6 does not report RAR 5 encryption: an encrypted member just
// fails to decode.  Walking the block headers tells an encrypted archive
// (no password support here) from a damaged one.
#pragma once
#include <filesystem>

namespace qvo::formats::rar {

bool rar5HasEncryption(const std::filesystem::path &path);

} // namespace qvo::formats::rar
