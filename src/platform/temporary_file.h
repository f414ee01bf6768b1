// Files that take their name only once they are complete, so that a writer
// killed halfway (SIGKILL, a crash) leaves nothing behind.
//
// Where the file system allows it (O_TMPFILE: ext4, xfs, btrfs, tmpfs) the
// file is made without a name and linked in through /proc/self/fd when it
// is done: a writer that dies takes its file with it.  Elsewhere (NFS, most
// FUSE file systems, FAT), or without /proc, the file gets a hidden name of
// one pattern, "." + stem + ".qvo-" + six letters or digits, and is locked
// (flock) for as long as its writer keeps it open.  A writer that dies
// leaves the name but not the lock, so the first temporary file a process
// makes in a folder removes such leftovers of earlier processes: names of
// the pattern only, regular files of this user only, each only when its
// lock can be taken (a live writer keeps its file) and while the name still
// leads to the file locked.
//
// QVO_TEST_NAMED_TEMPORARIES=1 in the environment takes the named way on
// any file system (tests).
#pragma once
#include "base/unique_fd.h"

#include <string>
#include <sys/types.h>

namespace qvo::platform {

struct TemporaryFile {
    base::UniqueFd fd; // open for reading and writing
    // Relative to the folder descriptor it was made with; empty while the
    // file has no name.
    std::string name;
};

// Makes a temporary file in `folder` (relative to `dirFd`, which may be
// AT_FDCWD; "" for `dirFd` itself).  An unnamed file gets `unnamedMode`
// less the umask; a named one 0600, as nobody else should read it half
// written.  On failure `fd` is invalid and errno says why.
TemporaryFile createTemporaryFile(int dirFd, const std::string &folder, const std::string &stem,
                                  mode_t unnamedMode);

// Gives the unnamed file open as `fd` the name `name` (relative to
// `dirFd`).  False with errno set; EEXIST when the name is taken, which
// is never replaced.
bool linkUnnamedFile(int fd, int dirFd, const std::string &name);

// Gives the unnamed file open as `fd` a fresh temporary name in `folder`,
// locked like a named temporary file while `fd` stays open, for a rename
// over an existing entry.  Returns the name relative to `dirFd`, or empty
// with errno set.
std::string linkUnnamedFileAsTemporary(int fd, int dirFd, const std::string &folder, const std::string &stem);

} // namespace qvo::platform
