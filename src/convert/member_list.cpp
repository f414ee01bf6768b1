#include "convert/member_list.h"

#include "platform/file_contents.h"

#include <charconv>
#include <map>
#include <string_view>

namespace qvo::convert {
namespace {

constexpr size_t kFieldsPerMember = 5;

using Index = std::map<std::string, ListedMember>;

bool isLink(const ListedMember &m)
{
    return m.kind == ListedMember::Kind::Link || m.kind == ListedMember::Kind::LinkLeadingOutside;
}

template <typename T>
bool parseNumber(std::string_view text, int base, T &out)
{
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, out, base);
    return !text.empty() && error == std::errc() && stop == end;
}

bool parseMember(const std::string_view (&fields)[kFieldsPerMember], ListedMember &m)
{
    const std::string_view kind = fields[0];
    if (kind == "F")
        m.kind = ListedMember::Kind::File;
    else if (kind == "D")
        m.kind = ListedMember::Kind::Folder;
    else if (kind == "L")
        m.kind = ListedMember::Kind::Link;
    else if (kind == "X")
        m.kind = ListedMember::Kind::LinkLeadingOutside;
    else
        return false;
    if (!parseNumber(fields[1], 10, m.size) || fields[2].size() != 8 || !parseNumber(fields[2], 16, m.crc32))
        return false;
    m.name = fields[3];
    m.linkTarget = fields[4];
    return true;
}

// Every member by name, with the folders that the paths imply.  False when
// a name is listed twice (folders aside) or names a folder and something
// else: such a list cannot be held by any archive the run writes.
bool indexMembers(const MemberList &list, Index &out, std::string &difference)
{
    for (const ListedMember &m : list) {
        if (m.name.empty())
            continue; // "." names the destination itself
        auto [it, fresh] = out.emplace(m.name, m);
        if (!fresh && (m.kind != ListedMember::Kind::Folder || it->second.kind != ListedMember::Kind::Folder)) {
            difference = "listed twice: " + m.name;
            return false;
        }
    }
    std::vector<std::string> implied;
    for (const auto &[name, m] : out) {
        for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            implied.push_back(name.substr(0, slash));
    }
    for (const std::string &folder : implied) {
        ListedMember m;
        m.kind = ListedMember::Kind::Folder;
        m.name = folder;
        auto [it, fresh] = out.emplace(folder, m);
        if (!fresh && it->second.kind != ListedMember::Kind::Folder) {
            difference = "a folder and not a folder at once: " + folder;
            return false;
        }
    }
    return true;
}

// The name a link's target leads to by its text, from the link's folder;
// nothing when the text leaves the archive's folder.
std::optional<std::string> linkedName(const ListedMember &link)
{
    const std::string_view target = link.linkTarget;
    if (target.empty() || target[0] == '/')
        return std::nullopt;
    std::vector<std::string_view> at;
    const std::string_view name = link.name;
    for (size_t start = 0, slash; (slash = name.find('/', start)) != std::string_view::npos; start = slash + 1)
        at.push_back(name.substr(start, slash - start));
    for (size_t start = 0; start <= target.size();) {
        size_t slash = target.find('/', start);
        if (slash == std::string_view::npos)
            slash = target.size();
        const std::string_view piece = target.substr(start, slash - start);
        start = slash + 1;
        if (piece.empty() || piece == ".")
            continue;
        if (piece == "..") {
            if (at.empty())
                return std::nullopt;
            at.pop_back();
        } else {
            at.push_back(piece);
        }
    }
    std::string out;
    for (std::string_view piece : at)
        out.append(out.empty() ? "" : "/").append(piece);
    return out;
}

bool sameFile(const ListedMember &a, const ListedMember &b)
{
    return a.kind == ListedMember::Kind::File && b.kind == ListedMember::Kind::File && a.size == b.size &&
           a.crc32 == b.crc32;
}

// Whether `copy` holds what the source member `m` held.
bool holdsTheSame(const Index &source, const ListedMember &m, const ListedMember &copy,
                  const backends::TargetHolds &holds)
{
    switch (m.kind) {
    case ListedMember::Kind::File:
        return sameFile(m, copy);
    case ListedMember::Kind::Folder:
        return copy.kind == ListedMember::Kind::Folder;
    case ListedMember::Kind::Link:
    case ListedMember::Kind::LinkLeadingOutside:
        break;
    }
    if (holds.links)
        return isLink(copy) && copy.linkTarget == m.linkTarget;
    // Without links, a link to a file holds that file's content.
    const std::optional<std::string> linked = linkedName(m);
    const auto file = linked ? source.find(*linked) : source.end();
    return file != source.end() && sameFile(file->second, copy);
}

} // namespace

std::optional<MemberList> readMemberList(const std::string &path)
{
    const std::optional<std::string> text = platform::readFileContents(path);
    if (!text)
        return std::nullopt;
    MemberList out;
    std::string_view fields[kFieldsPerMember];
    size_t field = 0;
    for (size_t start = 0; start < text->size();) {
        const size_t end = text->find('\0', start);
        if (end == std::string::npos)
            return std::nullopt; // cut off
        fields[field++] = std::string_view(*text).substr(start, end - start);
        start = end + 1;
        if (field == kFieldsPerMember) {
            ListedMember m;
            if (!parseMember(fields, m))
                return std::nullopt;
            out.push_back(std::move(m));
            field = 0;
        }
    }
    if (field != 0)
        return std::nullopt;
    return out;
}

bool sameMembers(const MemberList &source, const MemberList &copy, const backends::TargetHolds &holds,
                 std::string &difference)
{
    Index a, b;
    if (!indexMembers(source, a, difference)) {
        difference = "in the source, " + difference;
        return false;
    }
    if (!indexMembers(copy, b, difference)) {
        difference = "in the new archive, " + difference;
        return false;
    }
    for (const auto &[name, m] : a) {
        auto other = b.find(name);
        if (other == b.end()) {
            if ((m.kind == ListedMember::Kind::Folder && !holds.folders) || (isLink(m) && !holds.links))
                continue;
            difference = "missing in the new archive: " + name;
            return false;
        }
        if (!holdsTheSame(a, m, other->second, holds)) {
            difference = "differs in the new archive: " + name;
            return false;
        }
    }
    for (const auto &[name, m] : b) {
        if (!a.count(name)) {
            difference = "extra in the new archive: " + name;
            return false;
        }
    }
    return true;
}

size_t linksLeadingOutside(const MemberList &list)
{
    size_t count = 0;
    for (const ListedMember &m : list)
        count += m.kind == ListedMember::Kind::LinkLeadingOutside;
    return count;
}

} // namespace qvo::convert
