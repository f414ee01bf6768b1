#include "backends/archive_lha.h"

namespace qvo::backends {

clsArchiveLHA::clsArchiveLHA() : clsArchiveBackEndBase("LHA")
{
    properties_->setContentKind(identify::ArchiveKind::Lha);
    setValidFromProbe(getLibVersion());
}

int32_t clsArchiveLHA::getLibVersion()
{
    return probeLibraryVersion(unlha_);
}

std::string clsArchiveLHA::getLibVersionString()
{
    if (!properties_->getValid())
        return {};
    return "Unlha32.dll : " + std::to_string(getLibVersion());
}

// a[ -x1][ -n] -r2 -jm<level> [--cp932-names ]"archive" "folder/"
std::string clsArchiveLHA::compressCommand(const clsArchiveActionOption &option)
{
    std::string cmd = option.isSavePath() ? "a -x1" : "a";
    if (!option.isShowDialog())
        cmd += " -n";
    cmd += " -r2 -jm" + std::to_string(option.compressLevel());
    cmd += " " + nameEncodingSwitch(option) + quoted(option.afterFileName());
    cmd += " " + quoted(option.targetPathName());
    return cmd;
}

// x|e [ -n ][-jyo ][--conversion ][--member-list ]"archive" "folder/"[ "list"]  (x and -n: two spaces between)
std::string clsArchiveLHA::extractCommand(const clsArchiveActionOption &option)
{
    std::string cmd = option.isRestorePath() ? "x " : "e ";
    if (!option.isShowDialog())
        cmd += " -n ";
    if (option.isOverWrite())
        cmd += "-jyo ";
    cmd += conversionSwitches(option);
    cmd += quoted(option.beforeFileName()) + " " + quoted(option.targetPathName()) + memberListPath(option);
    return cmd;
}

int32_t clsArchiveLHA::compress(clsArchiveActionOption &option)
{
    if (!fitsCommandLine(option.afterFileName()) || !fitsCommandLine(option.targetPathName()))
        return kRequestRefused;
    return unlha_.command(compressCommand(option));
}

int32_t clsArchiveLHA::extract(clsArchiveActionOption &option)
{
    if (!extractPathsFit(option))
        return kRequestRefused;
    return unlha_.command(extractCommand(option));
}

} // namespace qvo::backends
