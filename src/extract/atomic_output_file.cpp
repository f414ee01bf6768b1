#include "extract/atomic_output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::archivers {
namespace fs = std::filesystem;

AtomicOutputFile::~AtomicOutputFile()
{
    discard();
}

bool AtomicOutputFile::open(const fs::path &target, std::string &error)
{
    discard();
    target_ = target;
    fs::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";
    std::string pattern = (dir / ("." + target.filename().string() + ".qvo-XXXXXX")).string();
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot create a file in " + dir.string() + ": " + std::strerror(errno);
        return false;
    }
    temp_ = pattern;
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
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    // A file that replaces another is synced first, so a crash cannot leave
    // the name holding neither the old archive nor the new one.  A new name
    // needs no sync: at worst a crash loses the new file, never the user's.
    struct stat st;
    const bool replacing = ::stat(target_.c_str(), &st) == 0;
    if ((replacing && fsync(fd_) != 0) || close(fd_) != 0) {
        fd_ = -1;
        error = "cannot write " + temp_.string() + ": " + std::strerror(errno);
        discard();
        return false;
    }
    fd_ = -1;
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        error = "cannot rename to " + target_.string() + ": " + std::strerror(errno);
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicOutputFile::discard()
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        unlink(temp_.c_str());
        temp_.clear();
    }
}

} // namespace qvo::archivers
