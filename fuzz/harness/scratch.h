// A private scratch folder for one fuzzing process, and the check that an
// operation left nothing outside the place it was allowed to write.
//
// Shared by the fuzz targets and by the regression tests that replay their
// findings, so both judge an input the same way.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

namespace qvo::fuzz {

namespace fs = std::filesystem;

// Reports a broken promise and stops: libFuzzer keeps the input as a crash,
// a regression test dies with the message.
[[noreturn]] inline void fail(const std::string &what)
{
    std::fprintf(stderr, "qvo-fuzz: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

class Scratch {
public:
    explicit Scratch(const char *tag)
    {
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        if (ec)
            base = "/tmp";
        std::string tmpl = (base / (std::string("qvo-fuzz-") + tag + "-XXXXXX")).string();
        if (!mkdtemp(tmpl.data()))
            fail("cannot make a scratch folder");
        root_ = tmpl;
    }
    ~Scratch()
    {
        clear();
        std::error_code ec;
        fs::remove(root_, ec);
    }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

    const fs::path &root() const { return root_; }

    // Empties the folder; entries made read-only by an input are made
    // writable first so that they can go.
    void clear() const
    {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_symlink(ec) && it->is_directory(ec))
                ::chmod(it->path().c_str(), 0700);
        }
        for (auto &e : fs::directory_iterator(root_, ec))
            fs::remove_all(e.path(), ec);
    }

private:
    fs::path root_;
};

// True when `p` (lexically normal, absolute) lies in or is `dir`.
inline bool isWithin(const fs::path &p, const fs::path &dir)
{
    auto rel = p.lexically_relative(dir);
    return !rel.empty() && *rel.begin() != "..";
}

// Checks what an operation left under `root`: the top level holds only the
// names in `allowedTop`, nothing anywhere is a device, fifo or socket or
// carries setuid/setgid bits, and every symbolic link resolves (as text,
// followed hop by hop) to a place inside `linkBoundary`.
inline void checkTree(const fs::path &root, const std::set<std::string> &allowedTop,
                      const fs::path &linkBoundary)
{
    std::error_code ec;
    for (auto &e : fs::directory_iterator(root, ec)) {
        if (!allowedTop.count(e.path().filename().string()))
            fail("unexpected entry beside the destination: " + e.path().string());
    }
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        struct stat st;
        if (::lstat(it->path().c_str(), &st) != 0)
            continue;
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode))
            fail("special file made: " + it->path().string());
        if (st.st_mode & (S_ISUID | S_ISGID))
            fail("setuid/setgid bit set: " + it->path().string());
        if (S_ISLNK(st.st_mode)) {
            fs::path target = fs::read_symlink(it->path(), ec);
            if (ec)
                continue;
            fs::path resolved = (target.is_absolute() ? target : it->path().parent_path() / target)
                                    .lexically_normal();
            if (!isWithin(resolved, linkBoundary))
                fail("link leads outside: " + it->path().string() + " -> " + target.string());
            // Followed on disk too: links through links.
            fs::path real = fs::weakly_canonical(it->path(), ec);
            if (!ec && !isWithin(real, fs::weakly_canonical(linkBoundary, ec)))
                fail("link resolves outside: " + it->path().string() + " -> " + real.string());
        }
    }
}

} // namespace qvo::fuzz
