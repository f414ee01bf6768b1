// Path, file, folder and disk helpers of the program.
//
// Folder paths end with "/" (appendBackslash keeps its historic name and
// appends the native separator).
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace qvo::platform {

// Thrown by createFolder when a folder level cannot be made.  path() is the
// level that failed (with its trailing "/"), what() names it and the
// system's reason.
class FolderCreationError : public std::runtime_error {
public:
    FolderCreationError(std::string path, const std::string &reason);
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// A regular file (or a link to one) of that name exists.
bool fileExists(const std::string &path);
// A folder (or a link to one) of that name exists.
bool folderExists(const std::string &path);

// Creates every missing folder along `path`; the last component is a folder
// too, with or without a trailing "/".  Throws FolderCreationError.
void createFolder(const std::string &path);

// Deletes the folder tree, read-only files and folders included.  Symbolic
// links are removed, never followed.  False when the folder is missing or
// something in it could not be removed.
bool deleteFolder(const std::string &path);

// The working root of conversions: "Qvo/" in the user's temporary folder
// ($TMPDIR, else /tmp/qvo-<uid>/), created as a folder of the user alone;
// when that name is taken by anything else (a link, another account's
// folder), "Qvo/" in a private folder of the user below it instead.  Empty
// when no private root can be had.
std::string getTempFolderName();

// `path` with "/" appended unless it already ends with one ("" gives "/").
std::string appendBackslash(const std::string &path);

// Free bytes available to the user on the volume holding `path` (its
// nearest existing ancestor; "" is the current folder); -1 when unreadable.
int64_t getDiskFreeSpace(const std::string &path);

// What messages call the drive of `path`: the mount point of its volume,
// with a trailing "/"; "" when it cannot be found.
std::string getDriveName(const std::string &path);

} // namespace qvo::platform
