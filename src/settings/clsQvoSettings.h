// Every user setting of the program, kept in memory and stored in qvo3.ini.
//
// A plain record: windows, the settings dialog and the conversion run read and
// write the fields directly.  Only readINIFile (at start) and WriteINIFile (at
// the end and when the settings dialog is confirmed) touch the file.
#pragma once
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
    int32_t convType = 0; // target format: 0 LHA, 1 ZIP, 2 CAB
    bool sameFolder = false;
    bool backGroundConvert = false;
    bool dialogAutoClose = false;
    bool deleteBeforeFile = false;
    bool overWrite = false;
    bool useUpperExtension = false;
    bool sameTypeConvert = false;
    int32_t lhaCompressLevel = 2;  // 0 lh0, 1 lh1, 2 lh5, 3 lh6, 4 lh7
    int32_t zipCompressLevel = 6;  // 0..9
    int32_t cabCompressLevel = 10; // 10 * kind (0 LZX, 1 MSZIP, 2 none) + LZX window - 15
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

// True for a cabCompressLevel the settings dialog can show: kind 0..2 and
// LZX window position 0..6.
bool isValidCabCompressLevel(int32_t level);

} // namespace qvo::settings
