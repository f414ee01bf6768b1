#include "platform/temporary_file.h"

#include "platform/file_status.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace qvo::platform {
namespace {

constexpr std::string_view kMarker = ".qvo-";
constexpr std::string_view kSuffixLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kSuffixLength = 6;
constexpr int kMaxAttempts = 100;

// Unnamed files need /proc to be linked in (AT_EMPTY_PATH instead takes a
// privilege).
bool unnamedFilesUsable()
{
    if (const char *named = std::getenv("QVO_TEST_NAMED_TEMPORARIES"); named && std::string_view(named) == "1")
        return false;
    static const bool procFds = ::access("/proc/self/fd", X_OK) == 0;
    return procFds;
}

// The errors of a file system or kernel without O_TMPFILE.
bool unnamedUnsupported(int err)
{
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOSYS;
}

bool isTemporaryName(std::string_view name)
{
    const size_t tail = kMarker.size() + kSuffixLength;
    if (name.size() < 2 + tail || name.front() != '.')
        return false;
    const std::string_view end = name.substr(name.size() - tail);
    return end.substr(0, kMarker.size()) == kMarker &&
           end.substr(kMarker.size()).find_first_not_of(kSuffixLetters) == std::string_view::npos;
}

std::string freshTemporaryName(const std::string &folder, const std::string &stem)
{
    thread_local std::mt19937_64 draw{std::random_device{}()};
    std::uniform_int_distribution<size_t> letter(0, kSuffixLetters.size() - 1);
    std::string name = "." + stem + std::string(kMarker);
    for (size_t i = 0; i < kSuffixLength; ++i)
        name += kSuffixLetters[letter(draw)];
    return folder.empty() ? name : folder + "/" + name;
}

// The descriptor still names what `name` names now.
bool stillNamed(int fd, int dirFd, const std::string &name)
{
    struct stat held {}, named {};
    return ::fstat(fd, &held) == 0 && ::fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Removes the temporary file `name` of the folder `dirFd` when it is a
// leftover: a regular file of this user that no live writer holds locked.
void removeIfLeftOver(int dirFd, const std::string &name)
{
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid())
        return;
    // Open for writing: NFS locks a file only through a descriptor that may write.
    base::UniqueFd fd(::openat(dirFd, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && stillNamed(fd.get(), dirFd, name))
        ::unlinkat(dirFd, name.c_str(), 0);
}

// Clears the leftovers of `folder` the first time this process makes a
// temporary file there: listing a folder of many archives for each one
// would cost more than the leftovers of the odd killed run.
void removeLeftOversOnce(int dirFd, const std::string &folder)
{
    const char *where = folder.empty() ? "." : folder.c_str();
    std::string key;
    if (dirFd == AT_FDCWD && where[0] == '/') {
        key = folder;
    } else {
        struct stat st {};
        if (::fstatat(dirFd, where, &st, 0) != 0)
            return;
        key = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    static std::mutex mutex;
    static std::unordered_set<std::string> cleared;
    {
        std::lock_guard lock(mutex);
        if (!cleared.insert(key).second)
            return;
    }
    base::UniqueFd dir(::openat(dirFd, where, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return;
    for (const std::string &name : folderEntryNames(dir.get()))
        if (isTemporaryName(name))
            removeIfLeftOver(dir.get(), name);
}

} // namespace

TemporaryFile createTemporaryFile(int dirFd, const std::string &folder, const std::string &stem,
                                  mode_t unnamedMode)
{
    removeLeftOversOnce(dirFd, folder);
    TemporaryFile out;
    if (unnamedFilesUsable()) {
        out.fd.reset(::openat(dirFd, folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC,
                              unnamedMode));
        if (out.fd || !unnamedUnsupported(errno))
            return out;
    }
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::string name = freshTemporaryName(folder, stem);
        base::UniqueFd fd(
            ::openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd) {
            if (errno == EEXIST)
                continue;
            return out;
        }
        // Locked before anything is written.  Between the creation and the
        // lock, another process clearing leftovers may have taken it for
        // one: it removes it, and another name is drawn.  A file system
        // without locks locks nothing, for the clean-up neither.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            continue;
        if (!stillNamed(fd.get(), dirFd, name))
            continue;
        out.fd = std::move(fd);
        out.name = std::move(name);
        return out;
    }
    errno = EEXIST;
    return out;
}

bool linkUnnamedFile(int fd, int dirFd, const std::string &name)
{
    char path[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, path, dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

std::string linkUnnamedFileAsTemporary(int fd, int dirFd, const std::string &folder, const std::string &stem)
{
    // Locked before it has a name: no clean-up may take it for a leftover.
    ::flock(fd, LOCK_EX | LOCK_NB);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::string name = freshTemporaryName(folder, stem);
        if (linkUnnamedFile(fd, dirFd, name))
            return name;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

} // namespace qvo::platform
