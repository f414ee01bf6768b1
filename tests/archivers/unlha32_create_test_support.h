// Helpers of the unlha32 create tests: calling the built library, making
// source trees and comparing what readers extract with them.
#pragma once
#include "test_support.h"
#include "archivers/include/qvo_archiver.h"

#include <cstdint>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>

namespace qvo::test::unlha32 {

namespace fs = std::filesystem;

// The Unlha entry point of build/lib/qvo/unlha32.so, loaded once.
inline int32_t callUnlha(const std::string &cmd)
{
    static QvoCommandFunction *fn = [] {
        void *h = dlopen((std::string(QVO_LIBRARY_DIR "/") + qvo_unlha32.file).c_str(), RTLD_NOW | RTLD_LOCAL);
        return h ? reinterpret_cast<QvoCommandFunction *>(dlsym(h, qvo_unlha32.commandFunction)) : nullptr;
    }();
    if (!fn)
        throw std::runtime_error("cannot load unlha32.so");
    char out[256];
    return fn(nullptr, cmd.c_str(), out, sizeof out);
}

inline std::string text(size_t n)
{
    std::string s;
    for (int i = 0; s.size() < n; ++i)
        s += "line " + std::to_string(i) + ": LHA 書庫 round trip, the quick brown fox\n";
    s.resize(n);
    return s;
}

inline std::string inQuotes(const fs::path &p)
{
    return "\"" + p.string() + "\"";
}

inline void setTime(const fs::path &p, time_t t)
{
    struct timespec ts[2] = {{t, 0}, {t, 0}};
    utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW);
}

// What a tree holds: relative path -> "D" for folders, "L:target" for
// links, "F:" + content for files; times (seconds) apart.
struct TreeSnapshot {
    std::map<std::string, std::string> entries;
    std::map<std::string, int64_t> mtimes;
};

inline TreeSnapshot snapshot(const fs::path &root, bool withLinks = true)
{
    TreeSnapshot s;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        std::string rel = fs::relative(it->path(), root).string();
        struct stat st;
        lstat(it->path().c_str(), &st);
        if (S_ISLNK(st.st_mode)) {
            if (withLinks)
                s.entries[rel] = "L:" + fs::read_symlink(it->path()).string();
            continue;
        }
        s.entries[rel] = S_ISDIR(st.st_mode) ? "D" : "F:" + readFile(it->path());
        s.mtimes[rel] = st.st_mtim.tv_sec;
    }
    return s;
}

// Describes the first difference between two snapshots, or "".
inline std::string firstDifference(const TreeSnapshot &want, const TreeSnapshot &got, bool times)
{
    for (const auto &[k, v] : want.entries) {
        auto it = got.entries.find(k);
        if (it == got.entries.end())
            return "missing: " + k;
        if (it->second != v)
            return "content differs: " + k;
        if (times && want.mtimes.count(k) && got.mtimes.count(k) && want.mtimes.at(k) != got.mtimes.at(k))
            return "time differs: " + k + " " + std::to_string(want.mtimes.at(k)) + " vs " +
                   std::to_string(got.mtimes.at(k));
    }
    for (const auto &[k, v] : got.entries)
        if (!want.entries.count(k))
            return "unexpected: " + k;
    return "";
}

} // namespace qvo::test::unlha32
