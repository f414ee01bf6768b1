#include "convert/target_names.h"

#include "base/ascii.h"
#include "platform/path_helpers.h"

namespace qvo::convert {

ChosenTarget chosenTarget(const settings::clsQvoSettings &settings, int32_t index)
{
    const backends::TargetFormat *format = backends::targetFormatAt(index);
    if (!format)
        return {};
    std::string extension(format->extension());
    if (settings.useUpperExtension)
        extension = base::asciiUpper(extension);
    return {format, std::string(format->key), extension, *settings.compressLevel(index)};
}

std::string multipleTargetFileName(const std::string &fileName, const std::string &extension)
{
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return fileName + "." + extension;
    return fileName.substr(0, dot + 1) + extension;
}

std::string multipleRunTarget(const settings::clsQvoSettings &settings, const std::string &fileName,
                              const std::string &folder)
{
    return (settings.sameFolder ? folder : platform::appendBackslash(settings.saveFolder)) +
           multipleTargetFileName(fileName, chosenTarget(settings, settings.convType).extension);
}

std::string singleFileTargetName(const std::string &source, bool sameName,
                                 const std::string &convToName, const std::string &extension)
{
    if (sameName)
        return folderPart(source) + multipleTargetFileName(fileNamePart(source), extension);
    const size_t dot = convToName.rfind('.');
    // Characters (not bytes) after the last ".", or in the whole name when
    // there is none.
    size_t tail = 0;
    for (size_t k = dot == std::string::npos ? 0 : dot + 1; k < convToName.size(); ++k)
        if ((static_cast<unsigned char>(convToName[k]) & 0xC0) != 0x80)
            ++tail;
    if (tail >= 3)
        return convToName;
    return multipleTargetFileName(convToName, extension);
}

std::string singleRunTarget(const settings::clsQvoSettings &settings)
{
    return singleFileTargetName(settings.singleBeforeFileName, settings.singleSameName,
                                settings.singleConvToFileName, chosenTarget(settings, settings.singleConvType).extension);
}

std::string fileNamePart(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderPart(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string workingBaseName(const std::string &fileName)
{
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::string singleWorkingName(const std::string &fileName)
{
    const std::string name = workingBaseName(fileName);
    if (name.empty() || name == "." || name == "..")
        return {};
    return name;
}

} // namespace qvo::convert
