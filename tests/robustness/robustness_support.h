// Conversions the way the program makes them (extract the source into a
// working folder, pack that folder into the target), through the built
// archiver libraries, each command in a child process whose peak memory
// is measured.
#pragma once
#include "test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace qvo::test::robust {

namespace fs = std::filesystem;

inline QvoCommandFunction *command(const QvoArchiverName &library)
{
    void *h = dlopen((std::string(QVO_LIBRARY_DIR) + "/" + library.file).c_str(), RTLD_NOW | RTLD_LOCAL);
    return h ? reinterpret_cast<QvoCommandFunction *>(dlsym(h, library.commandFunction)) : nullptr;
}

enum class Format { Lha, Zip, Cab, Rar };

inline const char *extensionOf(Format f)
{
    switch (f) {
    case Format::Lha: return "lzh";
    case Format::Zip: return "zip";
    case Format::Cab: return "cab";
    case Format::Rar: return "rar";
    }
    return "";
}

inline std::string inQuotes(const fs::path &p) { return "\"" + p.string() + "\""; }

// The extract command the back-end of `f` sends.
inline int32_t extract(Format f, const fs::path &archive, const fs::path &folder)
{
    std::string dest = inQuotes(folder.string() + "/");
    switch (f) {
    case Format::Lha: return command(qvo_unlha32)(nullptr, ("x  -n " + inQuotes(archive) + " " + dest).c_str(), nullptr, 0);
    case Format::Zip: return command(qvo_sevenzip32)(nullptr, ("x -hide " + inQuotes(archive) + " " + dest).c_str(), nullptr, 0);
    case Format::Cab: return command(qvo_cab32)(nullptr, ("-x  -i " + inQuotes(archive) + " " + dest).c_str(), nullptr, 0);
    case Format::Rar: return command(qvo_unrar32)(nullptr, ("-x -q " + inQuotes(archive) + " \"" + folder.string() + "//\"").c_str(), nullptr, 0);
    }
    return -1;
}

// The compress command the back-end of `f` sends; ZIP and CAB pack the
// current folder, so it is changed around the call as the back-ends do.
inline int32_t compress(Format f, const fs::path &folder, const fs::path &archive)
{
    if (f == Format::Lha)
        return command(qvo_unlha32)(nullptr, ("a -x1 -n -r2 -jm2 " + inQuotes(archive) + " " + inQuotes(folder.string() + "/")).c_str(), nullptr, 0);
    if (f == Format::Rar)
        return -1;
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    int32_t rc = f == Format::Zip
                     ? command(qvo_zip32j)(nullptr, ("-r -q -6 " + inQuotes(archive) + " *.*").c_str(), nullptr, 0)
                     : command(qvo_cab32)(nullptr, ("-a -r -i -mz " + inQuotes(archive) + " *.*").c_str(), nullptr, 0);
    fs::current_path(before);
    return rc;
}

struct ChildResult {
    bool exited = false;
    int32_t result = -1;
    long maxRssKiB = 0;
};

// Runs `fn` (returning a result code) in a child; its peak resident size
// comes from wait4.
template <typename Fn>
ChildResult inChild(Fn &&fn)
{
    int fds[2];
    ChildResult out;
    if (pipe(fds) != 0)
        return out;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int32_t r = fn();
        ssize_t w = write(fds[1], &r, sizeof r);
        _exit(w == sizeof r ? 0 : 1);
    }
    close(fds[1]);
    int32_t r = -1;
    ssize_t got = read(fds[0], &r, sizeof r);
    close(fds[0]);
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    out.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == sizeof r;
    out.result = r;
    out.maxRssKiB = ru.ru_maxrss;
    return out;
}

// Every regular file below `root` with its bytes, for before/after
// comparisons.
inline std::map<std::string, std::string> snapshot(const fs::path &root)
{
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file())
            out[fs::relative(it->path(), root).string()] = readFile(it->path());
    return out;
}

} // namespace qvo::test::robust
