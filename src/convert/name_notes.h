// What the run says about the names of a new archive: the writers compose
// names to NFC and, when asked, write them in CP932 (see
// text/composed_names.h and the libraries' QVO_SWITCH_CP932_NAMES).
#pragma once
#include "convert/member_list.h"

#include <optional>
#include <string>

namespace qvo::convert {

// The note of a row whose working folder holds two names that differ only
// in composition: the writers then keep every name as it is, decomposed
// ones too.  "" when there is nothing to say.
std::string keptDecomposedNote(const std::string &folder);

// The first name in `folder` (relative, composed as the writers compose
// it) that has no exact CP932 form; "" when every name has one.
std::string firstNameWithoutCp932(const std::string &folder);

// `list` with its names and link targets composed as the writers compose
// them; nothing when two names would then be one (the writers then keep
// them as they are).
std::optional<MemberList> withComposedNames(const MemberList &list);

} // namespace qvo::convert
