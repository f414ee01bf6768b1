#include "identify/arj_headers.h"

#include "base/endian.h"
#include "platform/file_reading.h"

#include <zlib.h>

#include <algorithm>
#include <string>

namespace qvo::identify {
namespace {

constexpr size_t kChunk = 1 << 20;
constexpr char kIdFirst = '\x60';
constexpr char kIdSecond = '\xEA';
constexpr size_t kFlagsAt = 4 + 4;    // in the basic part, behind id and size
constexpr size_t kFileTypeAt = 4 + 6;
constexpr uint8_t kMainHeaderType = 2;
constexpr uint8_t kContinuedFlag = 0x08; // the member's start lies in an earlier volume

// Where the header after the one at `at` starts: behind its basic part,
// CRC and extended headers; npos when those run past `b`.
size_t nextHeader(std::string_view b, size_t at)
{
    size_t p = at + 4 + base::loadLe16(b.data() + at + 2) + 4;
    for (;;) {
        if (p + 2 > b.size())
            return std::string_view::npos;
        const size_t extended = base::loadLe16(b.data() + p);
        p += 2;
        if (extended == 0)
            return p;
        p += extended + 4;
    }
}

} // namespace

bool arjHeaderHolds(std::string_view b, size_t at)
{
    if (at + 4 > b.size() || b[at] != kIdFirst || b[at + 1] != kIdSecond)
        return false;
    const size_t size = base::loadLe16(b.data() + at + 2);
    if (size < kArjMinBasicHeader || size > kArjMaxBasicHeader || at + 4 + size + 4 > b.size())
        return false;
    const auto *basic = reinterpret_cast<const Bytef *>(b.data() + at + 4);
    return crc32(0, basic, static_cast<uInt>(size)) == base::loadLe32(b.data() + at + 4 + size);
}

bool arjMainHeaderAt(std::string_view b, size_t at)
{
    return arjHeaderHolds(b, at) && static_cast<uint8_t>(b[at + kFileTypeAt]) == kMainHeaderType;
}

bool arjContinuesVolume(std::string_view b, size_t at)
{
    if (!arjMainHeaderAt(b, at))
        return false;
    const size_t first = nextHeader(b, at);
    return first != std::string_view::npos && arjHeaderHolds(b, first) &&
           (static_cast<uint8_t>(b[first + kFlagsAt]) & kContinuedFlag) != 0;
}

std::optional<uint64_t> findArjArchive(int fd, uint64_t fileSize, uint64_t scanLimit)
{
    const uint64_t limit = std::min(fileSize, scanLimit);
    std::string buf;
    for (uint64_t base = 0; base < limit; base += kChunk) {
        // Each chunk carries a whole header's worth of the next one.
        buf.resize(static_cast<size_t>(std::min<uint64_t>(kChunk + kArjMaxHeaderBytes, fileSize - base)));
        const int64_t got = platform::readFullyAt(fd, base, buf.data(), buf.size());
        if (got <= 0)
            break;
        buf.resize(static_cast<size_t>(got));
        const size_t end = static_cast<size_t>(std::min<uint64_t>({buf.size(), kChunk, limit - base}));
        const std::string_view view(buf);
        for (size_t at = view.find(kIdFirst); at != std::string_view::npos && at < end;
             at = view.find(kIdFirst, at + 1)) {
            if (arjMainHeaderAt(view, at))
                return base + at;
        }
    }
    return std::nullopt;
}

} // namespace qvo::identify
