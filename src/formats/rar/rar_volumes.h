// Finding the volumes of a multi-volume RAR set beside its first volume.
#pragma once
#include "identify/rar_main_header.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qvo::formats::rar {

using identify::RarVolumeInfo;

// Reads the main header flags of a RAR 1.5-4 or RAR 5 archive at `path`.
RarVolumeInfo readRarVolumeInfo(const std::filesystem::path &path);

// Whether the volume at `path` says another volume follows it (its end of
// archive block carries the "next volume" flag).  True when it cannot tell.
bool rarVolumeHasNext(const std::filesystem::path &path);

// The files of the set that `first` starts, in order, as far as they exist:
// "name.partN.rar" (any digit count) or the old "name.rar", "name.r00",
// "name.r01"...  Always starts with `first`.
std::vector<std::string> findRarVolumes(const std::filesystem::path &first);

// Where a RAR archive starts behind a self-extractor's stub; 0 when it
// starts the file or is not found.  libarchive finds it only behind the
// program headers it knows, not behind other stubs (or zeros).
uint64_t rarSelfExtractorStart(const std::filesystem::path &path);

} // namespace qvo::formats::rar
