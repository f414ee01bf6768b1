#include "backends/archive_cab.h"

#include "backends/current_directory.h"

namespace qvo::backends {

clsArchiveCAB::clsArchiveCAB() : clsArchiveBackEndBase("CAB")
{
    properties_->setContentKind(identify::ArchiveKind::Cab);
    setValidFromProbe(getLibVersion());
}

int32_t clsArchiveCAB::getLibVersion()
{
    return probeLibraryVersion(cab_);
}

std::string clsArchiveCAB::getLibVersionString()
{
    if (!properties_->getValid())
        return {};
    return "cab32.dll : " + std::to_string(getLibVersion());
}

// -a[ -r][ -i] -ml:<15+level>|-mz|-ms [--cp932-names ]"archive" *.*   (run inside the working folder)
std::string clsArchiveCAB::compressCommand(const clsArchiveActionOption &option)
{
    std::string cmd = option.isSavePath() ? "-a -r" : "-a";
    if (!option.isShowDialog())
        cmd += " -i";
    const int32_t level = option.compressLevel();
    if (level < 10)
        cmd += " -ml:" + std::to_string(int64_t(level) + 15);
    else if (level < 20)
        cmd += " -mz";
    else
        cmd += " -ms";
    cmd += " " + nameEncodingSwitch(option) + quoted(option.afterFileName()) + " *.*";
    return cmd;
}

// -x [-j ][ -i ][-o ][--conversion ][--member-list ]"archive" "folder/"[ "list"]  (-x and -i: two spaces between)
std::string clsArchiveCAB::extractCommand(const clsArchiveActionOption &option)
{
    std::string cmd = option.isRestorePath() ? "-x " : "-x -j ";
    if (!option.isShowDialog())
        cmd += " -i ";
    if (option.isOverWrite())
        cmd += "-o ";
    cmd += conversionSwitches(option);
    cmd += quoted(option.beforeFileName()) + " " + quoted(option.targetPathName()) + memberListPath(option);
    return cmd;
}

int32_t clsArchiveCAB::compress(clsArchiveActionOption &option)
{
    if (!fitsCommandLine(option.afterFileName()))
        return kRequestRefused;
    const std::string cmd = compressCommand(option);
    CurrentDirectoryScope inWorkingFolder(workingFolderOf(option.targetPathName()));
    const int32_t result = cab_.command(cmd);
    inWorkingFolder.restore();
    return result;
}

int32_t clsArchiveCAB::extract(clsArchiveActionOption &option)
{
    if (!extractPathsFit(option))
        return kRequestRefused;
    return cab_.command(extractCommand(option));
}

} // namespace qvo::backends
