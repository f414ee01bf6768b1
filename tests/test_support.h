// Small helpers shared by the test suites.
#pragma once
#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <unistd.h>

namespace qvo::test {

// A fresh folder under the system temporary folder, removed with its tree.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qvo-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        // Tests make read-only trees; give write permission back first.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_symlink())
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path operator/(const std::string &rel) const { return path_ / rel; }

private:
    std::filesystem::path path_;
};

// Sets an environment variable for one scope and puts back what was there,
// also when the test fails half-way.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::string &value) : ScopedEnv(name, value.c_str()) {}
    // A null value removes the variable for the scope.
    ScopedEnv(const char *name, const char *value) : name_(name)
    {
        if (const char *old = std::getenv(name))
            old_ = std::string(old);
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Every ordered worker pool of this process (the archiver libraries' too)
// runs its jobs on two worker threads for the scope, whatever the machine
// and the size of the work, and logs what ran where (see
// base/ordered_workers.h): the threaded path is taken even on one core.
class ForcedWorkerThreads {
public:
    ForcedWorkerThreads()
        : logPath_(std::filesystem::temp_directory_path() / ("qvo-workers-" + std::to_string(::getpid()) + ".log")),
          threads_("QVO_WORKER_THREADS", "2"), log_("QVO_WORKER_LOG", logPath_.string())
    {
        std::filesystem::remove(logPath_);
    }
    ~ForcedWorkerThreads() { std::filesystem::remove(logPath_); }

    // Jobs that ran on worker threads in the pools destroyed so far.
    size_t jobsOnWorkers() const
    {
        std::ifstream in(logPath_);
        size_t total = 0;
        for (std::string line; std::getline(in, line);) {
            size_t at = line.find("on_workers=");
            if (at != std::string::npos)
                total += std::stoul(line.substr(at + 11));
        }
        return total;
    }

private:
    std::filesystem::path logPath_;
    ScopedEnv threads_;
    ScopedEnv log_;
};

// `utf8` in `charset`, as a legacy archiver stored it.
inline std::string inCharset(const char *charset, const std::string &utf8)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    EXPECT_NE(cd, iconv_t(-1)) << charset;
    if (cd == iconv_t(-1))
        return utf8;
    std::string out(utf8.size() * 4 + 8, '\0');
    char *src = const_cast<char *>(utf8.data());
    size_t srcLeft = utf8.size();
    char *dst = out.data();
    size_t dstLeft = out.size();
    EXPECT_NE(iconv(cd, &src, &srcLeft, &dst, &dstLeft), static_cast<size_t>(-1)) << utf8 << " in " << charset;
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

// Incompressible bytes, the same for the same seed.
inline std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto &c : s)
        c = static_cast<char>(rng());
    return s;
}

inline void writeFile(const std::filesystem::path &p, const std::string &data)
{
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << data;
}

inline std::string readFile(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a shell command; returns its exit status and stores stdout+stderr.
inline int runCommand(const std::string &cmd, std::string *output = nullptr)
{
    std::string full = cmd + " 2>&1";
    FILE *p = popen(full.c_str(), "r");
    if (!p)
        return -1;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int status = pclose(p);
    if (output)
        *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool haveTool(const std::string &name)
{
    return runCommand("command -v " + name + " >/dev/null") == 0;
}

// Quotes a path for the shell.
inline std::string sh(const std::filesystem::path &p)
{
    std::string s = "'";
    for (char c : p.string()) {
        if (c == '\'')
            s += "'\\''";
        else
            s += c;
    }
    return s + "'";
}

} // namespace qvo::test

// Tests that take long or need much disk (huge files, many thousand members)
// are skipped where QVO_SKIP_HEAVY is set (the sanitizer run).
#define QVO_SKIP_IF_HEAVY()                                                     \
    do {                                                                        \
        if (std::getenv("QVO_SKIP_HEAVY"))                                      \
            GTEST_SKIP() << "heavy test skipped (QVO_SKIP_HEAVY)";              \
    } while (0)
