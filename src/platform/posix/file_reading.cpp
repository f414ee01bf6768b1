#include "platform/file_reading.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::platform {
namespace {

template <typename Read>
int64_t readLoop(uint64_t size, Read read)
{
    uint64_t done = 0;
    while (done < size) {
        const ssize_t n = read(done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

} // namespace

int64_t readFullyAt(int fd, uint64_t offset, void *to, uint64_t size)
{
    auto *bytes = static_cast<char *>(to);
    return readLoop(size, [&](uint64_t done) {
        return ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    });
}

int64_t readFully(int fd, void *to, uint64_t size)
{
    auto *bytes = static_cast<char *>(to);
    return readLoop(size, [&](uint64_t done) { return ::read(fd, bytes + done, size - done); });
}

base::UniqueFd openRegularFile(const std::string &path, uint64_t &size)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    base::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    size = static_cast<uint64_t>(st.st_size);
    return fd;
}

} // namespace qvo::platform
