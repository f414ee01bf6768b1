#include "platform/file_contents.h"

#include "platform/file_reading.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::platform {
namespace {

class ReadDescriptor {
public:
    explicit ReadDescriptor(const std::string &path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadDescriptor(const ReadDescriptor &) = delete;
    ReadDescriptor &operator=(const ReadDescriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool writeAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// The file a write must replace: the target of a symbolic link, so that a
// linked settings file stays linked.
std::optional<std::string> resolveTarget(const std::string &path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return std::nullopt; // dangling link
    return std::string(resolved);
}

} // namespace

std::optional<std::string> readFileContents(const std::string &path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data;
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buf, size_t(n));
    }
    ::close(fd);
    return data;
}

bool replaceFileContents(const std::string &path, const std::string &data)
{
    auto target = resolveTarget(path);
    if (!target || target->empty())
        return false;

    struct stat st;
    bool existed = ::stat(target->c_str(), &st) == 0;
    if (existed && (!S_ISREG(st.st_mode) || ::access(target->c_str(), W_OK) != 0))
        return false;

    size_t slash = target->rfind('/');
    std::string folder = slash == std::string::npos ? "." : target->substr(0, slash + 1);
    std::string base = slash == std::string::npos ? *target : target->substr(slash + 1);

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + (slash == std::string::npos ? "/" : "") + "." + base + ".tmp-" +
               std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    if (ok && existed)
        ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(temp.c_str(), target->c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

bool sameFileContents(const std::string &a, const std::string &b)
{
    ReadDescriptor fa(a), fb(b);
    if (fa.get() < 0 || fb.get() < 0)
        return false;
    constexpr size_t kChunk = 1 << 18;
    std::unique_ptr<char[]> ba(new char[kChunk]), bb(new char[kChunk]);
    for (;;) {
        const int64_t na = readFully(fa.get(), ba.get(), kChunk);
        const int64_t nb = readFully(fb.get(), bb.get(), kChunk);
        if (na < 0 || nb < 0 || na != nb || std::memcmp(ba.get(), bb.get(), size_t(na)) != 0)
            return false;
        if (size_t(na) < kChunk)
            return true;
    }
}

} // namespace qvo::platform
