#include "create/composed_source_names.h"

#include "text/composed_names.h"

namespace qvo::create {

bool composeSourceNames(std::vector<WriterEntry> &entries)
{
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const WriterEntry &e : entries)
        names.push_back(e.name);
    std::optional<std::vector<std::string>> composed = text::composedNames(names);
    if (!composed)
        return false;
    for (size_t i = 0; i < entries.size(); ++i) {
        WriterEntry &e = entries[i];
        e.name = std::move((*composed)[i]);
        // A link names its target as the target's entry is named.
        if (e.kind == WriterEntry::Kind::Link)
            e.linkTarget = text::composedName(e.linkTarget);
    }
    return true;
}

} // namespace qvo::create
