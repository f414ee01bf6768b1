// Where an archive writer's bytes go: appended in order, and fields already
// written patched afterwards (sizes and checksums known only at the end).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qvo::base {

class SeekableOutput {
public:
    virtual ~SeekableOutput() = default;
    // Appends at the end; false on a write error (disk full).
    virtual bool write(const void *data, size_t size) = 0;
    // Overwrites bytes already written; never extends the output.
    virtual bool writeAt(uint64_t offset, const void *data, size_t size) = 0;
};

} // namespace qvo::base
