#include "convert/name_notes.h"

#include "text/composed_names.h"
#include "text/cp932.h"

#include <filesystem>
#include <vector>

namespace qvo::convert {
namespace {

namespace fs = std::filesystem;

// Every path below `folder`, relative and '/'-separated; links are not
// followed.  An unreadable folder gives what could be read.
std::vector<std::string> namesBelow(const std::string &folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec))
        names.push_back(it->path().lexically_relative(folder).generic_string());
    return names;
}

} // namespace

std::string keptDecomposedNote(const std::string &folder)
{
    text::NameClash clash;
    if (text::composedNames(namesBelow(folder), &clash))
        return {};
    return "names kept as they are, decomposed ones too: \"" + clash.first + "\" and \"" + clash.second +
           "\" differ only in composition";
}

std::string firstNameWithoutCp932(const std::string &folder)
{
    for (const std::string &name : namesBelow(folder)) {
        const std::string composed = text::composedName(name);
        if (!text::nameInCp932(composed))
            return composed;
    }
    return {};
}

std::optional<MemberList> withComposedNames(const MemberList &list)
{
    std::vector<std::string> names;
    names.reserve(list.size());
    for (const ListedMember &m : list)
        names.push_back(m.name);
    std::optional<std::vector<std::string>> composed = text::composedNames(names);
    if (!composed)
        return std::nullopt;
    MemberList out = list;
    for (size_t i = 0; i < out.size(); ++i) {
        out[i].name = std::move((*composed)[i]);
        out[i].linkTarget = text::composedName(out[i].linkTarget);
    }
    return out;
}

} // namespace qvo::convert
