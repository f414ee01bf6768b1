// What stands at a name in a folder of the destination, and putting an
// entry made aside (a temporary name) in its place: shared by files, hard
// links and symbolic links.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>

namespace qvo::extract {

// What stands at `name` in the folder `dirFd`: 0 nothing, else the st_mode
// of the entry (a link is not followed).
mode_t entryAt(int dirFd, const std::string &name);

// Moves the entry `from` to `to` in the folder `dir`; without `overwrite`,
// a name that appeared meanwhile is kept (kErrExists).  A folder is never
// replaced.
int32_t placeEntry(int dir, const std::string &from, const std::string &to, bool overwrite);

// A hidden name, unique in this process, for an entry made aside: "link",
// "symlink" as `suffix`.
std::string temporaryEntryName(const char *suffix);

// A member's time as the system takes it.
inline timespec toTimespec(int64_t sec, uint32_t nsec)
{
    timespec t{};
    t.tv_sec = static_cast<time_t>(sec);
    t.tv_nsec = nsec < 1000000000u ? static_cast<long>(nsec) : 0;
    return t;
}

} // namespace qvo::extract
