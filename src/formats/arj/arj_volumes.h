// The volumes of a multi-volume ARJ set, found beside the first one by the
// names ARJ gives them.
//
// ARJ keeps the first letter of the first volume's extension and numbers
// the rest: "x.arj", "x.a01" ... "x.a99", "x.100" ... "x.999" ("x.zzz",
// "x.z01"; a self-extractor "x" or "x.exe", "x.e01"); a set started as
// "x.001" counts on as "x.002".  With ARJ's alternative naming (-ve) the
// number replaces the stem's last three characters instead: "archive.arj",
// "arch001.arj", "arch002.arj".  Only the main header tells whether a
// volume follows; the names tell where.
#pragma once
#include "base/unique_fd.h"
#include "formats/arj/arj_header.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace qvo::formats::arj {

// One volume opened for reading, with its main header.
struct ArjVolume {
    base::UniqueFd fd;
    uint64_t size = 0;
    ArjHeader main;
    uint64_t firstHeader = 0; // where the first member's header starts
};

// Opens `path` and finds its main header: at the start, or behind a
// self-extractor's program.  kOk, kErrOpenArchive (no such file, or no
// ARJ archive in it) or kErrCorrupt (a main header cut short).
int32_t openArjVolume(const std::filesystem::path &path, ArjVolume &out);

// Whether the volume's main header says another volume follows.
bool arjVolumeHasNext(const ArjVolume &volume);

enum class ArjVolumeNaming { Extension, Stem };

// The name of the volume after `volume` under `naming` (empty past the
// last number ARJ gives).
std::filesystem::path nextArjVolumeName(const std::filesystem::path &volume, ArjVolumeNaming naming);

// The volume after `volume` that exists beside it, by the naming already
// found for the set (`naming`), else by either one, the usual one first,
// and then `naming` tells which matched.  Names differing only in letter
// case count (sets copied from DOS).  Empty when none exists.
std::filesystem::path findNextArjVolume(const std::filesystem::path &volume,
                                        std::optional<ArjVolumeNaming> &naming);

struct ArjVolumeSet {
    std::vector<std::filesystem::path> parts; // `first` and the volumes found after it, in order
    bool complete = true;                     // false: a volume that should follow is missing
};

// Every volume of the set that `first` starts, as far as main headers say
// more follow and the next volume is found.  An archive of one volume
// gives just `first`; an unreadable one an empty list.
ArjVolumeSet findArjVolumes(const std::filesystem::path &first);

// The first volume of the set that `part` is a later volume of: a file
// beside it whose set leads to `part`.  Empty when `part` is no later
// volume or its first volume is not there.
std::filesystem::path firstArjVolume(const std::filesystem::path &part);

} // namespace qvo::formats::arj
