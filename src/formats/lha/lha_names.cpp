#include "formats/lha/lha_names.h"

#include "text/cp932.h"

#include <vector>

namespace qvo::formats::lha {

std::optional<std::string> lhaNameBytes(std::string_view name, LhaNameBytes bytes)
{
    if (bytes == LhaNameBytes::Utf8)
        return std::string(name);
    return text::nameInCp932(name);
}

bool lhaNameFitsCp932(std::string_view name, bool inLink)
{
    const std::optional<std::string> cp932 = lhaNameBytes(name, LhaNameBytes::Cp932);
    return cp932 && !(inLink && cp932->find('|') != std::string::npos);
}

std::optional<LhaStoredName> storedLhaName(std::string_view path, bool isFolder, LhaNameBytes bytes)
{
    // NUL would end the name early in every reader; 0xFF is the separator.
    if (path.empty() || path.find('\xFF') != std::string_view::npos ||
        path.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = path.find('/', start);
        std::string_view part = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (part.empty() || part == "." || part == "..")
            return std::nullopt;
        parts.push_back(part);
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    LhaStoredName out;
    size_t folderParts = isFolder ? parts.size() : parts.size() - 1;
    for (size_t i = 0; i < folderParts; ++i) {
        std::optional<std::string> part = lhaNameBytes(parts[i], bytes);
        if (!part)
            return std::nullopt;
        out.dirName.append(*part);
        out.dirName.push_back('\xFF');
    }
    if (!isFolder) {
        std::optional<std::string> file = lhaNameBytes(parts.back(), bytes);
        if (!file)
            return std::nullopt;
        out.fileName = std::move(*file);
    }
    if (!text::isAscii(path) && text::isValidUtf8(path)) {
        out.codePage = bytes == LhaNameBytes::Cp932 ? kCodePageCp932 : kCodePageUtf8;
        for (size_t i = 0; i < folderParts; ++i) {
            out.utf16DirName += utf8ToUtf16(parts[i]);
            out.utf16DirName.push_back(u'\xFFFF');
        }
        if (!isFolder)
            out.utf16FileName = utf8ToUtf16(parts.back());
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        uint8_t b = uint8_t(s[i]);
        uint32_t cp;
        size_t n;
        if (b < 0x80) {
            cp = b;
            n = 1;
        } else if (b < 0xE0) {
            cp = b & 0x1F;
            n = 2;
        } else if (b < 0xF0) {
            cp = b & 0x0F;
            n = 3;
        } else {
            cp = b & 0x07;
            n = 4;
        }
        for (size_t k = 1; k < n && i + k < s.size(); ++k)
            cp = (cp << 6) | (uint8_t(s[i + k]) & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 | (cp >> 10)));
            out.push_back(char16_t(0xDC00 | (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

} // namespace qvo::formats::lha
