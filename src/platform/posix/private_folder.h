// A folder that belongs to one user alone, below a shared folder such as
// /tmp.
#pragma once
#include <string>
#include <sys/types.h>

namespace qvo::platform {

// `base`/qvo-<uid>/, created with mode 0700 when missing.  Empty when it
// cannot be used safely: it is not a real folder (a link, a file), another
// account owns it, or others may write or enter it.  Anyone can create
// names in /tmp, so a name chosen in advance could otherwise be a link
// planted to redirect what conversions write, or a folder another user
// reads.
std::string privateFolderBelow(const std::string &base, uid_t uid);

// `path` with every missing folder created with mode 0700, accepted under
// the same rules for its last component.  False when unusable.
bool ensurePrivateFolder(const std::string &path, uid_t uid);

// `path`, created with mode 0700 when missing; a real folder the user
// already owns loses any access for others (an earlier version made its
// working root with the umask's mode).  False when it is no such folder: a
// link, a file, another account's folder.
bool claimPrivateFolder(const std::string &path, uid_t uid);

} // namespace qvo::platform
