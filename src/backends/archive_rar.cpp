#include "backends/archive_rar.h"

namespace qvo::backends {

clsArchiveRAR::clsArchiveRAR() : clsArchiveBackEndBase(SUPPORT_EXTRACT, "rar", "RAR")
{
    properties_->setContentKind(identify::ArchiveKind::Rar);
    setValidFromProbe(getLibVersion());
}

int32_t clsArchiveRAR::getLibVersion()
{
    return probeLibraryVersion(unrar_);
}

std::string clsArchiveRAR::getLibVersionString()
{
    if (!properties_->getValid())
        return {};
    return "Unrar32.dll : " + std::to_string(getLibVersion());
}

int32_t clsArchiveRAR::compress(clsArchiveActionOption &)
{
    return kRequestRefused;
}

// -x|-e [-q ][-o ][--conversion ][--member-list ]"archive" "folder//"[ "list"]
// unrar32 gets the destination with a separator appended whether or not it
// already ends in one.
std::string clsArchiveRAR::extractCommand(const clsArchiveActionOption &option)
{
    std::string cmd = option.isRestorePath() ? "-x " : "-e ";
    if (!option.isShowDialog())
        cmd += "-q ";
    if (option.isOverWrite())
        cmd += "-o ";
    cmd += conversionSwitches(option);
    cmd += quoted(option.beforeFileName()) + " " + quoted(option.targetPathName() + "/") + memberListPath(option);
    return cmd;
}

int32_t clsArchiveRAR::extract(clsArchiveActionOption &option)
{
    if (!extractPathsFit(option))
        return kRequestRefused;
    return unrar_.command(extractCommand(option));
}

} // namespace qvo::backends
