// RAR archives (.rar): extracted by unrar32, never created.
#pragma once
#include "backends/archive_backend.h"
#include "backends/archiver_library.h"

namespace qvo::backends {

class clsArchiveRAR : public clsArchiveBackEndBase {
public:
    // Probes unrar32; the format is valid unless the library file is missing.
    clsArchiveRAR();

    int32_t getLibVersion() override;
    std::string getLibVersionString() override;
    // RAR cannot be a target: always kRequestRefused, nothing touched.
    int32_t compress(clsArchiveActionOption &option) override;
    int32_t extract(clsArchiveActionOption &option) override;

    static std::string extractCommand(const clsArchiveActionOption &option);

private:
    ArchiverLibrary unrar_{qvo_unrar32};
};

} // namespace qvo::backends
