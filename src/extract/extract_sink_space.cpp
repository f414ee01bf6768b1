// The space guard: extraction stops before the destination volume runs out
// of space, and a test may cap the total bytes written.
#include "extract/extract_sink_impl.h"

#include <algorithm>
#include <sys/statvfs.h>

namespace qvo::archivers {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;
// Default free-space margin: the larger of this and kMarginPercent of the
// volume, but never more than half the volume so small volumes stay usable.
constexpr uint64_t kMinFreeMargin = 256 * kMiB;
constexpr uint64_t kMarginPercent = 2;
// How much may be written between two looks at the free space.
constexpr uint64_t kSpaceCheckInterval = 4 * kMiB;

} // namespace

// Whether `size` more bytes may be written: the test limit on the total,
// and the free-space margin of the volume, looked at every few MiB.
bool ExtractSink::Impl::roomFor(uint64_t size)
{
    if (options.maxTotalBytes && totalWritten + size > *options.maxTotalBytes)
        return false;
    if (size <= spaceAllowance) {
        spaceAllowance -= size;
        return true;
    }
    struct statvfs vfs;
    if (::fstatvfs(file->handed ? root.get() : file->fd.get(), &vfs) != 0)
        return true; // cannot tell; the write itself reports a full volume
    uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    uint64_t avail = static_cast<uint64_t>(vfs.f_bavail) * unit;
    uint64_t margin = options.freeSpaceMargin;
    if (margin == 0) {
        uint64_t volume = static_cast<uint64_t>(vfs.f_blocks) * unit;
        margin = std::min(std::max(kMinFreeMargin, volume / 100 * kMarginPercent), volume / 2);
    }
    if (avail <= margin || avail - margin < size)
        return false;
    spaceAllowance = std::min(avail - margin, std::max(size, kSpaceCheckInterval)) - size;
    return true;
}

} // namespace qvo::archivers
