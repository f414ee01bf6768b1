// Makes a folder the process's current directory for the length of one
// library call.  Some archivers pack "all files of the current directory",
// so the folder to pack has to be current while they run.
#pragma once
#include "platform/current_directory.h"

#include <string>

namespace qvo::backends {

class CurrentDirectoryScope {
public:
    // Enters `folder`; throws WorkingFolderError (current directory
    // unchanged) when the present directory cannot be remembered or
    // `folder` cannot be entered.
    explicit CurrentDirectoryScope(const std::string &folder);
    // Goes back if restore() was not called; errors cannot be reported here.
    ~CurrentDirectoryScope() = default;
    CurrentDirectoryScope(const CurrentDirectoryScope &) = delete;
    CurrentDirectoryScope &operator=(const CurrentDirectoryScope &) = delete;

    // Goes back to the remembered directory; throws WorkingFolderError when
    // it cannot.
    void restore();

private:
    platform::CurrentDirectorySwitch switch_;
};

// The working folder of a path: everything up to and including its last
// "/", or empty text when there is none.
std::string workingFolderOf(const std::string &path);

} // namespace qvo::backends
