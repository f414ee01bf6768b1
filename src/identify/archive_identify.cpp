#include "identify/archive_identify.h"

#include "base/endian.h"
#include "identify/arj_headers.h"
#include "identify/lha_headers.h"
#include "identify/rar_main_header.h"
#include "identify/split_pieces.h"
#include "platform/file_reading.h"

#include <algorithm>
#include <string_view>

namespace qvo::identify {
namespace {

constexpr size_t kStartBytes = kMaxLhaHeader; // a whole LHA header
constexpr size_t kZipEndRecord = 22;
constexpr size_t kZipMaxComment = 0xFFFF;
constexpr size_t kCabHeader = 36;
constexpr uint16_t kCabPrevCabinet = 0x0001;

bool startsWith(std::string_view b, size_t at, std::string_view magic)
{
    return b.size() >= at + magic.size() && b.compare(at, magic.size(), magic) == 0;
}

// A cabinet header at `at`: the fields libmspack checks before it reads on
// (not the reserved ones, which some writers fill).
bool cabinetAt(std::string_view b, size_t at, uint64_t fileSize)
{
    if (!startsWith(b, at, "MSCF") || at + kCabHeader > b.size())
        return false;
    const char *h = b.data() + at;
    const uint32_t cabinetSize = base::loadLe32(h + 8);
    const uint32_t filesAt = base::loadLe32(h + 16);
    return h[25] == 1 && h[24] == 3 && cabinetSize >= kCabHeader &&
           filesAt < cabinetSize && at + uint64_t(cabinetSize) <= fileSize;
}

bool laterCabinet(std::string_view b, size_t at)
{
    return (base::loadLe16(b.data() + at + 30) & kCabPrevCabinet) != 0;
}

// The kind a file plainly starts as.
ArchiveKind kindAtStart(std::string_view head, uint64_t fileSize)
{
    if (rarArchiveAt(head, 0))
        return ArchiveKind::Rar;
    if (startsWith(head, 0, "PK\x03\x04") || startsWith(head, 0, "PK\x05\x06") ||
        startsWith(head, 0, "PK\x07\x08") || startsWith(head, 0, "PK00PK\x03\x04"))
        return ArchiveKind::Zip;
    if (cabinetAt(head, 0, fileSize))
        return ArchiveKind::Cab;
    if (lhaArchiveStart(head))
        return ArchiveKind::Lha;
    if (arjMainHeaderAt(head, 0))
        return ArchiveKind::Arj;
    return ArchiveKind::None;
}

// A ZIP end record in the tail whose central directory lies before it and
// starts where it says (a self-extractor's stub moves the archive, and
// some stubs leave the offsets as they were: only the size counts then).
bool zipEndInTail(std::string_view tail, uint64_t tailStart, uint64_t fileSize)
{
    if (tail.size() < kZipEndRecord)
        return false;
    for (size_t at = tail.size() - kZipEndRecord + 1; at-- > 0;) {
        if (tail[at] != 'P' || !startsWith(tail, at, "PK\x05\x06"))
            continue;
        const char *e = tail.data() + at;
        const uint64_t endAt = tailStart + at;
        const uint32_t cdSize = base::loadLe32(e + 12);
        const uint32_t cdOffset = base::loadLe32(e + 16);
        const uint16_t commentSize = base::loadLe16(e + 20);
        if (endAt + kZipEndRecord + commentSize > fileSize)
            continue;
        // ZIP64 keeps the true figures in its own records.
        const bool zip64 = cdOffset == 0xFFFFFFFF || cdSize == 0xFFFFFFFF ||
                           (at >= 20 && startsWith(tail, at - 20, "PK\x06\x07"));
        if (zip64)
            return true;
        if (cdSize > endAt || (cdSize == 0 ? cdOffset > endAt : uint64_t(cdOffset) + cdSize > endAt))
            continue;
        if (cdSize == 0)
            return true;
        const uint64_t cdAt = endAt - cdSize;
        if (cdAt >= tailStart && startsWith(tail, size_t(cdAt - tailStart), "PK\x01\x02"))
            return true;
        if (cdAt < tailStart)
            return true; // a directory longer than the tail: the sizes agree
    }
    return false;
}

// The archive a self-extractor carries in its head, searched as the
// readers search: RAR marker, cabinet, LHA or ARJ header, whichever comes
// first.
ArchiveIdentity searchHead(std::string_view head, uint64_t fileSize)
{
    for (size_t at = 1; at < head.size(); ++at) {
        const char c = head[at];
        // A stub makes the name no volume name: only the volume's own
        // flags can say it is not the first.
        if (c == 'R' && rarArchiveAt(head, at))
            return {ArchiveKind::Rar, !rarVolumeInfo(head.substr(at), std::string("sfx.rar")).isFirstVolume, true};
        if (c == 'M' && cabinetAt(head, at, fileSize))
            return {ArchiveKind::Cab, laterCabinet(head, at), true};
        if (c == '-' && at >= 2 && lhaHeaderHolds(head, at - 2))
            return {ArchiveKind::Lha, false, true};
        if (c == '\x60' && arjMainHeaderAt(head, at))
            return {ArchiveKind::Arj, arjContinuesVolume(head, at), true};
    }
    return {};
}

std::string fileNameOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

ArchiveIdentity identifyArchive(const std::string &path, ArchiveKind byName)
{
    uint64_t size = 0;
    base::UniqueFd fd = platform::openRegularFile(path, size);
    if (!fd)
        return {byName, false};
    // A small head first: most files tell at once.
    std::string head(static_cast<size_t>(std::min<uint64_t>(size, kStartBytes)), '\0');
    const int64_t got = platform::readFullyAt(fd.get(), 0, head.data(), head.size());
    head.resize(got > 0 ? static_cast<size_t>(got) : 0);

    const ArchiveKind atStart = kindAtStart(head, size);
    if (atStart == ArchiveKind::Rar)
        return {atStart, !rarVolumeInfo(head, fileNameOf(path)).isFirstVolume};
    if (atStart == ArchiveKind::Cab)
        return {atStart, laterCabinet(head, 0)};
    if (atStart == ArchiveKind::Arj)
        return {atStart, arjContinuesVolume(head, 0)};
    if (atStart != ArchiveKind::None)
        return {atStart, false};
    if (byName != ArchiveKind::None)
        return {byName, false};

    const uint64_t tailSize = std::min<uint64_t>(size, kZipEndRecord + kZipMaxComment);
    std::string tail(static_cast<size_t>(tailSize), '\0');
    const int64_t tailGot = platform::readFullyAt(fd.get(), size - tailSize, tail.data(), tail.size());
    if (tailGot == int64_t(tailSize) && zipEndInTail(tail, size - tailSize, size))
        return {ArchiveKind::Zip, false, true};

    if (size > head.size()) {
        head.resize(static_cast<size_t>(std::min<uint64_t>(size, kHeadScanLimit)));
        const int64_t more = platform::readFullyAt(fd.get(), 0, head.data(), head.size());
        head.resize(more > 0 ? static_cast<size_t>(more) : 0);
    }
    const ArchiveIdentity found = searchHead(head, size);
    if (found.kind != ArchiveKind::None)
        return found;
    // A later piece of a split archive holds no signature of its own; its
    // first piece tells what the pieces make.
    const std::string first = firstSplitPiece(path);
    if (!first.empty()) {
        const ArchiveIdentity whole = identifyArchive(first, ArchiveKind::None);
        if (whole.kind != ArchiveKind::None && !whole.laterVolume)
            return {whole.kind, true, false};
    }
    return {};
}

} // namespace qvo::identify
