#include "core/globals.h"

namespace qvo::core {

std::unique_ptr<settings::clsQvoSettings> appSettings;

std::unique_ptr<backends::clsArchiveCtrl> archiveCtrl;
std::shared_ptr<backends::clsArchiveLHA> archiveLHA;
std::shared_ptr<backends::clsArchiveZIP> archiveZIP;
std::shared_ptr<backends::clsArchiveCAB> archiveCAB;
std::shared_ptr<backends::clsArchiveRAR> archiveRAR;

} // namespace qvo::core
