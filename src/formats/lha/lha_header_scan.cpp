#include "formats/lha/lha_header_scan.h"

#include "base/endian.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace qvo::formats::lha {
namespace {

constexpr size_t kMethodAt = 2;
constexpr size_t kLevelAt = 20;
constexpr size_t kMinHeader = 22;

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
    std::string b(identify::kMaxLhaHeader, '\0');
    if (!readFully(fd, offset, b) || b.size() < kMinHeader + 2 || !identify::lhaMethodAt(b, kMethodAt))
        return e;
    int level = b[kLevelAt];
    bool folder = b.compare(kMethodAt, 5, "-lhd-") == 0;
    if ((level != 0 && level != 1) || b[kNameLengthAt] != 0 || !identify::lhaChecksumHolds(b, 0)
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

} // namespace qvo::formats::lha
