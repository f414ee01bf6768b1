// An archive file that appears under its name only when it is complete.
//
// The data goes to a temporary file in the target's folder (same volume, so
// the final rename is atomic; see temporary_file.h): without a name where
// the file system allows it, else hidden and locked.  commit() puts it under
// the target's name; until then an existing file of that name is untouched.
// A writer that fails or throws leaves nothing behind (the destructor drops
// the temporary file), and neither does one that is killed: an unnamed file
// goes with its process, a named one is cleared by the next writer into
// that folder.
#pragma once
#include "base/seekable_output.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace qvo::create {

class AtomicOutputFile final : public base::SeekableOutput {
public:
    AtomicOutputFile() = default;
    ~AtomicOutputFile() override;
    AtomicOutputFile(const AtomicOutputFile &) = delete;
    AtomicOutputFile &operator=(const AtomicOutputFile &) = delete;

    // Creates the temporary file next to `target`.  False with `error` set
    // when the folder does not exist or is not writable.
    bool open(const std::filesystem::path &target, std::string &error);

    int fd() const { return fd_; }
    // Empty while the temporary file has no name.
    const std::filesystem::path &tempPath() const { return temp_; }
    const std::filesystem::path &target() const { return target_; }

    // Appends bytes at the current end; false on a write error (disk full).
    bool write(const void *data, size_t size) override;
    // Overwrites bytes already written (header fields patched afterwards).
    bool writeAt(uint64_t offset, const void *data, size_t size) override;
    uint64_t size() const { return size_; }

    // Gives the file the usual permissions (0666 less the umask) and puts it
    // under the target's name, syncing it first when it replaces an existing
    // file.  False leaves the target untouched.
    bool commit(std::string &error);
    // Drops the temporary file (also done by the destructor).
    void discard();

private:
    bool fail(const std::string &what, std::string &error);

    int fd_ = -1;
    uint64_t size_ = 0;
    std::filesystem::path target_;
    std::filesystem::path temp_; // empty while the file has no name
};

} // namespace qvo::create
