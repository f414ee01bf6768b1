// Where a symbolic link below the destination really leads.
#pragma once
#include "extract/member_path.h"

#include <string_view>

namespace qvo::extract {

// Follows `target` from the folder `base` (components below the folder open
// as `rootFd`) the way the kernel would, through the links that exist now.
// False when the walk leaves the destination: a ".." above it, an absolute
// link on the way, a loop, or a folder on the way that cannot be opened.
// Past a name that does not exist the rest is followed by text; once the
// text climbs back to a known folder, the walk looks at the disk again.
bool linkStaysInside(int rootFd, const PathComponents &base, std::string_view target);

} // namespace qvo::extract
