#include "backends/archive_backend.h"

#include "archivers/include/qvo_archiver.h"
#include "backends/name_charsets.h"
#include "backends/target_formats.h"

#include <stdexcept>

namespace qvo::backends {

namespace {

std::string joined(const std::vector<std::string> &patterns)
{
    std::string text;
    for (const std::string &pattern : patterns)
        text += (text.empty() ? "" : ";") + pattern;
    return text;
}

} // namespace

std::vector<std::string> dialogFilterPatterns(const clsArchiveProperties &properties)
{
    std::vector<std::string> patterns{"*." + properties.getExtension()};
    for (const std::string &other : properties.getOtherExtensions())
        patterns.push_back("*." + other);
    return patterns;
}

std::string dialogFilterEntry(const clsArchiveProperties &properties)
{
    const std::string patterns = joined(dialogFilterPatterns(properties));
    return properties.getName() + "形式書庫ファイル (" + patterns + ")|" + patterns;
}

std::vector<std::string> DialogFilter::allPatterns() const
{
    std::vector<std::string> all;
    for (const Format &format : formats)
        all.insert(all.end(), format.patterns.begin(), format.patterns.end());
    return all;
}

std::string dialogFilterText(const DialogFilter &filter)
{
    const std::string all = joined(filter.allPatterns());
    std::string text = "対応するすべての形式書庫ファイル(" + all + ")|" + all;
    for (const DialogFilter::Format &format : filter.formats) {
        const std::string patterns = joined(format.patterns);
        text += "|" + format.name + "形式書庫ファイル (" + patterns + ")|" + patterns;
    }
    return text + "|すべてのファイル(*.*)|*.*";
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

clsArchiveBackEndBase::clsArchiveBackEndBase(std::string_view targetKey)
    : properties_(std::make_shared<clsArchiveProperties>())
{
    const TargetFormat *row = targetFormatByKey(targetKey);
    if (!row)
        throw std::logic_error("no target format " + std::string(targetKey));
    properties_->setSupportMode(SUPPORT_COMPRESS | SUPPORT_EXTRACT);
    properties_->setExtension(std::string(row->extension()));
    properties_->setName(std::string(row->key));
    properties_->setOtherExtensions({row->extensions.begin() + 1, row->extensions.end()});
}

} // namespace qvo::backends
