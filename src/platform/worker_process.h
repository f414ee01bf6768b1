// Child processes that each carry out a share of a batch, each talking to
// its parent through a channel of whole messages.
//
// A child is a fork of its parent, so it starts with everything the parent
// had loaded and set up; make children while the parent runs one thread
// only.  A child has its own current directory, umask and library state, so
// work that changes those can run in several children at once.  It ends by
// the default action of SIGTERM, SIGINT and SIGHUP, and with its parent.
#pragma once
#include "base/unique_fd.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qvo::platform {

// Length-prefixed messages over a stream socket.
class MessageChannel {
public:
    explicit MessageChannel(base::UniqueFd fd) : fd_(std::move(fd)) {}
    MessageChannel(MessageChannel &&) noexcept = default;
    MessageChannel &operator=(MessageChannel &&) noexcept = default;
    // False when the other end is gone.
    bool send(std::string_view message);
    // Waits for the next message; nothing when the other end closed or
    // broke off in the middle of one.
    std::optional<std::string> receive();
    int descriptor() const { return fd_.get(); }
    void close() { fd_.reset(); }

private:
    base::UniqueFd fd_;
};

class WorkerProcess {
public:
    // Forks a child that runs `body` with its end of the channel and ends
    // with its result (nothing the child has, such as buffered output or
    // objects of static duration, is finished: it leaves by _exit).
    // Throws std::system_error when no child can be made.
    static WorkerProcess start(const std::function<int(MessageChannel &)> &body);

    WorkerProcess(WorkerProcess &&) noexcept;
    WorkerProcess &operator=(WorkerProcess &&) noexcept;
    // Ends the child (SIGKILL) if it still runs, and waits for it.
    ~WorkerProcess();

    MessageChannel &channel() { return channel_; }
    // Asks the child to end (SIGTERM).
    void stop();
    // Waits for the child to end; its exit status, or 128 + the signal that
    // ended it.  Later calls return the same.
    int wait();
    // How the child ended, in words ("exit status 3", "signal 11").
    std::string endText() const;

private:
    WorkerProcess(pid_t pid, base::UniqueFd fd) : pid_(pid), channel_(std::move(fd)) {}
    void end();

    pid_t pid_ = -1;
    int status_ = -1; // from waitpid, once reaped
    MessageChannel channel_;
};

// Waits up to `timeoutMs` (-1: no limit) until one of `descriptors` can be
// read or was closed at the other end; which can, in the same order.
// Negative descriptors are left out.  Interrupted waits return all false.
std::vector<bool> waitReadable(const std::vector<int> &descriptors, int timeoutMs);

} // namespace qvo::platform
