#include "create/archive_writer.h"

#include <algorithm>

namespace qvo::create {

WriteResult resultBeforeWriting(const std::vector<WriterEntry> &entries, const WriterOptions &options,
                                const WriterHolds &holds)
{
    if (options.encryption && !holds.encryption)
        return WriteResult::failure(WriteStatus::NotSupported, "this format is not written encrypted");
    WriteResult r;
    auto given = [&](auto member) {
        return std::any_of(entries.begin(), entries.end(), [&](const WriterEntry &e) { return member(e); });
    };
    if (!holds.dosAttributes && given([](const WriterEntry &e) { return e.dosAttributes.has_value(); }))
        r.leftOut.push_back("DOS attributes");
    if (!holds.accessTime && given([](const WriterEntry &e) { return e.accessTime.has_value(); }))
        r.leftOut.push_back("access times");
    if (!holds.creationTime && given([](const WriterEntry &e) { return e.creationTime.has_value(); }))
        r.leftOut.push_back("creation times");
    if (!holds.comments && given([](const WriterEntry &e) { return !e.comment.empty(); }))
        r.leftOut.push_back("comments");
    if (!holds.archiveComment && !options.archiveComment.empty())
        r.leftOut.push_back("archive comment");
    return r;
}

} // namespace qvo::create
