// Names the run derives: target format, target file names, working folders.
#pragma once
#include "backends/target_formats.h"
#include "settings/clsQvoSettings.h"

#include <cstdint>
#include <string>

namespace qvo::convert {

// The target format a format index chooses, with the level the settings
// hold for it.  An index that names no format gives no row, an empty key
// and extension and level 0, which the controller refuses to compress.
struct ChosenTarget {
    const backends::TargetFormat *format = nullptr;
    std::string key;       // the row's key: "LHA"
    std::string extension; // the row's first extension; upper case when asked
    int32_t compressLevel = 0;
};
ChosenTarget chosenTarget(const settings::clsQvoSettings &settings, int32_t index);

// The source file name with everything from its last "." replaced by
// "." + extension: photos.lzh -> photos.zip.  A name without "." gets the
// extension appended.
std::string multipleTargetFileName(const std::string &fileName, const std::string &extension);

// The target of a multiple-file row: in the save folder, or beside the
// source (`folder`, ending with "/") when the settings say sameFolder, with
// the target format's extension (upper case when the settings ask for it).
std::string multipleRunTarget(const settings::clsQvoSettings &settings, const std::string &fileName,
                              const std::string &folder);

// The single-file target: with `sameName`, the source with the extension of
// its file name replaced (a "." in a folder name, as in /data/v1.2/old, is
// no extension: the target stays beside the source); otherwise `convToName`
// as written when its last "." is followed by three or more characters (or
// it has no "." and is that long), else with the part after its last "."
// replaced by the extension: /out/new.lz -> /out/new.lzh, /out/new.dat
// unchanged.
std::string singleFileTargetName(const std::string &source, bool sameName,
                                 const std::string &convToName, const std::string &extension);

// The file a single-file run writes, from the settings it reads: the same
// name the run derives (upper-case extension when the settings ask for it),
// so that the question whether to overwrite is asked about that file.
std::string singleRunTarget(const settings::clsQvoSettings &settings);

// The file name alone: the part after the last "/".
std::string fileNamePart(const std::string &path);
// The folder with its trailing "/": up to and including the last "/".
std::string folderPart(const std::string &path);

// Base of a multiple-file working folder: the file name without its last
// "." and what follows.
std::string workingBaseName(const std::string &fileName);
// Single-file working folder name: the file name without its extension,
// whatever its length (game.exe -> game, a.x -> a); "" when nothing usable
// is left.
std::string singleWorkingName(const std::string &fileName);

} // namespace qvo::convert
