#include "extract/disk_entries.h"

#include "archivers/include/qvo_archiver.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::extract {

mode_t entryAt(int dirFd, const std::string &name)
{
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    return st.st_mode;
}

int32_t placeEntry(int dir, const std::string &from, const std::string &to, bool overwrite)
{
    if (!overwrite) {
        if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0)
            return archivers::kOk;
        if (errno == EEXIST)
            return archivers::kErrExists;
        if (errno != EINVAL && errno != ENOSYS)
            return archivers::kErrWrite;
        // The file system cannot refuse replacing by itself.
        if (entryAt(dir, to) != 0)
            return archivers::kErrExists;
    }
    if (::renameat(dir, from.c_str(), dir, to.c_str()) == 0)
        return archivers::kOk;
    return (errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST) ? archivers::kErrExists : archivers::kErrWrite;
}

std::string temporaryEntryName(const char *suffix)
{
    static std::atomic<unsigned> counter{0};
    char temp[64];
    std::snprintf(temp, sizeof temp, ".qvo-%ld-%u.%s", static_cast<long>(::getpid()), counter++, suffix);
    return temp;
}

} // namespace qvo::extract
