// Reading all of a stretch of an open file, in as many system calls as it
// takes.
#pragma once
#include "base/unique_fd.h"

#include <cstdint>
#include <string>

namespace qvo::platform {

// Reads `size` bytes at `offset` of the open file `fd` without moving its
// position (other readers of the descriptor rely on it).  Interrupted reads
// are retried.  Returns the bytes read, fewer only at the end of the file,
// or -1 on a read error.
int64_t readFullyAt(int fd, uint64_t offset, void *to, uint64_t size);

// The same at the file's position, which moves past what was read.
int64_t readFully(int fd, void *to, uint64_t size);

// Opens the regular file `path` (links followed) for reading and tells its
// length; an empty descriptor when it is missing, unreadable or no
// regular file (a FIFO would block the reader).
base::UniqueFd openRegularFile(const std::string &path, uint64_t &size);

} // namespace qvo::platform
