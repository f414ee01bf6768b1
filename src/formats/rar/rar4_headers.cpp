#include "formats/rar/rar4_headers.h"

#include "base/endian.h"
#include "codecs/crc32.h"
#include "platform/local_time.h"
#include "text/archive_names.h"
#include "text/cp932.h"

namespace qvo::formats::rar::rar4 {
namespace {

// Offsets inside a file header, after the 7 fixed bytes.
constexpr size_t kFileFixedSize = 32; // up to and including the attributes
constexpr size_t kMainFixedSize = 13; // fixed bytes, reserved 6 bytes
constexpr uint32_t kDosDirectory = 0x10;
constexpr uint32_t kDosReadOnly = 0x01;
constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixDirectory = 0040000;
constexpr uint32_t kUnixSymlink = 0120000;

class Cursor {
public:
    explicit Cursor(std::string_view b, size_t at = 0) : b_(b), at_(at) {}
    bool has(size_t n) const { return at_ <= b_.size() && b_.size() - at_ >= n; }
    uint8_t u8() { return static_cast<uint8_t>(b_[at_++]); }
    uint16_t u16()
    {
        uint16_t v = base::loadLe16(b_.data() + at_);
        at_ += 2;
        return v;
    }
    uint32_t u32()
    {
        uint32_t v = base::loadLe32(b_.data() + at_);
        at_ += 4;
        return v;
    }
    std::string_view take(size_t n)
    {
        auto s = b_.substr(at_, n);
        at_ += n;
        return s;
    }
    size_t at() const { return at_; }

private:
    std::string_view b_;
    size_t at_;
};

uint16_t crc16Of(std::string_view bytes)
{
    uint32_t c = codecs::crc32(0, bytes.data(), bytes.size());
    return static_cast<uint16_t>(c & 0xFFFF);
}

// Where an old-style comment starts inside a header, if it has one.
std::optional<size_t> embeddedCommentAt(const BlockHeader &block, std::string_view header)
{
    if (block.type == kMainBlock && (block.flags & kMainComment))
        return kMainFixedSize;
    if (block.type == kFileBlock && (block.flags & kFileComment) && header.size() >= kFileFixedSize) {
        size_t nameSize = base::loadLe16(header.data() + 26);
        size_t at = kFileFixedSize + ((block.flags & kFileLarge) ? 8 : 0) + nameSize;
        if (at <= header.size())
            return at;
    }
    return std::nullopt;
}

// Applies an extended-time record to the DOS modification time: whole
// seconds and 100 ns units.  Only the modification time is kept.
bool applyExtTime(Cursor &c, FileHeader &h)
{
    if (!c.has(2))
        return false;
    uint16_t flags = c.u16();
    for (int which = 0; which < 4; ++which) {
        unsigned mode = (flags >> ((3 - which) * 4)) & 0xF;
        if (!(mode & 8))
            continue;
        if (which != 0) {
            if (!c.has(4))
                return false;
            c.u32(); // creation, access and archive times follow their own DOS time
        }
        unsigned count = mode & 3;
        if (!c.has(count))
            return false;
        uint32_t units = 0;
        for (unsigned i = 0; i < count; ++i)
            units |= static_cast<uint32_t>(c.u8()) << ((i + 3 - count) * 8);
        if (which == 0 && h.mtimeSec) {
            if (mode & 4)
                *h.mtimeSec += 1;
            h.mtimeNsec = units < 10000000 ? units * 100 : 0;
        }
    }
    return true;
}

std::string decodeName(std::string_view raw, bool unicodeFlag, bool &isUnicode)
{
    isUnicode = false;
    if (unicodeFlag) {
        size_t zero = raw.find('\0');
        if (zero == std::string_view::npos) {
            isUnicode = true; // the whole field is UTF-8
            return text::archiveNameToUtf8(raw, text::NameEncoding::Utf8);
        }
        std::string utf16 = decodeUnicodeName(raw.substr(0, zero), raw.substr(zero + 1));
        if (!utf16.empty()) {
            isUnicode = true;
            return text::archiveNameToUtf8(utf16, text::NameEncoding::Utf16Le);
        }
        raw = raw.substr(0, zero);
    }
    // Unmarked names are in the packing system's code page: CP932 for the
    // archives we care about, UTF-8 from most Unix systems.
    auto enc = text::isValidUtf8(raw) ? text::NameEncoding::Utf8 : text::NameEncoding::Cp932;
    return text::archiveNameToUtf8(raw, enc);
}

} // namespace

BlockHeader parseBlockHeader(std::string_view bytes)
{
    BlockHeader b;
    Cursor c(bytes);
    b.crc = c.u16();
    b.type = c.u8();
    b.flags = c.u16();
    b.headSize = c.u16();
    if (((b.flags & kLongBlock) || b.type == kFileBlock || b.type == kSubBlock) && c.has(4))
        b.dataSize = c.u32();
    return b;
}

bool headerCrcMatches(const BlockHeader &block, std::string_view header)
{
    if (header.size() < kBaseHeaderSize)
        return false;
    if (crc16Of(header.substr(2)) == block.crc)
        return true;
    if (auto at = embeddedCommentAt(block, header))
        return crc16Of(header.substr(2, *at - 2)) == block.crc;
    return false;
}

bool FileHeader::isDirectory() const
{
    if ((flags & kFileDictionaryMask) == kFileDirectory)
        return true;
    if (hostOs == kHostUnix || hostOs == kHostBeOs)
        return (attributes & kUnixTypeMask) == kUnixDirectory;
    return (attributes & kDosDirectory) != 0;
}

bool FileHeader::isSymlink() const
{
    return (hostOs == kHostUnix || hostOs == kHostBeOs) && (attributes & kUnixTypeMask) == kUnixSymlink;
}

uint32_t FileHeader::unixMode() const
{
    if (hostOs == kHostUnix || hostOs == kHostBeOs)
        return attributes & 07777;
    uint32_t mode = isDirectory() ? 0777 : 0666;
    if (attributes & kDosReadOnly)
        mode &= ~0222u;
    return mode;
}

std::optional<FileHeader> parseFileHeader(std::string_view header)
{
    if (header.size() < kFileFixedSize)
        return std::nullopt;
    Cursor c(header, 3);
    FileHeader h;
    h.flags = c.u16();
    c.u16(); // header size
    uint32_t packLow = c.u32();
    uint32_t unpLow = c.u32();
    h.hostOs = c.u8();
    h.crc = c.u32();
    h.dosTime = c.u32();
    h.unpVersion = c.u8();
    h.method = c.u8();
    uint16_t nameSize = c.u16();
    h.attributes = c.u32();
    uint64_t packHigh = 0, unpHigh = 0;
    if (h.flags & kFileLarge) {
        if (!c.has(8))
            return std::nullopt;
        packHigh = c.u32();
        unpHigh = c.u32();
    }
    h.packSize = (packHigh << 32) | packLow;
    h.unpSize = (unpHigh << 32) | unpLow;
    if (!c.has(nameSize))
        return std::nullopt;
    std::string_view rawName = c.take(nameSize);
    h.name = decodeName(rawName, h.flags & kFileUnicode, h.nameIsUnicode);
    if (!h.nameIsUnicode)
        h.rawName = (h.flags & kFileUnicode) ? rawName.substr(0, rawName.find('\0')) : rawName;
    h.mtimeSec = platform::dosTimeToUnix(h.dosTime);
    if (h.flags & kFileComment)
        return h; // archivers that embed comments wrote no salt or times
    if (h.flags & kFileSalt) {
        if (!c.has(8))
            return std::nullopt;
        c.take(8);
    }
    if ((h.flags & kFileExtTime) && !applyExtTime(c, h))
        return std::nullopt;
    return h;
}

std::string decodeUnicodeName(std::string_view plain, std::string_view encoded)
{
    std::string out;
    auto put = [&out](unsigned unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    };
    auto byteAt = [](std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); };
    if (encoded.empty())
        return out;
    size_t in = 0;
    unsigned high = byteAt(encoded, in++);
    unsigned flags = 0, flagBits = 0;
    size_t produced = 0; // characters so far; copies refer to the plain name by position
    while (in < encoded.size()) {
        if (flagBits == 0) {
            flags = byteAt(encoded, in++);
            flagBits = 8;
        }
        flagBits -= 2;
        unsigned op = (flags >> flagBits) & 3;
        switch (op) {
        case 0:
            if (in >= encoded.size())
                return out;
            put(byteAt(encoded, in++));
            ++produced;
            break;
        case 1:
            if (in >= encoded.size())
                return out;
            put(byteAt(encoded, in++) | (high << 8));
            ++produced;
            break;
        case 2:
            if (in + 1 >= encoded.size())
                return out;
            put(byteAt(encoded, in) | (byteAt(encoded, in + 1) << 8));
            in += 2;
            ++produced;
            break;
        default: {
            if (in >= encoded.size())
                return out;
            unsigned length = byteAt(encoded, in++);
            if (length & 0x80) {
                if (in >= encoded.size())
                    return out;
                unsigned correction = byteAt(encoded, in++);
                for (length = (length & 0x7F) + 2; length > 0 && produced < plain.size(); --length, ++produced)
                    put(((byteAt(plain, produced) + correction) & 0xFF) | (high << 8));
            } else {
                for (length += 2; length > 0 && produced < plain.size(); --length, ++produced)
                    put(byteAt(plain, produced));
            }
            break;
        }
        }
    }
    return out;
}

} // namespace qvo::formats::rar::rar4
