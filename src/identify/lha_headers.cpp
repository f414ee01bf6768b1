#include "identify/lha_headers.h"

#include "base/crc16_arc.h"
#include "base/endian.h"
#include "platform/file_reading.h"

#include <algorithm>
#include <string>

namespace qvo::identify {
namespace {

constexpr size_t kChunk = 1 << 20;
constexpr size_t kMethodAt = 2; // "-lh5-" after size and checksum
constexpr size_t kLevelAt = 20;
constexpr size_t kMinHeader = 22; // level 0 with a one-byte name

// Level 2: the extended headers fill the stated size exactly, and the
// header CRC (extended header 0x00), when there is one, matches.
bool level2Holds(std::string_view b, size_t p)
{
    constexpr size_t kFirstExtSize = 24;
    size_t total = base::loadLe16(b.data() + p);
    if (total < kFirstExtSize + 2 || p + total > b.size())
        return false;
    size_t q = p + kFirstExtSize + 2;
    size_t size = base::loadLe16(b.data() + p + kFirstExtSize);
    size_t crcAt = 0;
    while (size != 0) {
        if (size < 3 || q + size > p + total)
            return false;
        if (b[q] == 0 && size >= 5)
            crcAt = q + 1;
        size_t next = base::loadLe16(b.data() + q + size - 2);
        q += size;
        size = next;
    }
    if (q != p + total && q + 1 != p + total) // one padding byte is allowed
        return false;
    if (crcAt == 0)
        return true;
    std::string header(b.substr(p, total));
    header[crcAt - p] = header[crcAt - p + 1] = '\0';
    return base::crc16Update(0, header.data(), header.size()) == base::loadLe16(b.data() + crcAt);
}

// Level 3 (OS/2 LHA): a word size of 4 and a header size that holds at
// least the fixed fields.
bool level3Holds(std::string_view b, size_t p)
{
    constexpr size_t kFixed = 32;
    return p + kFixed <= b.size() && base::loadLe16(b.data() + p) == 4 &&
           base::loadLe32(b.data() + p + 24) >= kFixed;
}

} // namespace

bool lhaMethodAt(std::string_view b, size_t at)
{
    if (at + 5 > b.size() || b[at] != '-' || b[at + 4] != '-')
        return false;
    std::string_view id = b.substr(at + 1, 2);
    return id == "lh" || id == "lz" || id == "pm";
}

bool lhaChecksumHolds(std::string_view b, size_t p)
{
    size_t size = static_cast<unsigned char>(b[p]);
    if (size + 2 < kMinHeader || p + 2 + size > b.size())
        return false;
    unsigned sum = 0;
    for (size_t i = p + 2; i < p + 2 + size; ++i)
        sum += static_cast<unsigned char>(b[i]);
    return (sum & 0xFF) == static_cast<unsigned char>(b[p + 1]);
}

bool lhaHeaderHolds(std::string_view b, size_t p)
{
    if (p + kMinHeader > b.size() || !lhaMethodAt(b, p + kMethodAt))
        return false;
    switch (static_cast<unsigned char>(b[p + kLevelAt])) {
    case 0:
    case 1:
        return lhaChecksumHolds(b, p);
    case 2:
        return level2Holds(b, p);
    case 3:
        return level3Holds(b, p);
    default:
        return false;
    }
}

bool lhaArchiveStart(std::string_view b)
{
    if (lhaHeaderHolds(b, 0))
        return true;
    return b.size() >= kMinHeader && lhaMethodAt(b, kMethodAt) && b[kLevelAt] == 2 &&
           base::loadLe16(b.data()) >= kMinHeader;
}

bool lhaHeaderAt(int fd, uint64_t offset)
{
    std::string b(kMaxLhaHeader, '\0');
    const int64_t got = platform::readFullyAt(fd, offset, b.data(), b.size());
    if (got <= 0)
        return false;
    b.resize(static_cast<size_t>(got));
    return lhaHeaderHolds(b, 0);
}

std::vector<uint64_t> findLhaHeaders(int fd, uint64_t fileSize, size_t maxCount, uint64_t scanLimit)
{
    std::vector<uint64_t> found;
    const uint64_t limit = std::min(fileSize, scanLimit);
    std::string buf;
    for (uint64_t base = 0; base < limit && found.size() < maxCount; base += kChunk) {
        // Each chunk carries a whole header's worth of the next one.
        buf.resize(static_cast<size_t>(std::min<uint64_t>(kChunk + kMaxLhaHeader, fileSize - base)));
        const int64_t got = platform::readFullyAt(fd, base, buf.data(), buf.size());
        if (got <= 0)
            break;
        buf.resize(static_cast<size_t>(got));
        const size_t end = static_cast<size_t>(std::min<uint64_t>({buf.size(), kChunk, limit - base}));
        std::string_view view(buf);
        // Every header has "-" two bytes in: look for those only.
        for (size_t dash = view.find('-', kMethodAt); dash != std::string_view::npos && dash - kMethodAt < end &&
                                                      found.size() < maxCount;
             dash = view.find('-', dash + 1)) {
            if (lhaHeaderHolds(view, dash - kMethodAt))
                found.push_back(base + dash - kMethodAt);
        }
    }
    return found;
}

} // namespace qvo::identify
