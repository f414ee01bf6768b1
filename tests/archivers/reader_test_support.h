// Helpers for the extraction tests: calling a built archiver library the
// way the program does (dlopen from QVO_LIBRARY_DIR, one command line),
// isolated in a child process so that a crash or a hang in a hostile case
// fails that case instead of the whole suite, and snapshots of extracted
// trees for comparison with independent readers.
#pragma once
#include "test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <cstdint>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qvo::test {

// A library of QVO_LIBRARY_DIR and its command function.
using Archiver = QvoArchiverName;

const Archiver kUnlha = qvo_unlha32;
const Archiver kUnZip = qvo_unzip32;
const Archiver kSevenZip = qvo_sevenzip32;
const Archiver kCab = qvo_cab32;
const Archiver kUnrar = qvo_unrar32;

// What happened to one call.
struct CallOutcome {
    bool finished = false; // returned normally (no crash, no timeout)
    bool timedOut = false;
    int signal = 0;        // the signal that ended the child, if any
    int32_t result = -1;   // the command function's result when finished
};

inline std::string describe(const CallOutcome &o)
{
    if (o.timedOut)
        return "timed out";
    if (!o.finished)
        return "killed by signal " + std::to_string(o.signal);
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(o.result));
    return buf;
}

// Calls `archiver` with `cmdLine` in a child process.  `extractLimit`, when
// set, goes to the child's QVO_TEST_EXTRACT_LIMIT.
inline CallOutcome callArchiver(const Archiver &archiver, const std::string &cmdLine,
                                int timeoutSeconds = 60, const std::string &extractLimit = {})
{
    CallOutcome out;
    int fds[2];
    if (pipe(fds) != 0)
        return out;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (!extractLimit.empty())
            setenv("QVO_TEST_EXTRACT_LIMIT", extractLimit.c_str(), 1);
        std::string path = std::string(QVO_LIBRARY_DIR) + "/" + archiver.file;
        void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h)
            _exit(101);
        auto fn = reinterpret_cast<QvoCommandFunction *>(dlsym(h, archiver.commandFunction));
        if (!fn)
            _exit(102);
        int32_t r = fn(nullptr, cmdLine.c_str(), nullptr, 0);
        ssize_t w = write(fds[1], &r, sizeof r);
        _exit(w == sizeof r ? 0 : 103);
    }
    close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    int ready = poll(&p, 1, timeoutSeconds * 1000);
    if (ready == 1) {
        int32_t r;
        if (read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r)) {
            out.finished = true;
            out.result = r;
        }
    } else {
        out.timedOut = true;
        kill(pid, SIGKILL);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status) && !out.timedOut)
        out.signal = WTERMSIG(status);
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        out.finished = false;
    return out;
}

inline std::string quoted(const std::filesystem::path &p)
{
    return "\"" + p.string() + "\"";
}

// One entry of an extracted tree.
struct TreeEntry {
    char type = 'f';    // 'f' file, 'd' folder, 'l' link
    uint64_t size = 0;
    uint64_t hash = 0;  // FNV-1a of the content (files) or the target (links)
    bool operator==(const TreeEntry &) const = default;
};

inline uint64_t fnv1a(const std::string &data)
{
    uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : data) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

// Every entry below `root`, by path relative to it.
inline std::map<std::string, TreeEntry> snapshot(const std::filesystem::path &root)
{
    namespace fs = std::filesystem;
    std::map<std::string, TreeEntry> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string rel = fs::relative(it->path(), root).string();
        TreeEntry e;
        if (it->is_symlink()) {
            e.type = 'l';
            std::string target = fs::read_symlink(it->path()).string();
            e.size = target.size();
            e.hash = fnv1a(target);
        } else if (it->is_directory()) {
            e.type = 'd';
        } else {
            std::string data = readFile(it->path());
            e.size = data.size();
            e.hash = fnv1a(data);
        }
        out[rel] = e;
    }
    return out;
}

// True when nothing below `root` is a link whose target leaves `root`.
inline bool noLinkLeaves(const std::filesystem::path &root)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path base = fs::weakly_canonical(root);
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_symlink())
            continue;
        fs::path target = fs::read_symlink(it->path());
        fs::path resolved = fs::weakly_canonical(target.is_absolute() ? target : it->path().parent_path() / target);
        auto rel = resolved.lexically_relative(base).string();
        if (rel.empty() || rel.rfind("..", 0) == 0)
            return false;
    }
    return true;
}

} // namespace qvo::test
