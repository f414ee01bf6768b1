// ZIP archives (.zip): created by Zip32J, extracted by 7-zip32 when that
// library answered at start, otherwise by unzip32.
#pragma once
#include "backends/archive_backend.h"
#include "backends/archiver_library.h"

namespace qvo::backends {

class clsArchiveZIP : public clsArchiveBackEndBase {
public:
    // Probes all three libraries; the format is valid when any answered.
    clsArchiveZIP();

    // 0 when at least one library reported a non-zero version, else -3.
    int32_t getLibVersion() override;
    // The three versions from the last probe, one line each (CR LF between).
    std::string getLibVersionString() override;
    // Runs Zip32J inside the working folder; throws WorkingFolderError when
    // that folder cannot be entered (the library is not called then).
    int32_t compress(clsArchiveActionOption &option) override;
    int32_t extract(clsArchiveActionOption &option) override;

    bool useSevenZip() const { return useSevenZip_; }

    static std::string compressCommand(const clsArchiveActionOption &option);
    static std::string unzipExtractCommand(const clsArchiveActionOption &option);
    static std::string sevenZipExtractCommand(const clsArchiveActionOption &option);

private:
    int32_t extractBySevenZip(clsArchiveActionOption &option);

    ArchiverLibrary unzip_{qvo_unzip32};
    ArchiverLibrary zip_{qvo_zip32j};
    ArchiverLibrary sevenZip_{qvo_sevenzip32};
    int32_t unzipVersion_ = 0;
    int32_t zipVersion_ = 0;
    int32_t sevenZipVersion_ = 0;
    bool useSevenZip_ = false;
};

} // namespace qvo::backends
