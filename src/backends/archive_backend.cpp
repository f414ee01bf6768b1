#include "backends/archive_backend.h"

#include "archivers/include/qvo_archiver.h"
#include "backends/name_charsets.h"

namespace qvo::backends {

std::string dialogFilterPatterns(const clsArchiveProperties &properties)
{
    std::string patterns = "*." + properties.getExtension();
    for (const std::string &other : properties.getOtherExtensions())
        patterns += ";*." + other;
    return patterns;
}

std::string dialogFilterEntry(const clsArchiveProperties &properties)
{
    const std::string patterns = dialogFilterPatterns(properties);
    return properties.getName() + "形式書庫ファイル (" + patterns + ")|" + patterns;
}

bool fitsCommandLine(std::string_view path)
{
    return path.find('"') == std::string_view::npos && path.find('\0') == std::string_view::npos;
}

std::string quoted(const std::string &path)
{
    return "\"" + path + "\"";
}

std::string nameCharsetSwitch(const clsArchiveActionOption &option)
{
    if (!isNameCharset(option.nameCharset()))
        return "";
    return QVO_SWITCH_NAMES "=" + option.nameCharset() + " ";
}

std::string conversionSwitches(const clsArchiveActionOption &option)
{
    std::string switches;
    if (option.isConversion())
        switches += QVO_SWITCH_CONVERSION " ";
    if (!option.memberListFile().empty())
        switches += QVO_SWITCH_MEMBER_LIST " ";
    switches += nameCharsetSwitch(option);
    return switches;
}

std::string memberListPath(const clsArchiveActionOption &option)
{
    return option.memberListFile().empty() ? "" : " " + quoted(option.memberListFile());
}

std::string resultDescription(int32_t code)
{
    return archivers::resultName(code);
}

bool failedOnNameEncoding(int32_t code)
{
    return code == archivers::kErrNameEncoding;
}

std::string nameEncodingSwitch(const clsArchiveActionOption &option)
{
    return option.cp932Names() ? QVO_SWITCH_CP932_NAMES " " : "";
}

bool extractPathsFit(const clsArchiveActionOption &option)
{
    return fitsCommandLine(option.beforeFileName()) && fitsCommandLine(option.targetPathName()) &&
           fitsCommandLine(option.memberListFile());
}

clsArchiveBackEndBase::clsArchiveBackEndBase(int32_t supportMode, const std::string &extension,
                                             const std::string &name)
    : properties_(std::make_shared<clsArchiveProperties>())
{
    properties_->setSupportMode(supportMode);
    properties_->setExtension(extension);
    properties_->setName(name);
}

} // namespace qvo::backends
