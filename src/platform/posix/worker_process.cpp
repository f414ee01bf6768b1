#include "platform/worker_process.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace qvo::platform {
namespace {

// A message longer than this is taken as a broken channel.
constexpr uint32_t kMaxMessage = 64u << 20;

// The parent's ends of the channels of its living children: a child closes
// those it inherited, or a sibling would never see its channel close.
std::mutex parentEndsLock;
std::set<int> parentEnds;

// Moves all `size` bytes with `step` (a send or a read of what is left),
// going on after signals.  False when the other end is gone.
template <typename Buffer, typename Step>
bool transferAll(Buffer *data, size_t size, Step step)
{
    while (size > 0) {
        const ssize_t n = step(data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool writeAll(int fd, const char *data, size_t size)
{
    // MSG_NOSIGNAL: a parent or child gone is an answer, not a signal.
    return transferAll(data, size, [fd](const char *at, size_t left) { return ::send(fd, at, left, MSG_NOSIGNAL); });
}

bool readAll(int fd, char *data, size_t size)
{
    return transferAll(data, size, [fd](char *at, size_t left) { return ::read(fd, at, left); });
}

[[noreturn]] void runChild(int parentEnd, base::UniqueFd childEnd, pid_t parent,
                           const std::function<int(MessageChannel &)> &body)
{
    // The parent's way of catching end requests is not the child's: the
    // child just ends.
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
        ::signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(128 + SIGTERM);
    ::close(parentEnd);
    {
        std::lock_guard<std::mutex> guard(parentEndsLock);
        for (int fd : parentEnds)
            ::close(fd);
        parentEnds.clear();
    }
    int result = 1;
    try {
        MessageChannel channel(std::move(childEnd));
        result = body(channel);
    } catch (...) {
        result = 1;
    }
    ::_exit(result);
}

} // namespace

bool MessageChannel::send(std::string_view message)
{
    if (!fd_ || message.size() > kMaxMessage)
        return false;
    // Length and bytes in one write: the other end wakes once.
    const uint32_t length = uint32_t(message.size());
    std::string framed(sizeof length, '\0');
    std::memcpy(framed.data(), &length, sizeof length);
    framed += message;
    return writeAll(fd_.get(), framed.data(), framed.size());
}

std::optional<std::string> MessageChannel::receive()
{
    if (!fd_)
        return std::nullopt;
    uint32_t length = 0;
    char head[4];
    if (!readAll(fd_.get(), head, sizeof head))
        return std::nullopt;
    std::memcpy(&length, head, sizeof head);
    if (length > kMaxMessage)
        return std::nullopt;
    std::string message(length, '\0');
    if (!readAll(fd_.get(), message.data(), length))
        return std::nullopt;
    return message;
}

WorkerProcess WorkerProcess::start(const std::function<int(MessageChannel &)> &body)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot make a channel to a worker process");
    base::UniqueFd parentEnd(ends[0]), childEnd(ends[1]);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::system_error(errno, std::generic_category(), "cannot start a worker process");
    if (pid == 0)
        runChild(parentEnd.release(), std::move(childEnd), parent, body);
    {
        std::lock_guard<std::mutex> guard(parentEndsLock);
        parentEnds.insert(parentEnd.get());
    }
    return WorkerProcess(pid, std::move(parentEnd));
}

WorkerProcess::WorkerProcess(WorkerProcess &&other) noexcept
    : pid_(std::exchange(other.pid_, -1)), status_(other.status_), channel_(std::move(other.channel_))
{
}

WorkerProcess &WorkerProcess::operator=(WorkerProcess &&other) noexcept
{
    if (this != &other) {
        end();
        pid_ = std::exchange(other.pid_, -1);
        status_ = other.status_;
        channel_ = std::move(other.channel_);
    }
    return *this;
}

WorkerProcess::~WorkerProcess() { end(); }

void WorkerProcess::end()
{
    if (channel_.descriptor() >= 0) {
        std::lock_guard<std::mutex> guard(parentEndsLock);
        parentEnds.erase(channel_.descriptor());
    }
    channel_.close();
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
}

void WorkerProcess::stop()
{
    if (pid_ > 0 && status_ < 0)
        ::kill(pid_, SIGTERM);
}

int WorkerProcess::wait()
{
    if (pid_ <= 0)
        return -1;
    while (status_ < 0) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, 0);
        if (done == pid_)
            status_ = status;
        else if (done < 0 && errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status_))
        return WEXITSTATUS(status_);
    if (WIFSIGNALED(status_))
        return 128 + WTERMSIG(status_);
    return -1;
}

std::string WorkerProcess::endText() const
{
    if (status_ < 0)
        return "still running";
    if (WIFSIGNALED(status_))
        return std::string("signal ") + std::to_string(WTERMSIG(status_)) + " (" + ::strsignal(WTERMSIG(status_)) + ")";
    return "exit status " + std::to_string(WEXITSTATUS(status_));
}

std::vector<bool> waitReadable(const std::vector<int> &descriptors, int timeoutMs)
{
    std::vector<pollfd> polled;
    std::vector<size_t> index;
    for (size_t k = 0; k < descriptors.size(); ++k)
        if (descriptors[k] >= 0) {
            polled.push_back({descriptors[k], POLLIN, 0});
            index.push_back(k);
        }
    std::vector<bool> ready(descriptors.size(), false);
    if (::poll(polled.data(), polled.size(), timeoutMs) <= 0)
        return ready;
    for (size_t k = 0; k < polled.size(); ++k)
        if (polled[k].revents & (POLLIN | POLLHUP | POLLERR))
            ready[index[k]] = true;
    return ready;
}

} // namespace qvo::platform
