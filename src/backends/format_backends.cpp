#include "backends/format_backends.h"

namespace qvo::backends {

FormatBackEnds registerFormatBackEnds(clsArchiveCtrl &controller)
{
    FormatBackEnds made;
    made.lha = std::make_shared<clsArchiveLHA>();
    made.zip = std::make_shared<clsArchiveZIP>();
    made.cab = std::make_shared<clsArchiveCAB>();
    made.rar = std::make_shared<clsArchiveRAR>();
    controller.addArchive(made.lha);
    controller.addArchive(made.zip);
    controller.addArchive(made.cab);
    controller.addArchive(made.rar);
    return made;
}

} // namespace qvo::backends
