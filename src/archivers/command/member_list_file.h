// The list of the members an extraction handed over, written in the form
// QVO_SWITCH_MEMBER_LIST gives it (archivers/include/qvo_archiver.h).
#pragma once
#include "extract/extract_sink.h"

#include <filesystem>
#include <vector>

namespace qvo::archivers::command {

// Writes `members` to `path` (created or replaced); false when it cannot.
bool writeMemberList(const std::filesystem::path &path, const std::vector<extract::ListedMember> &members);

} // namespace qvo::archivers::command
