// The RAR markers and what the main header behind one says about volumes:
// shared by the content identification and the RAR readers.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qvo::identify {

inline constexpr std::string_view kRar4Marker{"Rar!\x1a\x07\x00", 7};
inline constexpr std::string_view kRar5Marker{"Rar!\x1a\x07\x01\x00", 8};

// Whether a RAR 1.5-4 or RAR 5 marker at `at` of `b` is followed by a main
// header (a stub may hold the marker's bytes by chance).  Bytes missing at
// the end of `b` count as a main header: a short piece is judged by its
// marker.
bool rarArchiveAt(std::string_view b, size_t at);

// Offset of the first RAR archive in `b` (behind a self-extractor's stub,
// or at 0), or npos.
size_t findRarArchive(std::string_view b);

struct RarVolumeInfo {
    bool isVolume = false;     // the archive says it is part of a set
    bool isFirstVolume = true; // false for a later volume opened alone
};

// What the main header behind the marker at the start of `b` says.
// Archivers before 3.0 do not mark the first volume of a set; then
// `fileName` tells: ".rar" starts an old-style set, ".partN.rar" counts.
RarVolumeInfo rarVolumeInfo(std::string_view b, const std::string &fileName);

} // namespace qvo::identify
