#include "formats/arj/arj_header.h"

#include "base/endian.h"
#include "codecs/crc32.h"
#include "formats/arj/arj_format.h"
#include "identify/arj_headers.h"
#include "platform/file_reading.h"

#include <string_view>

namespace qvo::formats::arj {
namespace {

constexpr size_t kIdAndSize = 4;
constexpr size_t kCrcSize = 4;
constexpr size_t kLongFixedFields = kPartOffsetAt + 4;

bool readAt(int fd, uint64_t offset, std::string &buf, size_t size)
{
    buf.resize(size);
    return platform::readFullyAt(fd, offset, buf.data(), size) == static_cast<int64_t>(size);
}

HeaderRead parseBasic(std::string_view basic, ArjHeader &out)
{
    const size_t fixed = static_cast<uint8_t>(basic[kFirstHeaderSizeAt]);
    if (fixed < kFixedFields || fixed >= basic.size())
        return HeaderRead::Damaged;
    const char *b = basic.data();
    out.version = static_cast<uint8_t>(b[kVersionAt]);
    out.hostOs = static_cast<uint8_t>(b[kHostOsAt]);
    out.flags = static_cast<uint8_t>(b[kFlagsAt]);
    out.method = static_cast<uint8_t>(b[kMethodAt]);
    out.fileType = static_cast<uint8_t>(b[kFileTypeAt]);
    out.modified = base::loadLe32(b + kModifiedAt);
    out.compressedSize = base::loadLe32(b + kCompressedSizeAt);
    out.originalSize = base::loadLe32(b + kOriginalSizeAt);
    out.crc = base::loadLe32(b + kCrcAt);
    out.mode = base::loadLe16(b + kModeAt);
    out.firstChapter = static_cast<uint8_t>(b[kFirstChapterAt]);
    out.lastChapter = static_cast<uint8_t>(b[kLastChapterAt]);
    out.partOffset = fixed >= kLongFixedFields ? base::loadLe32(b + kPartOffsetAt) : 0;
    const std::string_view rest = basic.substr(fixed);
    const size_t nameEnd = rest.find('\0');
    if (nameEnd == std::string_view::npos)
        return HeaderRead::Damaged;
    out.name.assign(rest.substr(0, nameEnd));
    return HeaderRead::Ok;
}

} // namespace

HeaderRead readArjHeader(int fd, uint64_t offset, uint64_t fileSize, ArjHeader &out, uint64_t &next)
{
    out = ArjHeader{};
    std::string buf;
    if (!readAt(fd, offset, buf, kIdAndSize))
        return HeaderRead::Truncated;
    if (static_cast<uint8_t>(buf[0]) != 0x60 || static_cast<uint8_t>(buf[1]) != 0xEA)
        return HeaderRead::Damaged;
    const size_t size = base::loadLe16(buf.data() + 2);
    if (size == 0) {
        next = offset + kIdAndSize;
        return HeaderRead::End;
    }
    if (size > identify::kArjMaxBasicHeader)
        return HeaderRead::Damaged;
    if (!readAt(fd, offset, buf, kIdAndSize + size + kCrcSize))
        return HeaderRead::Truncated;
    if (!identify::arjHeaderHolds(buf, 0))
        return HeaderRead::Damaged;
    const HeaderRead basic = parseBasic(std::string_view(buf).substr(kIdAndSize, size), out);
    if (basic != HeaderRead::Ok)
        return basic;

    uint64_t at = offset + kIdAndSize + size + kCrcSize;
    for (;;) {
        if (!readAt(fd, at, buf, 2))
            return HeaderRead::Truncated;
        const size_t extended = base::loadLe16(buf.data());
        at += 2;
        if (extended == 0)
            break;
        if (!readAt(fd, at, buf, extended + kCrcSize))
            return HeaderRead::Truncated;
        if (codecs::crc32(0, buf.data(), extended) != base::loadLe32(buf.data() + extended))
            return HeaderRead::Damaged;
        if (buf[0] == kUnixSpecialTag)
            out.unixSpecial.assign(buf, 1, extended - 1);
        at += extended + kCrcSize;
    }
    out.dataOffset = at;
    next = at;
    if (out.fileType != kTypeMain)
        next += out.compressedSize;
    return next <= fileSize ? HeaderRead::Ok : HeaderRead::Truncated;
}

} // namespace qvo::formats::arj
