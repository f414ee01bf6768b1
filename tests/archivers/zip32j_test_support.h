// Shared pieces of the Zip32J tests: the library loaded from the build
// tree, a tree snapshot to compare what readers extract, and the readers.
#pragma once
#include "test_support.h"
#include "archivers/include/qvo_archiver.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::test::zip32j {

namespace fs = std::filesystem;

class ZipLibrary {
public:
    ZipLibrary()
    {
        handle_ = dlopen((std::string(QVO_LIBRARY_DIR "/") + qvo_zip32j.file).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) {
            zip_ = reinterpret_cast<QvoCommandFunction *>(dlsym(handle_, qvo_zip32j.commandFunction));
            version_ = reinterpret_cast<QvoVersionFunction *>(dlsym(handle_, qvo_zip32j.versionFunction));
        }
    }
    ~ZipLibrary()
    {
        if (handle_)
            dlclose(handle_);
    }
    bool loaded() const { return zip_ && version_; }
    int32_t version() const { return version_(); }

    // Runs a command with `dir` as the current directory, as the back-end
    // does, and restores the previous one.
    int32_t run(const fs::path &dir, const std::string &cmd) const
    {
        fs::path saved = fs::current_path();
        fs::current_path(dir);
        char out[256];
        int32_t rc = zip_(nullptr, cmd.c_str(), out, sizeof out);
        fs::current_path(saved);
        return rc;
    }

private:
    void *handle_ = nullptr;
    QvoCommandFunction *zip_ = nullptr;
    QvoVersionFunction *version_ = nullptr;
};

inline const ZipLibrary &zipLibrary()
{
    static ZipLibrary lib;
    return lib;
}

struct Node {
    char kind = 'f'; // f file, d folder, l link
    uint64_t size = 0;
    uint32_t crc = 0;
    int64_t mtime = 0;
    unsigned mode = 0;
    std::string link;
    bool operator==(const Node &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const Node &n)
{
    return os << n.kind << " size=" << n.size << " crc=" << n.crc << " mtime=" << n.mtime << " mode=0"
              << std::oct << n.mode << std::dec << " link=" << n.link;
}

inline uint32_t fileCrc(const fs::path &p)
{
    int fd = open(p.c_str(), O_RDONLY);
    uLong crc = crc32(0, nullptr, 0);
    std::vector<unsigned char> buf(1 << 20);
    ssize_t n;
    while (fd >= 0 && (n = read(fd, buf.data(), buf.size())) > 0)
        crc = crc32(crc, buf.data(), static_cast<uInt>(n));
    if (fd >= 0)
        close(fd);
    return static_cast<uint32_t>(crc);
}

// Every entry below `root` by relative name.  Link times are left out (not
// every reader sets them); modes only when asked.
inline std::map<std::string, Node> snapshot(const fs::path &root, bool withModes = true)
{
    std::map<std::string, Node> m;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st;
        if (lstat(it->path().c_str(), &st) != 0)
            continue;
        Node n;
        n.mode = withModes ? (st.st_mode & 07777) : 0;
        n.mtime = st.st_mtime;
        if (S_ISLNK(st.st_mode)) {
            n.kind = 'l';
            n.link = fs::read_symlink(it->path()).string();
            n.mtime = 0;
            n.mode = 0;
        } else if (S_ISDIR(st.st_mode)) {
            n.kind = 'd';
        } else {
            n.size = static_cast<uint64_t>(st.st_size);
            n.crc = fileCrc(it->path());
        }
        m[fs::relative(it->path(), root).string()] = n;
    }
    return m;
}

inline void setTime(const fs::path &p, int64_t t)
{
    struct timespec ts[2] = {{t, 0}, {t, 0}};
    utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW);
}

// The extraction commands of the three independent readers.
inline std::string extractCommand(const std::string &tool, const fs::path &zip, const fs::path &dest)
{
    if (tool == "unzip")
        return "LC_ALL=C.UTF-8 unzip -q -o " + sh(zip) + " -d " + sh(dest);
    if (tool == "7zz")
        return "7zz x -snld -y -bd " + sh(zip) + " -o" + sh(dest);
    return "LC_ALL=C.UTF-8 bsdtar -xf " + sh(zip) + " -C " + sh(dest);
}

inline const std::vector<std::string> &readers()
{
    static const std::vector<std::string> r = {"unzip", "7zz", "bsdtar"};
    return r;
}

// Extracts `zip` with every reader and compares the result with `source`.
inline void expectReadersRestore(const fs::path &zip, const fs::path &source, const fs::path &work,
                                 bool withModes = true)
{
    auto expected = snapshot(source, withModes);
    for (const auto &tool : readers()) {
        ASSERT_TRUE(haveTool(tool)) << tool << " is needed";
        fs::path dest = work / ("x-" + tool);
        fs::remove_all(dest);
        fs::create_directories(dest);
        std::string log;
        ASSERT_EQ(runCommand(extractCommand(tool, zip, dest), &log), 0) << tool << ": " << log;
        auto got = snapshot(dest, withModes);
        EXPECT_EQ(got.size(), expected.size()) << tool;
        for (const auto &[name, node] : expected) {
            auto it = got.find(name);
            if (it == got.end()) {
                ADD_FAILURE() << tool << " lost " << name;
                continue;
            }
            EXPECT_EQ(it->second, node) << tool << ": " << name;
        }
        fs::remove_all(dest);
    }
}

} // namespace qvo::test::zip32j
