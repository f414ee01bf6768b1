// The process-wide objects.  Each exists once, from createGlobalObjects to
// releaseGlobalObjects; nothing else creates them.
#pragma once
#include "backends/archive_cab.h"
#include "backends/archive_ctrl.h"
#include "backends/archive_lha.h"
#include "backends/archive_rar.h"
#include "backends/archive_zip.h"
#include "settings/clsQvoSettings.h"

#include <memory>

namespace qvo::core {

extern std::unique_ptr<settings::clsQvoSettings> appSettings;

// The archive controller and the four back-ends.  The back-ends are shared:
// the controller's registry holds them as well.
extern std::unique_ptr<backends::clsArchiveCtrl> archiveCtrl;
extern std::shared_ptr<backends::clsArchiveLHA> archiveLHA;
extern std::shared_ptr<backends::clsArchiveZIP> archiveZIP;
extern std::shared_ptr<backends::clsArchiveCAB> archiveCAB;
extern std::shared_ptr<backends::clsArchiveRAR> archiveRAR;

} // namespace qvo::core
