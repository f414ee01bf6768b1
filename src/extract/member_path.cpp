#include "extract/member_path.h"

namespace qvo::extract {
namespace {

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Calls `fn` with every piece between separators, empty ones included.
template <typename Fn>
void forEachPiece(std::string_view text, Fn fn)
{
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isSeparator(text[i])) {
            fn(text.substr(start, i - start));
            start = i + 1;
        }
    }
}

} // namespace

bool isAbsoluteOrDrive(std::string_view text)
{
    if (text.empty())
        return false;
    if (isSeparator(text[0]))
        return true;
    auto c = static_cast<unsigned char>(text[0]);
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return letter && text.size() >= 2 && text[1] == ':';
}

bool splitMemberName(std::string_view name, PathComponents &out)
{
    out.clear();
    if (name.empty() || name.find('\0') != std::string_view::npos || isAbsoluteOrDrive(name))
        return false;
    bool ok = true;
    forEachPiece(name, [&](std::string_view piece) {
        if (piece.empty() || piece == ".")
            return;
        if (piece == "..")
            ok = false;
        else
            out.emplace_back(piece);
    });
    if (!ok)
        out.clear();
    return ok;
}

bool resolveLinkTargetLexically(const PathComponents &base, std::string_view target,
                                PathComponents &resolved)
{
    resolved = base;
    if (target.empty() || target.find('\0') != std::string_view::npos ||
        isAbsoluteOrDrive(target))
        return false;
    bool inside = true;
    forEachPiece(target, [&](std::string_view piece) {
        if (!inside || piece.empty() || piece == ".")
            return;
        if (piece == "..") {
            if (resolved.empty())
                inside = false;
            else
                resolved.pop_back();
        } else {
            resolved.emplace_back(piece);
        }
    });
    return inside;
}

std::string joinComponents(const PathComponents &c, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count && i < c.size(); ++i) {
        if (i)
            out += '/';
        out += c[i];
    }
    return out;
}

} // namespace qvo::extract
