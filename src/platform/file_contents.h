// Whole-file reads, comparison, and all-or-nothing replacement of a small
// text file.
#pragma once
#include <optional>
#include <string>

namespace qvo::platform {

// The bytes of the file, or nullopt when it is missing or unreadable.
std::optional<std::string> readFileContents(const std::string &path);

// Replaces the file's content: the data is written to a new file in the same
// folder and renamed over `path`, so readers see the old or the new content,
// never a mix.  A symbolic link is followed and its target replaced.  The
// permissions of an existing file are kept; a new file gets 0666 less the
// umask.  An existing file we may not write is refused, as an in-place
// write would be.
bool replaceFileContents(const std::string &path, const std::string &data);

// True when both files can be read and hold the same bytes.  Read in
// pieces, so files of any size compare in little memory.
bool sameFileContents(const std::string &a, const std::string &b);

} // namespace qvo::platform
