// Questions about the volume (mounted file system) that holds a path.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::platform {

// The nearest existing folder at or above `path` (relative paths count from
// the current folder); empty when none can be examined.
std::string nearestExistingFolder(const std::string &path);

// Bytes an unprivileged user may still write on the volume holding `path`
// (its nearest existing ancestor); -1 when it cannot be read.
int64_t freeBytesAvailable(const std::string &path);

// The mount point of the volume holding `path` (its nearest existing
// ancestor), with a trailing separator; empty when it cannot be found.
std::string mountPointOf(const std::string &path);

} // namespace qvo::platform
