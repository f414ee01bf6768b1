// A source file mapped read-only for the encoders.
#pragma once
#include "create/archive_writer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace qvo::formats::lha {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Ok, TooLarge (over the 32-bit sizes of level-2 headers) or
    // ReadError.
    create::WriteStatus open(const std::filesystem::path &p);
    const uint8_t *data() const { return static_cast<const uint8_t *>(data_); }
    size_t size() const { return size_; }

private:
    int fd_ = -1;
    void *data_ = nullptr;
    size_t size_ = 0;
};

} // namespace qvo::formats::lha
