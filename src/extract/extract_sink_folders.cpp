// The folder walk: every folder below the destination is reached one
// component at a time, never through a link, and the folder of the member
// being written stays open for the next one.
#include "extract/extract_sink_impl.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace qvo::extract {
namespace {

constexpr int kDirOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Why a folder could not be opened without following links: a link stands
// there (refused, whatever it points to), something that is not a folder
// (the name is taken), or the system said no.
int32_t classifyOpenFailure(int dirFd, const std::string &name, int openErrno)
{
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return archivers::kErrUnsafeEntry; // never write through a link
        if (!S_ISDIR(st.st_mode))
            return archivers::kErrExists; // a folder is wanted where something else is
    }
    return openErrno == ELOOP ? archivers::kErrUnsafeEntry : archivers::kErrWrite;
}

} // namespace

// Opens the folder made of the first `count` components below the
// destination, one component at a time and never following a link.
// With `create`, missing folders are made.  On failure `err` says why.
base::UniqueFd ExtractSink::Impl::openFolder(const PathComponents &path, size_t count, bool create, int32_t &err)
{
    base::UniqueFd cur(::fcntl(root.get(), F_DUPFD_CLOEXEC, 0));
    if (!cur) {
        err = archivers::kErrInternal;
        return {};
    }
    for (size_t i = 0; i < count; ++i) {
        const std::string &name = path[i];
        int fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
        if (fd < 0 && errno == ENOENT && create && madeName(path, i + 1)) {
            flushWriter(); // a file is about to appear there
            fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
        }
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(cur.get(), name.c_str(), workingFolderMode()) == 0) {
                PathComponents made(path.begin(), path.begin() + static_cast<long>(i) + 1);
                auto &state = folders[joinComponents(made)];
                state.path = std::move(made);
                state.created = true;
            } else if (errno != EEXIST) {
                stopped = stopped || isSpaceError(errno);
                err = archivers::kErrWrite;
                return {};
            }
            fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
            if (fd >= 0 && (umaskBits & S_IRWXU))
                ::fchmod(fd, workingFolderMode());
        }
        if (fd < 0) {
            err = classifyOpenFailure(cur.get(), name, errno);
            return {};
        }
        cur.reset(fd);
    }
    err = archivers::kOk;
    return cur;
}

// The folder holding a member, through the one-entry cache; the
// descriptor stays owned by the cache and valid until the next call.
int ExtractSink::Impl::parentFolder(const PathComponents &path, bool create, int32_t &err)
{
    size_t count = path.empty() ? 0 : path.size() - 1;
    std::string key = joinComponents(path, count);
    if (!cachedFolder || key != cachedFolderKey) {
        cachedFolder = heldFolder(key);
        if (!cachedFolder) {
            base::UniqueFd fd = openFolder(path, count, create, err);
            if (!fd)
                return -1;
            cachedFolder = std::make_shared<const base::UniqueFd>(std::move(fd));
        }
        cachedFolderKey = std::move(key);
    }
    err = archivers::kOk;
    return cachedFolder->get();
}

} // namespace qvo::extract
