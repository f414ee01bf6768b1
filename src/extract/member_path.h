// Checks on the names and link targets an archive member carries, before any
// of them reaches the file system.  Pure text work: what exists on disk is
// the sink's business.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace qvo::extract {

using PathComponents = std::vector<std::string>;

// Splits a member name into the components to create below the destination.
// "/" and "\" separate; empty and "." components are dropped ("a//./b" is
// "a/b").  False when the name may not be created at all: empty, holding a
// NUL byte, absolute ("/x", "\x"), with a drive prefix ("C:", "c:x") or with
// a ".." component anywhere.  An accepted name may still have no components
// ("." or "./"): it names the destination itself.
bool splitMemberName(std::string_view name, PathComponents &out);

// Resolves a link target against the folder `base` (components below the
// destination) by text alone: "." skipped, ".." climbs one level.  False
// when the target is empty, absolute, has a drive prefix or a NUL byte, or
// climbs above the destination at any point.  `resolved` receives the
// components of the place it names.
bool resolveLinkTargetLexically(const PathComponents &base, std::string_view target,
                                PathComponents &resolved);

// True when `text` starts like an absolute or drive-qualified path.
bool isAbsoluteOrDrive(std::string_view text);

// Components joined with "/".
std::string joinComponents(const PathComponents &c, size_t count);
inline std::string joinComponents(const PathComponents &c)
{
    return joinComponents(c, c.size());
}

} // namespace qvo::extract
