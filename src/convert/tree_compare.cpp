#include "convert/tree_compare.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::convert {
namespace {

namespace fs = std::filesystem;

class FileDescriptor {
public:
    explicit FileDescriptor(const std::string &path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads until `size` bytes or the end; returns the count, -1 on error.
ssize_t readFull(int fd, char *buffer, size_t size)
{
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

bool sameContents(const std::string &a, const std::string &b)
{
    FileDescriptor fa(a), fb(b);
    if (fa.get() < 0 || fb.get() < 0)
        return false;
    constexpr size_t kChunk = 1 << 18;
    std::unique_ptr<char[]> ba(new char[kChunk]), bb(new char[kChunk]);
    for (;;) {
        const ssize_t na = readFull(fa.get(), ba.get(), kChunk);
        const ssize_t nb = readFull(fb.get(), bb.get(), kChunk);
        if (na < 0 || nb < 0 || na != nb || std::memcmp(ba.get(), bb.get(), size_t(na)) != 0)
            return false;
        if (size_t(na) < kChunk)
            return true;
    }
}

bool holdsNothing(const std::map<std::string, TreeEntry> &tree, const std::string &folder)
{
    const std::string prefix = folder + "/";
    auto next = tree.upper_bound(folder);
    return next == tree.end() || next->first.compare(0, prefix.size(), prefix) != 0;
}

} // namespace

std::map<std::string, TreeEntry> listTree(const std::string &folder)
{
    std::map<std::string, TreeEntry> out;
    std::error_code ec;
    const fs::path root(folder);
    for (fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string full = it->path().string();
        struct stat st {};
        if (::lstat(full.c_str(), &st) != 0)
            continue;
        TreeEntry entry;
        if (S_ISREG(st.st_mode)) {
            entry.kind = TreeEntry::Kind::File;
            entry.size = uint64_t(st.st_size);
        } else if (S_ISDIR(st.st_mode)) {
            entry.kind = TreeEntry::Kind::Folder;
        } else if (S_ISLNK(st.st_mode)) {
            entry.kind = TreeEntry::Kind::Link;
            entry.linkTarget = fs::read_symlink(it->path(), ec).string();
        }
        out[it->path().lexically_relative(root).generic_string()] = entry;
    }
    if (ec)
        out["\x01unreadable"] = TreeEntry{};
    return out;
}

bool sameTrees(const std::string &original, const std::string &copy, bool emptyFoldersKept,
               std::string &difference)
{
    const auto a = listTree(original);
    const auto b = listTree(copy);
    for (const auto &[name, entry] : a) {
        auto other = b.find(name);
        if (other == b.end()) {
            if (!emptyFoldersKept && entry.kind == TreeEntry::Kind::Folder && holdsNothing(a, name))
                continue;
            difference = "missing in the new archive: " + name;
            return false;
        }
        const TreeEntry &e = other->second;
        if (e.kind != entry.kind || e.size != entry.size || e.linkTarget != entry.linkTarget) {
            difference = "differs in the new archive: " + name;
            return false;
        }
        if (entry.kind == TreeEntry::Kind::File &&
            !sameContents((fs::path(original) / name).string(), (fs::path(copy) / name).string())) {
            difference = "contents differ in the new archive: " + name;
            return false;
        }
    }
    for (const auto &[name, entry] : b) {
        if (!a.count(name)) {
            difference = "extra in the new archive: " + name;
            return false;
        }
    }
    return true;
}

} // namespace qvo::convert
