#include "formats/lha/lha_header_names.h"

#include "base/endian.h"
#include "text/archive_names.h"
#include "text/charset_decoding.h"

#include <string>

namespace qvo::formats::lha {
namespace {

constexpr uint8_t kExtFileName = 0x01;
constexpr uint8_t kExtDirName = 0x02;
constexpr uint8_t kExtUtf16FileName = 0x44;
constexpr uint8_t kExtUtf16DirName = 0x45;
constexpr uint8_t kExtCodePage = 0x46;
constexpr uint32_t kCodePageUtf8 = 65001;

// Extended headers: a chain of [size][type][data], where size counts the
// whole record including its own size field (2 bytes, 4 at level 3).
void walkExtendedHeaders(std::string_view raw, size_t offset, size_t field, LhaHeaderNames &out)
{
    while (offset + field <= raw.size()) {
        size_t len = field == 4 ? base::loadLe32(raw.data() + offset) : base::loadLe16(raw.data() + offset);
        if (len == 0)
            return;
        if (len < field + 1 || len > raw.size() - offset)
            return;
        auto type = static_cast<uint8_t>(raw[offset + field]);
        std::string_view data = raw.substr(offset + field + 1, len - field - 1);
        switch (type) {
        case kExtFileName:
            out.fileName = std::string(data);
            break;
        case kExtDirName:
            out.dirName = std::string(data);
            break;
        case kExtUtf16FileName:
            out.utf16File = std::string(data);
            break;
        case kExtUtf16DirName:
            out.utf16Dir = std::string(data);
            break;
        case kExtCodePage:
            if (data.size() >= 4)
                out.codePage = base::loadLe32(data.data());
            break;
        default:
            break;
        }
        offset += len;
    }
}

} // namespace

LhaHeaderNames parseLhaHeaderNames(std::string_view raw, int level)
{
    LhaHeaderNames out;
    switch (level) {
    case 0:
    case 1: {
        if (raw.size() < 22)
            return out;
        size_t nameLen = static_cast<unsigned char>(raw[21]);
        if (22 + nameLen > raw.size())
            return out;
        // Amiga archivers put a file comment after a NUL in this field.
        std::string_view name = raw.substr(22, nameLen);
        name = name.substr(0, name.find('\0'));
        if (!name.empty())
            out.fileName = std::string(name);
        if (level == 1) {
            // The base header's last two bytes hold the first extended size.
            size_t baseLen = static_cast<unsigned char>(raw[0]) + 2;
            if (baseLen >= 2 && baseLen <= raw.size())
                walkExtendedHeaders(raw, baseLen - 2, 2, out);
        }
        break;
    }
    case 2:
        walkExtendedHeaders(raw, 24, 2, out);
        break;
    case 3:
        walkExtendedHeaders(raw, 28, 4, out);
        break;
    default:
        break;
    }
    return out;
}

text::NameOrigin lhaNameOrigin(uint8_t osId)
{
    if (osId == 'A')
        return text::NameOrigin::Amiga;
    if (osId == 'U' || osId == 'm')
        return text::NameOrigin::Utf8IfValid;
    return text::NameOrigin::Unknown;
}

void addLhaNames(const LhaHeaderNames &names, uint8_t osId, text::ArchiveNameCharset &charset)
{
    if (names.codePage)
        return;
    if (names.fileName && !names.utf16File)
        charset.add(*names.fileName, lhaNameOrigin(osId));
    if (names.dirName && !names.utf16Dir)
        charset.add(*names.dirName, lhaNameOrigin(osId));
}

std::string decodeLhaName(const LhaHeaderNames &names, uint8_t osId, const text::ArchiveNameCharset &charset)
{
    // Unicode headers win; then the code-page header; the other names are
    // read as the archive's names were judged (see ArchiveNameCharset).
    using text::NameEncoding;
    auto decodeBytes = [&](const std::string &raw) {
        if (!names.codePage)
            return charset.decodeLhaPath(raw, lhaNameOrigin(osId));
        if (*names.codePage == kCodePageUtf8)
            return text::lhaPathToUtf8(raw, NameEncoding::Utf8);
        std::string named = "CP" + std::to_string(*names.codePage);
        return text::lhaPathToUtf8(raw, text::charsetKnown(named) ? named : charset.archiveCharset());
    };

    std::string file;
    if (names.utf16File)
        file = text::lhaPathToUtf8(*names.utf16File, NameEncoding::Utf16Le);
    else if (names.fileName)
        file = decodeBytes(*names.fileName);

    std::string dir;
    if (names.utf16Dir)
        dir = text::lhaPathToUtf8(*names.utf16Dir, NameEncoding::Utf16Le);
    else if (names.dirName)
        dir = decodeBytes(*names.dirName);

    return text::joinLhaPath(dir, file);
}

} // namespace qvo::formats::lha
