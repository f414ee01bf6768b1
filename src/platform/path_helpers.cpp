#include "platform/path_helpers.h"

#include "platform/folder_tree.h"
#include "platform/system_folders.h"
#include "platform/volume.h"

#include <filesystem>

namespace qvo::platform {

FolderCreationError::FolderCreationError(std::string path, const std::string &reason)
    : std::runtime_error("cannot create folder " + path + ": " + reason), path_(std::move(path))
{
}

bool fileExists(const std::string &path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

bool folderExists(const std::string &path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

void createFolder(const std::string &path)
{
    std::string full = appendBackslash(path);
    // The first character is never a separator of its own: "/" is the root,
    // which exists.
    for (size_t k = full.find('/', 1); k != std::string::npos; k = full.find('/', k + 1)) {
        std::string level = full.substr(0, k + 1);
        if (folderExists(level))
            continue;
        std::string reason;
        if (!platform::makeFolder(level, false, reason))
            throw FolderCreationError(level, reason);
    }
}

bool deleteFolder(const std::string &path) { return platform::removeFolderTree(path); }

std::string getTempFolderName() { return platform::privateWorkingRoot(platform::temporaryFolder()); }

std::string appendBackslash(const std::string &path)
{
    if (!path.empty() && path.back() == '/')
        return path;
    return path + "/";
}

int64_t getDiskFreeSpace(const std::string &path) { return platform::freeBytesAvailable(path); }

std::string getDriveName(const std::string &path) { return platform::mountPointOf(path); }

} // namespace qvo::platform
