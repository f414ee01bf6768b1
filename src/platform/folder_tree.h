// Creating and removing folders.
#pragma once
#include <string>

namespace qvo::platform {

// Removes the folder and everything in it, read-only files and folders too.
// Symbolic links are removed themselves, never followed: not below the
// folder, and not when `path` itself is a link (only the link goes).
// False when the folder is missing or anything could not be removed (what
// could be removed is gone).
bool removeFolderTree(const std::string &path);
// The same for `name` inside the open folder `parentFd`.
bool removeFolderTreeAt(int parentFd, const std::string &name);

// Removes everything inside the folder open as `folderFd` (which stays),
// with the same care: nothing through a link, nothing on another volume
// mounted inside.  Large trees are removed by a few threads.  False when
// anything could not be removed.
bool removeFolderContents(int folderFd);

// Asks the file system to keep the trees of the folder's subfolders apart
// (ext4's top-of-hierarchy flag): each new subfolder then starts in a block
// group of its own choosing instead of beside its parent.  For a folder of
// short-lived working trees this matters: on ext4 without a journal, inodes
// freed in the last minutes are skipped one by one when a file is created,
// so a tree made where the previous one was just removed costs several
// times as much.  Best effort: false where the flag does not exist.
bool spreadSubfolders(const std::string &path);

// Creates one folder level; true when it exists afterwards as a folder.
// `privateToUser` gives it mode 0700 (for settings folders), else 0777 less
// the umask.  On failure `error` holds the system's message.
bool makeFolder(const std::string &path, bool privateToUser, std::string &error);

} // namespace qvo::platform
