// The format back-ends, made and registered in one place for the windows
// and qvo-convert alike.
#pragma once
#include "backends/archive_cab.h"
#include "backends/archive_ctrl.h"
#include "backends/archive_lha.h"
#include "backends/archive_rar.h"
#include "backends/archive_zip.h"

#include <memory>

namespace qvo::backends {

struct FormatBackEnds {
    std::shared_ptr<clsArchiveLHA> lha;
    std::shared_ptr<clsArchiveZIP> zip;
    std::shared_ptr<clsArchiveCAB> cab;
    std::shared_ptr<clsArchiveRAR> rar;
};

// Makes the back-ends, each probing its library as it is made, and
// registers them with `controller` in the order they are made: the target
// formats in the order of the target table, then RAR, which is only read.
// That order is the one in which the controller identifies files and
// lists the dialogs' filter entries.  Returns them for callers that keep
// their own handles.
FormatBackEnds registerFormatBackEnds(clsArchiveCtrl &controller);

} // namespace qvo::backends
