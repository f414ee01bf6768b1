#include "platform/file_status.h"

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::platform {

namespace {

EntryStatus statusOf(int folderFd, const std::string &name, bool followLinks)
{
    struct stat st {};
    EntryStatus status;
    if (::fstatat(folderFd, name.c_str(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return status;
    if (S_ISREG(st.st_mode)) {
        status.kind = EntryStatus::Kind::File;
        status.size = uint64_t(st.st_size);
    } else if (S_ISDIR(st.st_mode)) {
        status.kind = EntryStatus::Kind::Folder;
    } else if (S_ISLNK(st.st_mode)) {
        status.kind = EntryStatus::Kind::Link;
    } else {
        status.kind = EntryStatus::Kind::Other;
    }
    return status;
}

std::vector<std::string> namesOf(DIR *dir)
{
    std::vector<std::string> names;
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

} // namespace

EntryStatus entryStatus(const std::string &path, bool followLinks)
{
    return statusOf(AT_FDCWD, path, followLinks);
}

EntryStatus entryStatusAt(int folderFd, const std::string &name)
{
    return statusOf(folderFd, name, false);
}

int64_t regularFileLength(const std::string &path)
{
    const EntryStatus status = entryStatus(path, true);
    return status.kind == EntryStatus::Kind::File ? int64_t(status.size) : -1;
}

int64_t readableFileLength(const std::string &path)
{
    const int64_t length = regularFileLength(path);
    return length >= 0 && ::access(path.c_str(), R_OK) == 0 ? length : -1;
}

bool removeFile(const std::string &path)
{
    return ::unlink(path.c_str()) == 0;
}

bool removeFileAt(int folderFd, const std::string &name)
{
    return ::unlinkat(folderFd, name.c_str(), 0) == 0;
}

std::vector<std::string> folderEntryNames(const std::string &folder)
{
    return namesOf(::opendir(folder.c_str()));
}

std::vector<std::string> folderEntryNames(int folderFd)
{
    // A descriptor of its own, so the caller's keeps its position.
    const int own = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return {};
    DIR *dir = ::fdopendir(own);
    if (!dir)
        ::close(own);
    return namesOf(dir);
}

bool syncFileToDisk(const std::string &path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    std::string folder = std::filesystem::path(path).parent_path().string();
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return ok;
}

bool standardOutputIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

} // namespace qvo::platform
