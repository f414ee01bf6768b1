// Cabinet archives (.cab), created and extracted by cab32.
#pragma once
#include "backends/archive_backend.h"
#include "backends/archiver_library.h"

namespace qvo::backends {

class clsArchiveCAB : public clsArchiveBackEndBase {
public:
    // Probes cab32; the format is valid unless the library file is missing.
    clsArchiveCAB();

    int32_t getLibVersion() override;
    std::string getLibVersionString() override;
    // Runs cab32 inside the working folder; throws WorkingFolderError when
    // that folder cannot be entered (the library is not called then).
    int32_t compress(clsArchiveActionOption &option) override;
    int32_t extract(clsArchiveActionOption &option) override;

    // The compression level is 10 * method + LZX window index: below 10 is
    // LZX with window 15 + level, 10 to 19 MSZIP, 20 and up no compression.
    static std::string compressCommand(const clsArchiveActionOption &option);
    static std::string extractCommand(const clsArchiveActionOption &option);

private:
    ArchiverLibrary cab_{qvo_cab32};
};

} // namespace qvo::backends
