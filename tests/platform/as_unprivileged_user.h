// Runs checks with the rights of an ordinary user.  Root ignores permission
// bits, so tests of read-only files and folders would prove nothing when the
// suite runs as root (as CI containers do): there the checks run in a child
// process that has become "nobody".
#pragma once
#include <filesystem>
#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qvo::test {

inline constexpr uid_t nobodyId = 65534;

// Hands `workFolder` (and everything already in it) to the user who will run
// `body`, runs it and returns its result.  `body` must report its own
// failures (it may run in another process): return false and print why.
inline bool asUnprivilegedUser(const std::filesystem::path &workFolder,
                               const std::function<bool()> &body)
{
    if (::geteuid() != 0)
        return body();
    for (auto &e : std::filesystem::recursive_directory_iterator(workFolder))
        if (::lchown(e.path().c_str(), nobodyId, nobodyId) != 0)
            return false;
    if (::chown(workFolder.c_str(), nobodyId, nobodyId) != 0)
        return false;
    pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(nobodyId) == 0 &&
                       ::setuid(nobodyId) == 0;
        ::_exit(dropped && body() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace qvo::test
