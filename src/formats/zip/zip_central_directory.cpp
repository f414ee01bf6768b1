#include "formats/zip/zip_central_directory.h"

#include "base/endian.h"

#include <algorithm>

namespace qvo::formats::zip {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr size_t kCentralHeaderSize = 46;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint64_t kFull32 = 0xFFFFFFFF;
constexpr uint64_t kMaxCentralDirectory = 64ull << 20; // about a million members

std::string readAt(std::ifstream &in, uint64_t offset, uint64_t size)
{
    std::string buf(size, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(buf.data(), static_cast<std::streamsize>(size));
    buf.resize(static_cast<size_t>(in.gcount()));
    return buf;
}

} // namespace

std::string_view findZipExtra(std::string_view extra, uint16_t id)
{
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        auto fieldId = base::loadLe16(extra.data() + at);
        auto len = static_cast<size_t>(base::loadLe16(extra.data() + at + 2));
        if (at + 4 + len > extra.size())
            break;
        if (fieldId == id)
            return extra.substr(at + 4, len);
        at += 4 + len;
    }
    return {};
}

ZipCentralDirectory loadZipCentralDirectory(std::ifstream &in)
{
    ZipCentralDirectory out;
    in.clear();
    in.seekg(0, std::ios::end);
    auto fileSize = static_cast<uint64_t>(in.tellg());
    if (!in || fileSize < kEndSize)
        return out;
    uint64_t tailSize = std::min<uint64_t>(fileSize, kEndSize + kMaxCommentSize);
    std::string tail = readAt(in, fileSize - tailSize, tailSize);
    if (tail.size() < kEndSize)
        return out;
    size_t end = std::string::npos;
    for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
        if (base::loadLe32(tail.data() + i) == kEndSignature) {
            end = i;
            break;
        }
    }
    if (end == std::string::npos)
        return out;
    uint64_t count = base::loadLe16(tail.data() + end + 10);
    uint64_t cdSize = base::loadLe32(tail.data() + end + 12);
    uint64_t cdOffset = base::loadLe32(tail.data() + end + 16);
    // ZIP64: a locator just before the end record names the record that
    // holds the real values (writers may leave the old fields inexact).
    uint64_t endPos = fileSize - tailSize + end;
    uint64_t cdEnd = endPos; // where the central directory should stop
    if (endPos >= kZip64LocatorSize) {
        std::string loc = readAt(in, endPos - kZip64LocatorSize, kZip64LocatorSize);
        if (loc.size() == kZip64LocatorSize && base::loadLe32(loc.data()) == kZip64LocatorSignature) {
            uint64_t recPos = base::loadLe64(loc.data() + 8);
            std::string rec = recPos < fileSize ? readAt(in, recPos, kZip64EndSize) : std::string();
            if (rec.size() == kZip64EndSize && base::loadLe32(rec.data()) == kZip64EndSignature) {
                cdEnd = recPos;
                count = base::loadLe64(rec.data() + 32);
                cdSize = base::loadLe64(rec.data() + 40);
                cdOffset = base::loadLe64(rec.data() + 48);
            } else if (cdOffset == kFull32 || cdSize == kFull32 || count == 0xFFFF) {
                return out;
            }
        }
    }
    if (cdSize > kMaxCentralDirectory && cdSize <= fileSize) {
        out.tooLarge = true;
        return out;
    }
    if (cdOffset > fileSize || cdSize > fileSize - cdOffset)
        return out;
    out.emptyWithData = count == 0 && endPos > 0;
    // Self-extracting archives and prepended data shift every offset; the
    // central directory then ends where the end record starts.
    uint64_t storedOffset = cdOffset;
    if (cdOffset + cdSize != cdEnd && cdEnd >= cdSize)
        cdOffset = cdEnd - cdSize;
    out.bytes = readAt(in, cdOffset, cdSize);
    if (out.bytes.size() != cdSize)
        return out;
    out.found = true;
    out.count = count;
    out.offset = cdOffset;
    out.shift = static_cast<int64_t>(cdOffset) - static_cast<int64_t>(storedOffset);
    return out;
}

size_t parseZipCentralRecord(std::string_view cd, size_t at, ZipCentralRecord &r)
{
    if (at + kCentralHeaderSize > cd.size() || base::loadLe32(cd.data() + at) != kCentralSignature)
        return 0;
    auto nameLen = static_cast<size_t>(base::loadLe16(cd.data() + at + 28));
    auto extraLen = static_cast<size_t>(base::loadLe16(cd.data() + at + 30));
    auto commentLen = static_cast<size_t>(base::loadLe16(cd.data() + at + 32));
    size_t next = at + kCentralHeaderSize + nameLen + extraLen + commentLen;
    if (next > cd.size())
        return 0;
    r.host = static_cast<uint8_t>(cd[at + 5]);
    r.flags = base::loadLe16(cd.data() + at + 8);
    r.method = base::loadLe16(cd.data() + at + 10);
    r.dosTime = base::loadLe16(cd.data() + at + 12);
    r.dosDate = base::loadLe16(cd.data() + at + 14);
    r.crc = base::loadLe32(cd.data() + at + 16);
    r.compressedSize = base::loadLe32(cd.data() + at + 20);
    r.size = base::loadLe32(cd.data() + at + 24);
    r.externalAttributes = base::loadLe32(cd.data() + at + 38);
    r.localOffset = base::loadLe32(cd.data() + at + 42);
    r.name = cd.substr(at + kCentralHeaderSize, nameLen);
    r.extra = cd.substr(at + kCentralHeaderSize + nameLen, extraLen);
    // The ZIP64 field holds, in this order, only the values whose classic
    // field is full.
    std::string_view z = findZipExtra(r.extra, kZip64ExtraId);
    size_t zi = 0;
    for (uint64_t *v : {&r.size, &r.compressedSize, &r.localOffset}) {
        if (*v == kFull32 && zi + 8 <= z.size()) {
            *v = base::loadLe64(z.data() + zi);
            zi += 8;
        }
    }
    return next;
}

} // namespace qvo::formats::zip
