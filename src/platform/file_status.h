// What a path names, and the few single-file operations the program needs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qvo::platform {

struct EntryStatus {
    enum class Kind { Missing, File, Folder, Link, Other } kind = Kind::Missing;
    uint64_t size = 0; // files
};

// What `path` names.  With `followLinks` a link reports what it leads to
// (Missing when that is nothing); without, a link is a Link.
EntryStatus entryStatus(const std::string &path, bool followLinks);
// What `name` inside the open folder `folderFd` names; a link is a Link.
EntryStatus entryStatusAt(int folderFd, const std::string &name);

// The length of the regular file `path` names (links followed), or -1 when
// it is not one or is missing.
int64_t regularFileLength(const std::string &path);

// Like regularFileLength, and -1 as well when the user may not read it.
int64_t readableFileLength(const std::string &path);

// Removes the file or link `path` (a link itself, never its target).
bool removeFile(const std::string &path);
bool removeFileAt(int folderFd, const std::string &name);

// The names in `folder`, "." and ".." left out, in the order the system
// lists them; empty when it cannot be listed.
std::vector<std::string> folderEntryNames(const std::string &folder);
// The same for the open folder `folderFd` (which is left as it was).
std::vector<std::string> folderEntryNames(int folderFd);

// Flushes the file and the folder entry that names it to the disk.  False
// when the file could not be flushed.
bool syncFileToDisk(const std::string &path);

// Whether standard output is a terminal.
bool standardOutputIsTerminal();

} // namespace qvo::platform
