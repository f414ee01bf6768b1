// Writes an LHA archive (level-2 headers) of a folder's contents.
#pragma once
#include "codecs/lha/lha_method.h"

#include <cstdint>
#include <filesystem>

namespace qvo::formats::lha {

struct LhaCreateOptions {
    codecs::lha::LhaMethod method = codecs::lha::LhaMethod::Lh5;
    bool keepPaths = true; // names relative to the folder; false: base names only
    bool recurse = true;   // walk subfolders and store them as entries
    // Every name in CP932, or the archive fails with kErrNameEncoding; by
    // default names go in CP932 when they all can, else in UTF-8.
    bool cp932Names = false;
};

// Packs everything in `folder` into `archive`, names composed to NFC
// unless two would then be one.  The archive appears only when complete;
// on failure nothing is left and an existing file of that name is
// untouched.  Returns 0 or an ArchiverResult code.
int32_t writeLhaArchive(const std::filesystem::path &archive, const std::filesystem::path &folder,
                        const LhaCreateOptions &options);

} // namespace qvo::formats::lha
