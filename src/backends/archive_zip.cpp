#include "backends/archive_zip.h"

#include "backends/archive_errors.h"
#include "backends/current_directory.h"

namespace qvo::backends {

namespace {

// A library that cannot be reached leaves the stored version as it was.
void probeInto(ArchiverLibrary &library, int32_t &version)
{
    try {
        version = library.getVersion();
    } catch (const ArchiverUnavailable &) {
    }
}

} // namespace

clsArchiveZIP::clsArchiveZIP() : clsArchiveBackEndBase("ZIP")
{
    properties_->setContentKind(identify::ArchiveKind::Zip);
    setValidFromProbe(getLibVersion());
}

int32_t clsArchiveZIP::getLibVersion()
{
    sevenZipVersion_ = 0;
    probeInto(sevenZip_, sevenZipVersion_);
    if (sevenZipVersion_ != 0)
        useSevenZip_ = true;
    probeInto(unzip_, unzipVersion_);
    probeInto(zip_, zipVersion_);
    // Summed wide so that odd version numbers cannot overflow.
    const int64_t sum = int64_t(sevenZipVersion_) + unzipVersion_ + zipVersion_;
    return sum == 0 ? kLibraryNotFound : 0;
}

std::string clsArchiveZIP::getLibVersionString()
{
    if (!properties_->getValid())
        return {};
    return "Unzip32.dll : " + std::to_string(unzipVersion_) + "\r\n" +
           "Zip32.dll : " + std::to_string(zipVersion_) + "\r\n" +
           "7Zip.dll : " + std::to_string(sevenZipVersion_);
}

// -r|-j[ -q] -<level> [--cp932-names ]"archive" *.*   (run inside the working folder)
std::string clsArchiveZIP::compressCommand(const clsArchiveActionOption &option)
{
    std::string cmd = option.isSavePath() ? "-r" : "-j";
    if (!option.isShowDialog())
        cmd += " -q";
    cmd += " -" + std::to_string(option.compressLevel());
    cmd += " " + nameEncodingSwitch(option) + quoted(option.afterFileName()) + " *.*";
    return cmd;
}

// -x [-j ][-q ][-o ][--conversion ][--member-list ]"archive" "folder/"[ "list"]
std::string clsArchiveZIP::unzipExtractCommand(const clsArchiveActionOption &option)
{
    std::string cmd = option.isRestorePath() ? "-x " : "-x -j ";
    if (!option.isShowDialog())
        cmd += "-q ";
    if (option.isOverWrite())
        cmd += "-o ";
    cmd += conversionSwitches(option);
    cmd += quoted(option.beforeFileName()) + " " + quoted(option.targetPathName()) + memberListPath(option);
    return cmd;
}

// x|e [-hide ][-aoa ][--conversion ][--member-list ]"archive" "folder/"[ "list"]
std::string clsArchiveZIP::sevenZipExtractCommand(const clsArchiveActionOption &option)
{
    std::string cmd = option.isRestorePath() ? "x " : "e ";
    if (!option.isShowDialog())
        cmd += "-hide ";
    if (option.isOverWrite())
        cmd += "-aoa ";
    cmd += conversionSwitches(option);
    cmd += quoted(option.beforeFileName()) + " " + quoted(option.targetPathName()) + memberListPath(option);
    return cmd;
}

int32_t clsArchiveZIP::compress(clsArchiveActionOption &option)
{
    if (!fitsCommandLine(option.afterFileName()))
        return kRequestRefused;
    const std::string cmd = compressCommand(option);
    CurrentDirectoryScope inWorkingFolder(workingFolderOf(option.targetPathName()));
    const int32_t result = zip_.command(cmd);
    inWorkingFolder.restore();
    return result;
}

int32_t clsArchiveZIP::extract(clsArchiveActionOption &option)
{
    if (!extractPathsFit(option))
        return kRequestRefused;
    if (useSevenZip_)
        return extractBySevenZip(option);
    return unzip_.command(unzipExtractCommand(option));
}

int32_t clsArchiveZIP::extractBySevenZip(clsArchiveActionOption &option)
{
    return sevenZip_.command(sevenZipExtractCommand(option));
}

} // namespace qvo::backends
