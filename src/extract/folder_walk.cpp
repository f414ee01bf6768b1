#include "extract/folder_walk.h"

#include "archivers/include/qvo_archiver.h"
#include "extract/extract_sink_space.h"
#include "extract/folder_attributes.h"
#include "extract/made_names.h"

#include <algorithm>
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

FolderWalk::FolderWalk(int root, mode_t umaskBits, const MadeNames &made, FolderAttributes &attributes,
                       std::function<void()> waitForPendingFiles)
    : root_(root), umaskBits_(umaskBits), made_(made), attributes_(attributes),
      waitForPendingFiles_(std::move(waitForPendingFiles))
{
}

mode_t FolderWalk::workingFolderMode() const
{
    return (0777 & ~umaskBits_) | S_IRWXU;
}

base::UniqueFd FolderWalk::open(const PathComponents &path, size_t count, bool create, int32_t &err)
{
    base::UniqueFd cur(::fcntl(root_, F_DUPFD_CLOEXEC, 0));
    if (!cur) {
        err = archivers::kErrInternal;
        return {};
    }
    for (size_t i = 0; i < count; ++i) {
        const std::string &name = path[i];
        int fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
        if (fd < 0 && errno == ENOENT && create && made_.holds(path, i + 1)) {
            waitForPendingFiles_(); // a file is about to appear there
            fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
        }
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(cur.get(), name.c_str(), workingFolderMode()) == 0) {
                attributes_.made(PathComponents(path.begin(), path.begin() + static_cast<long>(i) + 1));
            } else if (errno != EEXIST) {
                volumeFull_ = volumeFull_ || isSpaceError(errno);
                err = archivers::kErrWrite;
                return {};
            }
            fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
            if (fd >= 0 && (umaskBits_ & S_IRWXU))
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

int FolderWalk::parent(const PathComponents &path, bool create, int32_t &err)
{
    size_t count = path.empty() ? 0 : path.size() - 1;
    std::string key = joinComponents(path, count);
    if (!cached_ || key != cachedKey_) {
        cached_ = heldFolder(key);
        if (!cached_) {
            base::UniqueFd fd = open(path, count, create, err);
            if (!fd)
                return -1;
            cached_ = std::make_shared<const base::UniqueFd>(std::move(fd));
        }
        cachedKey_ = std::move(key);
    }
    err = archivers::kOk;
    return cached_->get();
}

FolderWalk::Folder FolderWalk::heldFolder(const std::string &key) const
{
    const auto held = held_.find(key);
    return held == held_.end() ? nullptr : held->second.lock();
}

void FolderWalk::holdParent(const std::function<void()> &waitForProgress)
{
    if (heldFolder(cachedKey_))
        return; // files waiting there hold it already
    for (;;) {
        std::erase_if(held_, [](const auto &entry) { return entry.second.expired(); });
        if (held_.size() < kMaxHeldFolders)
            break;
        waitForProgress();
    }
    held_[cachedKey_] = cached_;
}

} // namespace qvo::extract
