// A child process and a virtual X server for the window tests that need a
// real display.
#pragma once
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace qvo::test {

// A child process, killed (if still running) and reaped with the object.
class Child {
public:
    Child() = default;
    bool start(const std::vector<std::string> &args, const std::vector<std::string> &extraEnv = {},
               posix_spawn_file_actions_t *actions = nullptr)
    {
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> envStore;
        auto overridden = [&](const std::string &entry) {
            for (const std::string &e : extraEnv)
                if (entry.compare(0, e.find('=') + 1, e, 0, e.find('=') + 1) == 0)
                    return true;
            return false;
        };
        for (char **e = environ; *e; ++e)
            if (!overridden(*e))
                envStore.emplace_back(*e);
        for (const std::string &e : extraEnv)
            envStore.push_back(e);
        std::vector<char *> envp;
        for (std::string &e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        return ::posix_spawnp(&pid_, argv[0], actions, nullptr, argv.data(), envp.data()) == 0;
    }
    // Exit status, or -1 when it did not end within `limit`.
    int waitFor(std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (pid_ > 0 && std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }
    void terminate()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
    }
    void kill()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGKILL);
    }
    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
};

// Starts Xvfb on a display it picks itself; "" when it cannot start.
inline std::string startXvfb(Child &server)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const bool started = server.start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                       "1280x1024x24", "-nolisten", "tcp"},
                                      {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string display;
    pollfd p{fds[0], POLLIN, 0};
    while (started && ::poll(&p, 1, 10000) > 0) {
        char buf[16];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        display.append(buf, static_cast<size_t>(n));
        if (display.find('\n') != std::string::npos)
            break;
    }
    ::close(fds[0]);
    while (!display.empty() && (display.back() == '\n' || display.back() == ' '))
        display.pop_back();
    return display.empty() ? std::string() : ":" + display;
}

} // namespace qvo::test
