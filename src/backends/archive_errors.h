// Errors the archive layer raises instead of returning a result code: the
// cases where no archiver could even be asked.
#pragma once
#include <stdexcept>
#include <string>
#include <utility>

namespace qvo::backends {

class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An archiver library (or the function wanted from it) cannot be reached.
class ArchiverUnavailable : public ArchiveError {
public:
    enum class Reason {
        NotFound, // no library file in the library folder
        Unusable, // the file is there but cannot be loaded or lacks the function
    };
    ArchiverUnavailable(Reason reason, std::string libraryFile, const std::string &detail)
        : ArchiveError(libraryFile + ": " + detail), reason_(reason),
          libraryFile_(std::move(libraryFile))
    {
    }
    Reason reason() const { return reason_; }
    // File name of the library, e.g. "unlha32.so".
    const std::string &libraryFile() const { return libraryFile_; }

private:
    Reason reason_;
    std::string libraryFile_;
};

// The working folder of an archive creation cannot be entered, or the
// previous current directory cannot be restored afterwards.
class WorkingFolderError : public ArchiveError {
public:
    WorkingFolderError(const std::string &folder, int errorNumber, const std::string &what)
        : ArchiveError(what), folder_(folder), errorNumber_(errorNumber)
    {
    }
    const std::string &folder() const { return folder_; }
    int errorNumber() const { return errorNumber_; }

private:
    std::string folder_;
    int errorNumber_;
};

} // namespace qvo::backends
