// The names of a create command's entries composed to NFC before they are
// written (see text/composed_names.h for why).
#pragma once
#include "create/archive_writer.h"

#include <vector>

namespace qvo::create {

// Composes the names and link targets of `entries`.  When two different
// names would compose to one, nothing changes and false is returned: the
// archive keeps its names as they are.
bool composeSourceNames(std::vector<WriterEntry> &entries);

} // namespace qvo::create
