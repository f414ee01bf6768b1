#include "core/globals.h"

namespace qvo::core {

std::unique_ptr<settings::clsQvoSettings> appSettings;

std::unique_ptr<archive::clsArchiveCtrl> archiveCtrl;
std::shared_ptr<archive::clsArchiveLHA> archiveLHA;
std::shared_ptr<archive::clsArchiveZIP> archiveZIP;
std::shared_ptr<archive::clsArchiveCAB> archiveCAB;
std::shared_ptr<archive::clsArchiveRAR> archiveRAR;

} // namespace qvo::core
