#include "extract/extract_sink_space.h"

#include <algorithm>
#include <sys/statvfs.h>

namespace qvo::extract {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;
// Default free-space margin: the larger of this and kMarginPercent of the
// volume, but never more than half the volume so small volumes stay usable.
constexpr uint64_t kMinFreeMargin = 256 * kMiB;
constexpr uint64_t kMarginPercent = 2;
// How much may be written between two looks at the free space.
constexpr uint64_t kSpaceCheckInterval = 4 * kMiB;

} // namespace

bool SpaceGuard::roomFor(int fd, uint64_t size)
{
    if (maxTotalBytes_ && totalWritten_ + size > *maxTotalBytes_)
        return false;
    if (size <= spaceAllowance_) {
        spaceAllowance_ -= size;
        return true;
    }
    struct statvfs vfs;
    if (::fstatvfs(fd, &vfs) != 0)
        return true; // cannot tell; the write itself reports a full volume
    uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    uint64_t avail = static_cast<uint64_t>(vfs.f_bavail) * unit;
    uint64_t margin = freeSpaceMargin_;
    if (margin == 0) {
        uint64_t volume = static_cast<uint64_t>(vfs.f_blocks) * unit;
        margin = std::min(std::max(kMinFreeMargin, volume / 100 * kMarginPercent), volume / 2);
    }
    if (avail <= margin || avail - margin < size)
        return false;
    spaceAllowance_ = std::min(avail - margin, std::max(size, kSpaceCheckInterval)) - size;
    return true;
}

} // namespace qvo::extract
