#include "create/source_tree.h"

#include "base/unique_fd.h"
#include "extract/link_check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::create {
namespace fs = std::filesystem;

namespace {

// The excluded paths as device and inode, looked up once per walk.
struct ExcludedFiles {
    std::vector<std::pair<dev_t, ino_t>> ids;

    explicit ExcludedFiles(const SourceWalkOptions &opt)
    {
        for (const auto &ex : opt.exclude) {
            struct stat st;
            if (::stat(ex.c_str(), &st) == 0)
                ids.emplace_back(st.st_dev, st.st_ino);
        }
    }
    bool contains(const struct stat &st) const
    {
        for (const auto &[dev, ino] : ids)
            if (dev == st.st_dev && ino == st.st_ino)
                return true;
        return false;
    }
};

bool readFolderNames(const fs::path &dir, std::vector<std::string> &names, std::string &error)
{
    DIR *d = opendir(dir.c_str());
    if (!d) {
        error = "cannot read folder " + dir.string() + ": " + std::strerror(errno);
        return false;
    }
    while (dirent *e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        names.emplace_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return true;
}

void fillTimes(WriterEntry &e, const struct stat &st)
{
    e.mtime = Timestamp{st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec)};
    e.mode = st.st_mode & 07777;
}

// A link's content can stand in for it only when the link leads to a file
// inside the folder being packed: nothing outside it is read, wherever an
// archive's link pointed (a conversion keeps such links as data).
bool linksToFileInside(int rootFd, const extract::PathComponents &folder, const WriterEntry &link, struct stat &target)
{
    return extract::linkStaysInside(rootFd, folder, link.linkTarget) && stat(link.diskPath.c_str(), &target) == 0 &&
           S_ISREG(target.st_mode);
}

// `folder` holds the components of `dir` below the root open as `rootFd`.
bool walk(int rootFd, const fs::path &dir, extract::PathComponents &folder, const std::string &prefix,
          const SourceWalkOptions &opt, const ExcludedFiles &excluded, std::vector<WriterEntry> &out,
          std::string &error)
{
    std::vector<std::string> names;
    if (!readFolderNames(dir, names, error))
        return false;
    for (const auto &name : names) {
        fs::path p = dir / name;
        struct stat st;
        if (lstat(p.c_str(), &st) != 0) {
            error = "cannot examine " + p.string() + ": " + std::strerror(errno);
            return false;
        }
        if (excluded.contains(st))
            continue;
        WriterEntry e;
        e.diskPath = p;
        e.name = opt.keepPaths ? prefix + name : name;
        fillTimes(e, st);
        if (S_ISDIR(st.st_mode)) {
            if (!opt.recurse)
                continue;
            e.kind = WriterEntry::Kind::Folder;
            out.push_back(e);
            folder.push_back(name);
            const bool walked = walk(rootFd, p, folder, prefix + name + "/", opt, excluded, out, error);
            folder.pop_back();
            if (!walked)
                return false;
        } else if (S_ISREG(st.st_mode)) {
            e.kind = WriterEntry::Kind::File;
            e.size = static_cast<uint64_t>(st.st_size);
            out.push_back(std::move(e));
        } else if (S_ISLNK(st.st_mode)) {
            e.kind = WriterEntry::Kind::Link;
            std::error_code ec;
            e.linkTarget = fs::read_symlink(p, ec).string();
            struct stat tst;
            if (linksToFileInside(rootFd, folder, e, tst)) {
                e.linkTargetIsFile = true;
                e.size = static_cast<uint64_t>(tst.st_size);
            }
            out.push_back(std::move(e));
        }
        // Sockets, fifos and devices are not archive content: skipped.
    }
    return true;
}

} // namespace

bool collectSourceTree(const fs::path &root, const SourceWalkOptions &options,
                       std::vector<WriterEntry> &out, std::string &error)
{
    out.clear();
    struct stat st;
    if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "source folder missing: " + root.string();
        return false;
    }
    base::UniqueFd rootFd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd) {
        error = "cannot read folder " + root.string() + ": " + std::strerror(errno);
        return false;
    }
    ExcludedFiles excluded(options);
    extract::PathComponents folder;
    return walk(rootFd.get(), root, folder, "", options, excluded, out, error);
}

bool toLinkedFile(WriterEntry &link, std::string &error)
{
    struct stat st;
    if (stat(link.diskPath.c_str(), &st) != 0) {
        error = "cannot examine " + link.diskPath.string() + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = link.diskPath.string() + " no longer leads to a file";
        return false;
    }
    fillTimes(link, st);
    link.kind = WriterEntry::Kind::File;
    link.size = static_cast<uint64_t>(st.st_size);
    link.linkTarget.clear();
    link.linkTargetIsFile = false;
    return true;
}

} // namespace qvo::create
