// Every user setting of the program, kept in memory and stored in qvo3.ini.
//
// A plain record: windows, the settings dialog and the conversion run read and
// write the fields directly.  Only readINIFile (at start) and WriteINIFile (at
// the end and when the settings dialog is confirmed) touch the file.
#pragma once
#include "backends/target_formats.h"

#include <cstdint>
#include <string>

namespace qvo::settings {

// Environment variable naming the settings file to use instead of the usual
// one (tests, portable set-ups).
inline constexpr const char *iniFileOverrideVariable = "QVO_INI_FILE";
inline constexpr const char *iniFileName = "qvo3.ini";

class clsINICtrl;

class clsQvoSettings {
public:
    // Defaults, and the settings file chosen by chooseIniFilePath.
    clsQvoSettings();
    // Defaults, with an explicit settings file.
    explicit clsQvoSettings(std::string iniFilePath);

    // Loads the stored settings.  An integer key that reads -1 (no file, a
    // stored -1, or text that is no integer) keeps the current value; a
    // missing key in an existing file gives 0, false or "".  Integers outside
    // the ranges the windows can show are replaced by their defaults.
    bool readINIFile();
    // Saves all stored settings, creating the file's folder when needed.
    // Failures are not reported.
    bool WriteINIFile();

    const std::string &iniFilePath() const { return iniFilePath_; }

    // The stored settings; the INI section of each is in readINIFile.
    // Window positions are in twips (1/1440 inch).
    int32_t top = 0; // multiple-file window
    int32_t left = 0;
    int32_t mode = 1; // 1 multiple-file window, 0 single-file window
    std::string saveFolder;
    int32_t convType = 0; // target format: its index in backends::targetFormats()
    bool sameFolder = false;
    bool backGroundConvert = false;
    bool dialogAutoClose = false;
    bool deleteBeforeFile = false;
    bool overWrite = false;
    bool useUpperExtension = false;
    bool sameTypeConvert = false;
    // The level of each target format, as its row of the target table
    // names them (and defaults them): compressLevel gives them by index.
    int32_t lhaCompressLevel = backends::targetFormats()[0].defaultLevel;
    int32_t zipCompressLevel = backends::targetFormats()[1].defaultLevel;
    int32_t cabCompressLevel = backends::targetFormats()[2].defaultLevel;
    std::string singleBeforeFileName;
    std::string singleConvToFileName;
    int32_t singleConvType = 0;
    bool singleSameName = false;
    int32_t singleTop = 0;
    int32_t singleLeft = 0;
    // The encoding of member names that archives do not mark, as listed in
    // backends/name_charsets.h; empty to judge it per archive.  Stored
    // after the keys above, in a section of its own.
    std::string archiveNameCharset;

    // The level setting of the target format `index` (lhaCompressLevel
    // for LHA's); null for an index that names no format.
    int32_t *compressLevel(int32_t index);
    const int32_t *compressLevel(int32_t index) const;

    // Working folder of the conversion in progress; never stored.
    std::string tempFolderName;
    // Names of every new archive in CP932 (qvo-convert --name-encoding
    // cp932, for old Japanese tools); never stored.
    bool cp932Names = false;

private:
    void replaceOutOfRangeValues();
    void readArchiveNameCharset(const clsINICtrl &ini);
    void writeArchiveNameCharset(clsINICtrl &ini) const;

    std::string iniFilePath_;
};

// Where qvo3.ini lives: the file named by QVO_INI_FILE when set; else the
// program's folder when qvo3.ini already exists there or the folder is
// writable and no system folder such as /usr/bin/ (portable use); else
// qvo/qvo3.ini in the user's settings folder ($XDG_CONFIG_HOME, default
// ~/.config).  An installed program's folder is
// not writable, so settings kept there would be lost silently.
std::string chooseIniFilePath();
std::string chooseIniFilePath(const std::string &programFolder, const std::string &userConfigFolder);

} // namespace qvo::settings
