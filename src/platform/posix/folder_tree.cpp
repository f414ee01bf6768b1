#include "platform/folder_tree.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qvo::platform {
namespace {

// Opens the folder `name` below `parentFd` for listing and deleting, without
// following a link, giving it back the owner's permissions when it was made
// read-only.  -1 on failure.
int openFolderForRemoval(int parentFd, const char *name, dev_t device)
{
    int pathFd = ::openat(parentFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (pathFd < 0)
        return -1;
    struct stat st;
    // Another file system mounted inside the tree is not ours to empty.
    if (::fstat(pathFd, &st) != 0 || st.st_dev != device) {
        ::close(pathFd);
        return -1;
    }
    if ((st.st_mode & S_IRWXU) != S_IRWXU) {
        // The descriptor pins the folder itself, so a link swapped in under
        // the same name cannot redirect the change.
        std::string self = "/proc/self/fd/" + std::to_string(pathFd);
        ::chmod(self.c_str(), (st.st_mode & 07777) | S_IRWXU);
    }
    int fd = ::openat(pathFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(pathFd);
    return fd;
}

bool removeEntry(int parentFd, const char *name, dev_t device);

bool removeContents(int folderFd, dev_t device)
{
    int listFd = ::dup(folderFd);
    if (listFd < 0)
        return false;
    DIR *dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return false;
    }
    // The listing is read whole before anything goes, so that no entry is
    // missed; files and links need no closer look before they go.
    std::vector<std::string> files, others;
    while (dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        (e->d_type == DT_REG || e->d_type == DT_LNK ? files : others).emplace_back(e->d_name);
    }
    ::closedir(dir);

    bool ok = true;
    for (const std::string &name : files)
        ok = (::unlinkat(folderFd, name.c_str(), 0) == 0 || errno == ENOENT) && ok;
    for (const std::string &name : others)
        ok = removeEntry(folderFd, name.c_str(), device) && ok;
    return ok;
}

bool removeEntry(int parentFd, const char *name, dev_t device)
{
    struct stat st;
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlinkat(parentFd, name, 0) == 0 || errno == ENOENT;
    int fd = openFolderForRemoval(parentFd, name, device);
    bool ok = fd >= 0 && removeContents(fd, device);
    if (fd >= 0)
        ::close(fd);
    return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 && ok;
}

} // namespace

bool removeFolderTree(const std::string &path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p.empty() || p == "/")
        return false;
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode))
        return ::unlink(p.c_str()) == 0;
    if (!S_ISDIR(st.st_mode))
        return false;
    return removeEntry(AT_FDCWD, p.c_str(), st.st_dev);
}

bool makeFolder(const std::string &path, bool privateToUser, std::string &error)
{
    if (::mkdir(path.c_str(), privateToUser ? 0700 : 0777) == 0)
        return true;
    int err = errno;
    struct stat st;
    if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    error = std::strerror(err);
    return false;
}

} // namespace qvo::platform
