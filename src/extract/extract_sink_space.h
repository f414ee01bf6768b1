// The space guard of an ExtractSink: extraction stops before the destination
// volume runs out of space.  The free space is looked at only every few MiB,
// not before every write; between two looks the guard counts down what the
// last look allowed.  Tests cap the total bytes written instead of filling
// a volume.
#pragma once
#include <cerrno>
#include <cstdint>
#include <optional>

namespace qvo::extract {

class SpaceGuard {
public:
    // `freeSpaceMargin`: bytes that must stay free, 0 for the default (see
    // ExtractOptions); `maxTotalBytes`: the test limit on the total.
    SpaceGuard(uint64_t freeSpaceMargin, std::optional<uint64_t> maxTotalBytes)
        : freeSpaceMargin_(freeSpaceMargin), maxTotalBytes_(maxTotalBytes)
    {
    }

    // Whether `size` more bytes may be written to the volume that holds
    // `fd`: the test limit on the total, and the free-space margin of the
    // volume, looked at every few MiB.
    bool roomFor(int fd, uint64_t size);
    // `size` bytes were written (they count towards the test limit).
    void wrote(uint64_t size) { totalWritten_ += size; }

private:
    uint64_t freeSpaceMargin_;
    std::optional<uint64_t> maxTotalBytes_;
    uint64_t totalWritten_ = 0;
    uint64_t spaceAllowance_ = 0; // bytes that may be written before the next look
};

// A write failed because the volume or the user's quota is full.
inline bool isSpaceError(int err)
{
    return err == ENOSPC || err == EDQUOT;
}

} // namespace qvo::extract
