// The files a create command packs: "*.*" of a folder, walked once.
//
// "*.*" is a Windows pattern that matches every name, so every entry of the
// folder is taken: dot files and names without a dot included.  The walk does
// not follow symbolic links; it reports them as links with their target, and
// whether the target is a file inside the root, so a writer whose format
// cannot hold a link can store that file's content instead.  Nothing outside
// the root is ever looked at through a link.
#pragma once
#include "create/archive_writer.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qvo::create {

struct SourceWalkOptions {
    bool recurse = true;   // descend into folders and report them as entries
    bool keepPaths = true; // names relative to the root; false: base names only
    // Paths never packed (the archive being written and its temporary file).
    std::vector<std::filesystem::path> exclude;
};

// Walks `root`.  Entries come in a deterministic order: byte order of names
// within a folder, each folder before its contents.  Without `recurse`, only
// the files and links directly in `root` are listed (no folders).  Names are
// as they lie on disk (composed_source_names.h composes them).  Returns
// false with `error` set when the root or a folder in it cannot be read.
bool collectSourceTree(const std::filesystem::path &root, const SourceWalkOptions &options,
                       std::vector<WriterEntry> &out, std::string &error);

// Makes `link`, a link to a file inside the root (linkTargetIsFile), that
// file: kind File, with the file's size, permissions and time, its data
// read through the link.  False with `error` set when the file cannot be
// examined (it changed since the walk).
bool toLinkedFile(WriterEntry &link, std::string &error);

} // namespace qvo::create
