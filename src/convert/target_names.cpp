#include "convert/target_names.h"

#include "base/ascii.h"
#include "platform/path_helpers.h"

namespace qvo::convert {

TargetFormat targetFormat(const settings::clsQvoSettings &settings, int32_t index)
{
    switch (index) {
    case 0:
        return {"LHA", "lzh", settings.lhaCompressLevel};
    case 1:
        return {"ZIP", "zip", settings.zipCompressLevel};
    case 2:
        return {"CAB", "cab", settings.cabCompressLevel};
    default:
        return {};
    }
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
    TargetFormat format = targetFormat(settings, settings.convType);
    if (settings.useUpperExtension)
        format.extension = base::asciiUpper(format.extension);
    return (settings.sameFolder ? folder : platform::appendBackslash(settings.saveFolder)) +
           multipleTargetFileName(fileName, format.extension);
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
    TargetFormat format = targetFormat(settings, settings.singleConvType);
    if (settings.useUpperExtension)
        format.extension = base::asciiUpper(format.extension);
    return singleFileTargetName(settings.singleBeforeFileName, settings.singleSameName,
                                settings.singleConvToFileName, format.extension);
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
    if (fileName.size() <= 4)
        return {};
    std::string name = fileName.substr(0, fileName.size() - 4);
    // Cutting bytes may split a UTF-8 character (a name like "写真.gz");
    // drop the broken tail rather than make an undecodable folder name.
    size_t end = name.size();
    size_t start = end;
    while (start > 0 && (static_cast<unsigned char>(name[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start > 0) {
        const unsigned char lead = static_cast<unsigned char>(name[start - 1]);
        const size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (lead >= 0x80 && end - (start - 1) < want)
            name.resize(start - 1);
    }
    if (name == "." || name == "..")
        return {};
    return name;
}

} // namespace qvo::convert
