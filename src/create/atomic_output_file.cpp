#include "create/atomic_output_file.h"

#include "base/unique_fd.h"
#include "platform/temporary_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qvo::create {
namespace fs = std::filesystem;

namespace {

fs::path folderOf(const fs::path &target)
{
    fs::path dir = target.parent_path();
    return dir.empty() ? fs::path(".") : dir;
}

} // namespace

AtomicOutputFile::~AtomicOutputFile()
{
    discard();
}

bool AtomicOutputFile::open(const fs::path &target, std::string &error)
{
    discard();
    target_ = target;
    const fs::path dir = folderOf(target);
    platform::TemporaryFile file =
        platform::createTemporaryFile(AT_FDCWD, dir.string(), target.filename().string(), 0666);
    if (!file.fd) {
        error = "cannot create a file in " + dir.string() + ": " + std::strerror(errno);
        return false;
    }
    fd_ = file.fd.release();
    temp_ = file.name;
    size_ = 0;
    return true;
}

bool AtomicOutputFile::write(const void *data, size_t size)
{
    if (!writeAt(size_, data, size))
        return false;
    return true;
}

bool AtomicOutputFile::writeAt(uint64_t offset, const void *data, size_t size)
{
    const char *p = static_cast<const char *>(data);
    uint64_t pos = offset;
    while (size > 0) {
        ssize_t n = pwrite(fd_, p, size, static_cast<off_t>(pos));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        pos += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    if (pos > size_)
        size_ = pos;
    return true;
}

bool AtomicOutputFile::commit(std::string &error)
{
    if (fd_ < 0) {
        error = "no open output file";
        return false;
    }
    const bool unnamed = temp_.empty();
    if (!unnamed) {
        // A named temporary file is private while it is written.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    struct stat st;
    bool replacing = ::stat(target_.c_str(), &st) == 0;
    if (unnamed && !replacing) {
        // A new name leads straight to the file, unless it was taken meanwhile.
        if (platform::linkUnnamedFile(fd_, AT_FDCWD, target_.string())) {
            if (::close(std::exchange(fd_, -1)) == 0)
                return true;
            const int closeError = errno; // a late write error: the new name goes again
            ::unlink(target_.c_str());
            errno = closeError;
            return fail("cannot write " + target_.string(), error);
        }
        if (errno != EEXIST)
            return fail("cannot create " + target_.string(), error);
        replacing = true;
    }
    // A file that replaces another is synced first, so a crash cannot leave
    // the name holding neither the old archive nor the new one.  A new name
    // needs no sync: at worst a crash loses the new file, never the user's.
    if (replacing && fsync(fd_) != 0)
        return fail("cannot write " + target_.string(), error);
    if (unnamed) {
        const fs::path dir = folderOf(target_);
        temp_ = platform::linkUnnamedFileAsTemporary(fd_, AT_FDCWD, dir.string(), target_.filename().string());
        if (temp_.empty())
            return fail("cannot create a file in " + dir.string(), error);
    }
    // Closing reports late write errors (network file systems), so it comes
    // before the rename; a copy of the descriptor keeps the temporary file
    // locked until then, away from clean-ups of other writers.
    const base::UniqueFd lock(::fcntl(fd_, F_DUPFD_CLOEXEC, 0));
    if (::close(std::exchange(fd_, -1)) != 0)
        return fail("cannot write " + temp_.string(), error);
    if (std::rename(temp_.c_str(), target_.c_str()) != 0)
        return fail("cannot rename to " + target_.string(), error);
    temp_.clear();
    return true;
}

// Sets `error` with the system's reason and drops the temporary file.
bool AtomicOutputFile::fail(const std::string &what, std::string &error)
{
    error = what + ": " + std::strerror(errno);
    discard();
    return false;
}

void AtomicOutputFile::discard()
{
    // Removed while still held: no clean-up elsewhere sees it unlocked.
    if (!temp_.empty()) {
        unlink(temp_.c_str());
        temp_.clear();
    }
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

} // namespace qvo::create
