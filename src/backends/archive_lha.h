// LHA archives (.lzh), created and extracted by unlha32.
#pragma once
#include "backends/archive_backend.h"
#include "backends/archiver_library.h"

namespace qvo::backends {

class clsArchiveLHA : public clsArchiveBackEndBase {
public:
    // Probes unlha32; the format is valid unless the library file is missing.
    clsArchiveLHA();

    int32_t getLibVersion() override;
    std::string getLibVersionString() override;
    int32_t compress(clsArchiveActionOption &option) override;
    int32_t extract(clsArchiveActionOption &option) override;

    static std::string compressCommand(const clsArchiveActionOption &option);
    static std::string extractCommand(const clsArchiveActionOption &option);

private:
    ArchiverLibrary unlha_{qvo_unlha32};
};

} // namespace qvo::backends
