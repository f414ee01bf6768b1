#include "platform/file_status.h"

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::platform {

EntryStatus entryStatus(const std::string &path, bool followLinks)
{
    struct stat st {};
    EntryStatus status;
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
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

std::vector<std::string> folderEntryNames(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(folder.c_str());
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
