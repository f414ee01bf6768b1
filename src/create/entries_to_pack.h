// The entries a create command packs: its folder walked once
// (source_tree.h), names composed to NFC (composed_source_names.h), and,
// without paths, flattened.
#pragma once
#include "create/archive_writer.h"
#include "create/source_tree.h"

#include <filesystem>
#include <vector>

namespace qvo::create {

// Walks `root` into `out`.  Without `keepPaths` every entry goes by its
// base name: folders have nowhere to go and are dropped, a link to a file
// inside the folder becomes that file (its content under the link's name,
// since its relative target would lead elsewhere), and two entries of one
// name fail with NameClash, as they would overwrite each other when
// extracted.  A folder that cannot be walked is NoFiles.  An empty `out`
// is no failure here: the writer judges what it can hold.
WriteResult entriesToPack(const std::filesystem::path &root, const SourceWalkOptions &options,
                          std::vector<WriterEntry> &out);

} // namespace qvo::create
