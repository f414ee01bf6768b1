#include "archivers/common/zip_name_markers.h"

#include "codecs/names/cp932.h"

#include <cstdint>
#include <fstream>
#include <string_view>

namespace qvo::archivers {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr size_t kEndSize = 22;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr size_t kCentralHeaderSize = 46;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kUnicodePathId = 0x7075;
constexpr uint64_t kMaxCentralDirectory = 64ull << 20; // about a million members

uint64_t le(std::string_view b, size_t at, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint64_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return v;
}

std::string readAt(std::ifstream &in, uint64_t offset, uint64_t size)
{
    std::string buf(size, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(buf.data(), static_cast<std::streamsize>(size));
    buf.resize(static_cast<size_t>(in.gcount()));
    return buf;
}

// The UTF-8 name of a version-1 0x7075 field in `extra`, or empty.  Its
// CRC is not checked here: libarchive substitutes the name only when the
// CRC matches, and otherwise hands over the raw name, which this set then
// does not contain.
std::string unicodePath(std::string_view extra)
{
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        auto id = static_cast<uint16_t>(le(extra, at, 2));
        size_t len = static_cast<size_t>(le(extra, at + 2, 2));
        if (at + 4 + len > extra.size())
            break;
        std::string_view body = extra.substr(at + 4, len);
        if (id == kUnicodePathId && body.size() > 5 && body[0] == 1) {
            std::string_view name = body.substr(5);
            if (codecs::isValidUtf8(name))
                return std::string(name);
        }
        at += 4 + len;
    }
    return {};
}

} // namespace

ZipNameMarkers readZipNameMarkers(const std::filesystem::path &archive)
{
    ZipNameMarkers out;
    std::ifstream in(archive, std::ios::binary);
    if (!in)
        return out;
    in.seekg(0, std::ios::end);
    auto fileSize = static_cast<uint64_t>(in.tellg());
    if (fileSize < kEndSize)
        return out;
    uint64_t tailSize = std::min<uint64_t>(fileSize, kEndSize + kMaxCommentSize);
    std::string tail = readAt(in, fileSize - tailSize, tailSize);
    size_t end = std::string::npos;
    for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
        if (le(tail, i, 4) == kEndSignature) {
            end = i;
            break;
        }
    }
    if (end == std::string::npos)
        return out;
    uint64_t count = le(tail, end + 10, 2);
    uint64_t cdSize = le(tail, end + 12, 4);
    uint64_t cdOffset = le(tail, end + 16, 4);
    // ZIP64: a locator just before the end record names the record that
    // holds the real values (writers may leave the old fields inexact).
    uint64_t endPos = fileSize - tailSize + end;
    uint64_t cdEnd = endPos; // where the central directory should stop
    if (endPos >= 20) {
        std::string loc = readAt(in, endPos - 20, 20);
        if (loc.size() == 20 && le(loc, 0, 4) == kZip64LocatorSignature) {
            uint64_t recPos = le(loc, 8, 8);
            std::string rec = readAt(in, recPos, 56);
            if (rec.size() == 56 && le(rec, 0, 4) == kZip64EndSignature) {
                cdEnd = recPos;
                count = le(rec, 32, 8);
                cdSize = le(rec, 40, 8);
                cdOffset = le(rec, 48, 8);
            } else if (cdOffset == 0xFFFFFFFF || cdSize == 0xFFFFFFFF || count == 0xFFFF) {
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
    out.emptyWithData = count == 0 && fileSize - tailSize + end > 0;
    // Self-extracting archives and prepended data shift every offset; the
    // central directory then ends where the end record starts.
    if (cdOffset + cdSize != cdEnd && cdEnd >= cdSize)
        cdOffset = cdEnd - cdSize;
    std::string cd = readAt(in, cdOffset, cdSize);
    if (cd.size() != cdSize)
        return out;
    size_t at = 0;
    uint64_t entries = 0;
    while (at + kCentralHeaderSize <= cd.size() && le(cd, at, 4) == kCentralSignature) {
        ++entries;
        auto flags = static_cast<uint16_t>(le(cd, at + 8, 2));
        size_t nameLen = static_cast<size_t>(le(cd, at + 28, 2));
        size_t extraLen = static_cast<size_t>(le(cd, at + 30, 2));
        size_t commentLen = static_cast<size_t>(le(cd, at + 32, 2));
        size_t next = at + kCentralHeaderSize + nameLen + extraLen + commentLen;
        if (next > cd.size())
            break;
        std::string_view raw(cd.data() + at + kCentralHeaderSize, nameLen);
        std::string_view extra(cd.data() + at + kCentralHeaderSize + nameLen, extraLen);
        if (flags & kFlagUtf8) {
            out.utf8Names.insert(ZipNameMarkers::nameHash(raw));
        } else {
            std::string uni = unicodePath(extra);
            if (!uni.empty())
                out.utf8Names.insert(ZipNameMarkers::nameHash(uni));
        }
        at = next;
    }
    // A central directory that does not hold what its end record says
    // (entries missing, or more of them) is damaged.
    out.parsed = entries == count;
    return out;
}

} // namespace qvo::archivers
