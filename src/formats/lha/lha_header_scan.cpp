#include "formats/lha/lha_header_scan.h"

#include "base/endian.h"
#include "codecs/lha/lha_crc16.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace qvo::archivers {
using codecs::lha::crc16Update;
namespace {

constexpr size_t kChunk = 1 << 20;
constexpr size_t kMaxHeader = 64 * 1024; // level 2 sizes are 16-bit
constexpr size_t kMethodAt = 2;          // "-lh5-" after size and checksum
constexpr size_t kLevelAt = 20;
constexpr size_t kMinHeader = 22;        // level 0 with a one-byte name

// "-lh?-", "-lz?-" or "-pm?-" at `at`.
bool isMethod(const std::string &b, size_t at)
{
    if (b[at] != '-' || b[at + 4] != '-')
        return false;
    std::string_view id(b.data() + at + 1, 2);
    return id == "lh" || id == "lz" || id == "pm";
}

// Levels 0 and 1: byte 0 is the size after the first two bytes, byte 1
// their sum.
bool checksumHolds(const std::string &b, size_t p)
{
    size_t size = static_cast<unsigned char>(b[p]);
    if (size + 2 < kMinHeader || p + 2 + size > b.size())
        return false;
    unsigned sum = 0;
    for (size_t i = p + 2; i < p + 2 + size; ++i)
        sum += static_cast<unsigned char>(b[i]);
    return (sum & 0xFF) == static_cast<unsigned char>(b[p + 1]);
}

// Level 2: the extended headers fill the stated size exactly, and the
// header CRC (extended header 0x00), when there is one, matches.
bool level2Holds(const std::string &b, size_t p)
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
    std::string header = b.substr(p, total);
    header[crcAt - p] = header[crcAt - p + 1] = '\0';
    return crc16Update(0, header.data(), header.size()) == base::loadLe16(b.data() + crcAt);
}

bool readFully(int fd, uint64_t offset, std::string &buf)
{
    size_t got = 0;
    while (got < buf.size()) {
        ssize_t n = ::pread(fd, buf.data() + got, buf.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    buf.resize(got);
    return got > 0;
}

} // namespace

NamelessEntry namelessEntryAt(int fd, uint64_t offset)
{
    constexpr size_t kNameLengthAt = 21;
    constexpr size_t kCompressedSizeAt = 7;
    constexpr size_t kSizeAt = 11;
    constexpr size_t kMaxExtensions = 256;
    NamelessEntry e;
    std::string b(kMaxHeader, '\0');
    if (!readFully(fd, offset, b) || b.size() < kMinHeader + 2 || !isMethod(b, kMethodAt))
        return e;
    int level = b[kLevelAt];
    bool folder = b.compare(kMethodAt, 5, "-lhd-") == 0;
    if ((level != 0 && level != 1) || b[kNameLengthAt] != 0 || !checksumHolds(b, 0)
        || (!folder && b.compare(kMethodAt, 5, "-lh0-") != 0))
        return e;
    uint64_t compressed = base::loadLe32(b.data() + kCompressedSizeAt);
    if (base::loadLe32(b.data() + kSizeAt) != 0)
        return e;
    size_t end = 2 + static_cast<unsigned char>(b[0]);
    if (level == 1) {
        // Extended headers follow; the compressed size counts them.
        size_t next = base::loadLe16(b.data() + end - 2);
        for (size_t n = 0; next != 0; ++n) {
            if (n >= kMaxExtensions || next < 3 || end + next > b.size())
                return e;
            size_t size = next;
            next = base::loadLe16(b.data() + end + size - 2);
            end += size;
        }
        if (compressed != end - 2 - static_cast<unsigned char>(b[0]))
            return e; // data follows: not ours to skip
        e.osId = static_cast<unsigned char>(b[24]);
    } else if (compressed != 0) {
        return e;
    }
    e.size = end;
    e.header = b.substr(0, end);
    e.level = level;
    return e;
}

bool lhaHeaderAt(int fd, uint64_t offset)
{
    std::string b(kMaxHeader, '\0');
    if (!readFully(fd, offset, b) || b.size() < kMinHeader || !isMethod(b, kMethodAt))
        return false;
    unsigned char level = static_cast<unsigned char>(b[kLevelAt]);
    return (level <= 1 && checksumHolds(b, 0)) || (level == 2 && level2Holds(b, 0));
}

std::vector<uint64_t> findLhaHeaders(int fd, uint64_t fileSize, size_t maxCount, uint64_t scanLimit)
{
    std::vector<uint64_t> found;
    uint64_t limit = std::min(fileSize, scanLimit);
    std::string buf;
    for (uint64_t base = 0; base < limit && found.size() < maxCount; base += kChunk) {
        // Each chunk carries a whole header's worth of the next one.
        size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk + kMaxHeader, fileSize - base));
        buf.resize(want);
        if (!readFully(fd, base, buf))
            break;
        size_t got = buf.size();
        size_t end = std::min<size_t>(got, kChunk);
        for (size_t p = 0; p < end && p + kMinHeader <= got && found.size() < maxCount; ++p) {
            if (!isMethod(buf, p + kMethodAt))
                continue;
            unsigned char level = static_cast<unsigned char>(buf[p + kLevelAt]);
            if ((level <= 1 && checksumHolds(buf, p)) || (level == 2 && level2Holds(buf, p)))
                found.push_back(base + p);
        }
    }
    return found;
}

} // namespace qvo::archivers
