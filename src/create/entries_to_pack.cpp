#include "create/entries_to_pack.h"

#include "create/composed_source_names.h"

#include <unordered_set>

namespace qvo::create {

namespace {

WriteResult flatten(std::vector<WriterEntry> &entries)
{
    std::erase_if(entries, [](const WriterEntry &e) { return e.kind == WriterEntry::Kind::Folder; });
    std::unordered_set<std::string> names;
    for (WriterEntry &e : entries) {
        if (!names.insert(e.name).second)
            return WriteResult::failure(WriteStatus::NameClash, "two entries named " + e.name);
        std::string error;
        if (e.kind == WriterEntry::Kind::Link && e.linkTargetIsFile && !toLinkedFile(e, error))
            return WriteResult::failure(WriteStatus::ReadError, error);
    }
    return {};
}

} // namespace

WriteResult entriesToPack(const std::filesystem::path &root, const SourceWalkOptions &options,
                          std::vector<WriterEntry> &out)
{
    std::string error;
    if (!collectSourceTree(root, options, out, error))
        return WriteResult::failure(WriteStatus::NoFiles, error);
    composeSourceNames(out);
    return options.keepPaths ? WriteResult{} : flatten(out);
}

} // namespace qvo::create
