#include "formats/arj/arj_members.h"

#include "archivers/include/qvo_archiver.h"
#include "formats/arj/arj_format.h"
#include "formats/arj/arj_volumes.h"

#include <optional>

namespace qvo::formats::arj {
namespace {

using archivers::kOk;
using archivers::kErrCorrupt;
using archivers::kErrMissingVolume;

constexpr size_t kMaxVolumes = 1000; // ARJ numbers volumes up to 999

ArjPart partOf(const ArjHeader &h, size_t volume)
{
    return {volume, h.dataOffset, h.compressedSize, h.originalSize, h.crc, h.method};
}

// Whether `h` is the next part of `m`.
bool continues(const ArjMember &m, const ArjHeader &h)
{
    return (h.flags & kFlagContinued) && h.name == m.header.name && h.partOffset == m.size;
}

} // namespace

int32_t readArjCatalogue(const std::filesystem::path &first, ArjCatalogue &out)
{
    out = ArjCatalogue{};
    ArjVolume volume;
    if (const int32_t r = openArjVolume(first, volume); r != kOk)
        return r;
    out.volumes.push_back(first);
    out.main = volume.main;
    std::optional<ArjVolumeNaming> naming;
    std::optional<size_t> open; // the member that goes on in the next volume
    uint64_t at = volume.firstHeader;
    for (;;) {
        ArjHeader h;
        uint64_t next = 0;
        const HeaderRead read = readArjHeader(volume.fd.get(), at, volume.size, h, next);
        if (read == HeaderRead::Damaged || read == HeaderRead::Truncated) {
            out.failure = kErrCorrupt;
            break;
        }
        if (read == HeaderRead::End) {
            if (!arjVolumeHasNext(volume)) {
                if (open)
                    out.failure = kErrCorrupt; // the member said it goes on
                break;
            }
            const std::filesystem::path following =
                out.volumes.size() < kMaxVolumes ? findNextArjVolume(out.volumes.back(), naming)
                                                 : std::filesystem::path();
            if (following.empty() || openArjVolume(following, volume) != kOk) {
                out.failure = kErrMissingVolume;
                break;
            }
            out.volumes.push_back(following);
            at = volume.firstHeader;
            continue;
        }
        at = next;
        const size_t volumeIndex = out.volumes.size() - 1;
        if (open) {
            ArjMember &m = out.members[*open];
            if (continues(m, h)) {
                m.parts.push_back(partOf(h, volumeIndex));
                m.size += h.originalSize;
                if (!(h.flags & kFlagVolume))
                    open.reset();
                continue;
            }
            m.failure = kErrCorrupt;
            open.reset();
        }
        ArjMember m;
        m.header = h;
        m.parts.push_back(partOf(h, volumeIndex));
        m.size = h.originalSize;
        if (h.flags & kFlagContinued)
            m.failure = kErrMissingVolume; // its start lies in a volume before `first`
        out.members.push_back(std::move(m));
        if ((h.flags & kFlagVolume) && out.members.back().failure == kOk)
            open = out.members.size() - 1;
    }
    if (open) // the walk ended before the member did
        out.members[*open].failure = out.failure == kErrMissingVolume ? kErrMissingVolume : kErrCorrupt;
    return kOk;
}

} // namespace qvo::formats::arj
