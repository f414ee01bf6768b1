// Comparing two extracted trees: the check that a new archive, read back,
// holds exactly what was packed.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace qvo::convert {

struct TreeEntry {
    enum class Kind { File, Folder, Link, Other } kind = Kind::Other;
    uint64_t size = 0;      // files
    std::string linkTarget; // links
};

// Every entry below `folder`, keyed by its path relative to it ("a/b.txt").
// Links are listed, never followed.
std::map<std::string, TreeEntry> listTree(const std::string &folder);

// True when both trees hold the same names, kinds, sizes, link targets
// and file contents.  Folders that hold nothing may be missing from
// `copy` when `emptyFoldersKept` is false (formats without folder
// entries).  `difference` names the first mismatch.
bool sameTrees(const std::string &original, const std::string &copy, bool emptyFoldersKept,
               std::string &difference);

} // namespace qvo::convert
