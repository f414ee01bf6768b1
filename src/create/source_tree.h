// The files a create command packs: "*.*" of a folder, walked once.
//
// "*.*" is a Windows pattern that matches every name, so every entry of the
// folder is taken: dot files and names without a dot included.  The walk does
// not follow symbolic links; it reports them as links with their target, and
// whether the target is a file inside the root, so a writer whose format
// cannot hold a link can store that file's content instead.  Nothing outside
// the root is ever looked at through a link.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>
#include <sys/types.h>

namespace qvo::create {

struct SourceEntry {
    enum class Kind { File, Directory, Symlink };

    std::string name;               // UTF-8, '/'-separated, relative to the root (no trailing '/')
    std::filesystem::path diskPath; // where it lies on disk
    Kind kind = Kind::File;
    uint64_t size = 0;              // file size; for a link to a file, the target's size
    int64_t mtimeSec = 0;           // modification time, seconds since 1970 (UTC)
    uint32_t mtimeNsec = 0;
    uint32_t mode = 0;              // permission bits (07777) of the entry itself
    uid_t uid = 0;
    gid_t gid = 0;
    std::string linkTarget;         // Symlink only: the stored target text
    bool linkTargetIsFile = false;  // Symlink only: the target is a regular file inside the root
};

struct SourceWalkOptions {
    bool recurse = true;   // descend into folders and report them as entries
    bool keepPaths = true; // names relative to the root; false: base names only
    // Paths never packed (the archive being written and its temporary file).
    std::vector<std::filesystem::path> exclude;
};

// Walks `root`.  Entries come in a deterministic order: byte order of names
// within a folder, each folder before its contents.  Without `recurse`, only
// the files and links directly in `root` are listed (no folders).  Returns
// false with `error` set when the root or a folder in it cannot be read.
bool collectSourceTree(const std::filesystem::path &root, const SourceWalkOptions &options,
                       std::vector<SourceEntry> &out, std::string &error);

} // namespace qvo::create
