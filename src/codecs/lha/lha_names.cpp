#include "codecs/lha/lha_names.h"

#include "codecs/names/cp932.h"

#include <vector>

namespace qvo::codecs::lha {

std::optional<LhaStoredName> storedLhaName(std::string_view path, bool isFolder)
{
    if (path.empty() || path.find('\xFF') != std::string_view::npos)
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
        out.dirName.append(parts[i]);
        out.dirName.push_back('\xFF');
    }
    if (!isFolder)
        out.fileName = std::string(parts.back());
    if (!isAscii(path) && isValidUtf8(path))
        out.codePage = kCodePageUtf8;
    return out;
}

} // namespace qvo::codecs::lha
