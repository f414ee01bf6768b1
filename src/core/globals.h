// The process-wide objects.  Each exists once, from createGlobalObjects to
// releaseGlobalObjects; nothing else creates them.
#pragma once
#include "settings/clsQvoSettings.h"

#include <memory>

namespace qvo::core {

extern std::unique_ptr<settings::clsQvoSettings> appSettings;

// --- archive globals -------------------------------------------------------
// The archive controller and the four back-ends join here:
//   extern std::unique_ptr<clsArchiveCtrl> archiveCtrl;
//   extern std::shared_ptr<clsArchiveLHA> archiveLHA;  (ZIP, CAB, RAR alike)
// The back-ends are shared: the controller's registry holds them as well.
// ---------------------------------------------------------------------------

} // namespace qvo::core
