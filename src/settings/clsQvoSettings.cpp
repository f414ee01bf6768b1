#include "settings/clsQvoSettings.h"

#include "backends/name_charsets.h"
#include "platform/folder_tree.h"
#include "platform/system_folders.h"
#include "settings/clsINICtrl.h"

#include <filesystem>
#include <iterator>
#include <optional>

namespace qvo::settings {
namespace {

constexpr const char *systemSection = "system";
constexpr const char *convSection = "conv";
constexpr const char *singleSection = "singlefilemode";
constexpr const char *namesSection = "names";
constexpr const char *archiveNameCharsetKey = "archiveNameEncoding";

// Integers keep their value when the file gives -1.
void readLong(const clsINICtrl &ini, const char *section, const char *key, int32_t &field)
{
    int32_t v = ini.getLong(section, key);
    if (v != -1)
        field = v;
}

// Creates the folder of `file` and its missing parents; settings folders
// are private to the user.
void createFolderOf(const std::string &file)
{
    std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty())
        return;
    std::filesystem::path built;
    std::string error;
    for (const auto &part : folder) {
        built /= part;
        if (!part.empty() && part != "/")
            platform::makeFolder(built.string(), true, error);
    }
}

} // namespace

std::string chooseIniFilePath(const std::string &programFolder, const std::string &userConfigFolder)
{
    // The system's program folders are writable for root alone, and a file
    // made there belongs to no package: root keeps its settings at home too.
    const bool systemFolder = programFolder.starts_with("/usr/") || programFolder.starts_with("/bin/") ||
                              programFolder.starts_with("/sbin/");
    if (!programFolder.empty()) {
        std::string beside = programFolder + iniFileName;
        std::error_code ec;
        if (std::filesystem::exists(beside, ec) || (!systemFolder && platform::folderIsWritable(programFolder)))
            return beside;
    }
    if (userConfigFolder.empty())
        return programFolder + iniFileName;
    return userConfigFolder + "qvo/" + iniFileName;
}

std::string chooseIniFilePath()
{
    std::string overridden = platform::environmentValue(iniFileOverrideVariable);
    if (!overridden.empty())
        return overridden;
    return chooseIniFilePath(platform::programFolder(), platform::userConfigFolder());
}

clsQvoSettings::clsQvoSettings() : iniFilePath_(chooseIniFilePath()) {}

clsQvoSettings::clsQvoSettings(std::string iniFilePath) : iniFilePath_(std::move(iniFilePath)) {}

bool clsQvoSettings::readINIFile()
{
    clsINICtrl ini;
    ini.setFile(iniFilePath_);

    readLong(ini, systemSection, "top", top);
    readLong(ini, systemSection, "left", left);
    readLong(ini, systemSection, "mode", mode);
    backGroundConvert = ini.getBool(systemSection, "backGroundConvert");
    dialogAutoClose = ini.getBool(systemSection, "dialogAutoClose");
    deleteBeforeFile = ini.getBool(systemSection, "deleteBeforeFile");

    saveFolder = ini.getString(convSection, "saveFolder");
    readLong(ini, convSection, "convType", convType);
    sameFolder = ini.getBool(convSection, "sameFolder");
    useUpperExtension = ini.getBool(convSection, "useUpperExtension");
    sameTypeConvert = ini.getBool(convSection, "sameTypeConvert");
    readLong(ini, convSection, "lhaCompressLevel", lhaCompressLevel);
    readLong(ini, convSection, "zipCompressLevel", zipCompressLevel);
    readLong(ini, convSection, "cabCompressLevel", cabCompressLevel);
    overWrite = ini.getBool(convSection, "overWrite");

    readLong(ini, singleSection, "convType", singleConvType);
    singleSameName = ini.getBool(singleSection, "sameName");
    singleBeforeFileName = ini.getString(singleSection, "beforeFileName");
    singleConvToFileName = ini.getString(singleSection, "convToFileName");
    readLong(ini, singleSection, "top", singleTop);
    readLong(ini, singleSection, "left", singleLeft);

    readArchiveNameCharset(ini);
    replaceOutOfRangeValues();
    return true;
}

// The windows index option buttons and lists with these values; one they
// cannot show would select nothing or fall outside a list.
void clsQvoSettings::replaceOutOfRangeValues()
{
    const clsQvoSettings defaults{std::string()};
    // Any non-zero mode means the multiple-file window; 1 is its one spelling.
    if (mode != 0)
        mode = defaults.mode;
    if (!backends::targetFormatAt(convType))
        convType = defaults.convType;
    if (!backends::targetFormatAt(singleConvType))
        singleConvType = defaults.singleConvType;
    for (const backends::TargetFormat &format : backends::targetFormats()) {
        int32_t &level = *compressLevel(format.index);
        if (!format.storesLevel(level))
            level = format.defaultLevel;
    }
}

int32_t *clsQvoSettings::compressLevel(int32_t index)
{
    // In format-index order.
    int32_t *const levels[] = {&lhaCompressLevel, &zipCompressLevel, &cabCompressLevel};
    static_assert(std::size(levels) == backends::targetFormats().size(), "one level setting per target format");
    return backends::targetFormatAt(index) ? levels[index] : nullptr;
}

const int32_t *clsQvoSettings::compressLevel(int32_t index) const
{
    return const_cast<clsQvoSettings *>(this)->compressLevel(index);
}

bool clsQvoSettings::WriteINIFile()
{
    createFolderOf(iniFilePath_);
    clsINICtrl ini;
    ini.setFile(iniFilePath_);

    ini.setLong(systemSection, "top", top);
    ini.setLong(systemSection, "left", left);
    ini.setLong(systemSection, "mode", mode);
    ini.setBool(systemSection, "backGroundConvert", backGroundConvert);
    ini.setBool(systemSection, "dialogAutoClose", dialogAutoClose);
    ini.setBool(systemSection, "deleteBeforeFile", deleteBeforeFile);

    ini.setString(convSection, "saveFolder", saveFolder);
    ini.setLong(convSection, "convType", convType);
    ini.setBool(convSection, "sameFolder", sameFolder);
    ini.setBool(convSection, "useUpperExtension", useUpperExtension);
    ini.setBool(convSection, "sameTypeConvert", sameTypeConvert);
    ini.setLong(convSection, "lhaCompressLevel", lhaCompressLevel);
    ini.setLong(convSection, "zipCompressLevel", zipCompressLevel);
    ini.setLong(convSection, "cabCompressLevel", cabCompressLevel);
    ini.setBool(convSection, "overWrite", overWrite);

    ini.setLong(singleSection, "convType", singleConvType);
    ini.setBool(singleSection, "sameName", singleSameName);
    ini.setString(singleSection, "beforeFileName", singleBeforeFileName);
    ini.setString(singleSection, "convToFileName", singleConvToFileName);
    ini.setLong(singleSection, "top", singleTop);
    ini.setLong(singleSection, "left", singleLeft);

    writeArchiveNameCharset(ini);
    return true;
}

// "auto", a missing key and a name we do not offer all mean: judged per
// archive.
void clsQvoSettings::readArchiveNameCharset(const clsINICtrl &ini)
{
    std::optional<std::string> named = backends::nameCharsetNamed(ini.getString(namesSection, archiveNameCharsetKey));
    archiveNameCharset = named ? *named : std::string();
}

void clsQvoSettings::writeArchiveNameCharset(clsINICtrl &ini) const
{
    ini.setString(namesSection, archiveNameCharsetKey,
                  archiveNameCharset.empty() ? backends::kNameCharsetAuto : archiveNameCharset);
}

} // namespace qvo::settings
