// The formats Qvo writes, one row each: the writing counterpart of the
// reader table (formats/readers.cpp).
//
// The rows are in the order of the format index, the number the settings
// store as convType and singleConvType and the windows' format buttons
// use (the settings dialog's page of a format is its index + 1).  All
// that differs between target formats is read from here: the windows'
// buttons, qvo-convert's --to and --level and its help, the settings'
// ranges, the back-ends' names and extensions (and so the dialogs'
// filters), and what the conversion run expects a new archive to hold.
// Both stacks include it: the program names its targets by it, and a
// library may take its levels' names from it.
#pragma once
#include "archivers/include/qvo_archiver.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace qvo::archivers {

// A compression level: the name a user gives (qvo-convert --level), and
// the number the settings store and the back-end sends to the library.
struct NamedLevel {
    std::string_view name;
    int32_t value;
};

// Room an archive of the format has, in the variant Qvo writes (LHA with
// level-2 headers, ZIP with ZIP64 where needed, a single cabinet).  What a
// member or the archive brings that the format has no room for, a writer
// leaves out and the conversion says so.
struct TargetHolds {
    bool folders;          // entries for folders, so empty ones stay
    bool links;            // symbolic links as links
    bool archiveComment;
    bool memberComments;
    bool dosAttributes;    // read-only, hidden, system, archive
    bool unixModes;        // permission bits
    bool cp932Names;       // names in CP932, for old Japanese tools
    bool utf8Names;        // names in UTF-8, marked as such
    bool over4GiB;         // members of 4 GiB and more
    bool over65535Members; // more than 65,535 members
};

struct TargetFormat {
    // The key the back-end is registered under, which is also the name
    // the windows and dialogs show: "LHA".
    std::string_view key;
    // The first is what a new archive is named with; the others are read
    // as this format too.
    std::span<const std::string_view> extensions;
    int32_t index;   // the format index (see above)
    ArchiverId writer; // the library whose create command writes it
    std::span<const NamedLevel> levels;
    int32_t defaultLevel;
    // Whether the settings may store `level` for this format: a level
    // above, or one the settings dialog makes of them.
    bool (*storesLevel)(int32_t level);
    TargetHolds holds;

    std::string_view extension() const { return extensions.front(); }
};

// Whether `level` is the value of one of `levels`.
constexpr bool isNamedLevel(std::span<const NamedLevel> levels, int32_t level)
{
    for (const NamedLevel &named : levels)
        if (named.value == level)
            return true;
    return false;
}

namespace target_rows {

// .lha on the Amiga and download sites, LArc's .lzs, PMarc's .pma.
inline constexpr std::string_view kLhaExtensions[] = {"lzh", "lha", "lzs", "pma"};
// The methods by the index of the settings' list.
inline constexpr NamedLevel kLhaLevels[] = {{"lh0", 0}, {"lh1", 1}, {"lh5", 2}, {"lh6", 3}, {"lh7", 4}};
constexpr bool lhaStoresLevel(int32_t level) { return isNamedLevel(kLhaLevels, level); }

inline constexpr std::string_view kZipExtensions[] = {"zip", "zipx"};
// Deflate's levels; 0 stores.
inline constexpr NamedLevel kZipLevels[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 4},
                                            {"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}, {"9", 9}};
constexpr bool zipStoresLevel(int32_t level) { return isNamedLevel(kZipLevels, level); }

inline constexpr std::string_view kCabExtensions[] = {"cab"};
// 10 x method (0 LZX, 1 MSZIP, 2 stored) + the LZX window's size - 15.
inline constexpr NamedLevel kCabLevels[] = {{"lzx:15", 0}, {"lzx:16", 1}, {"lzx:17", 2}, {"lzx:18", 3},
                                            {"lzx:19", 4}, {"lzx:20", 5}, {"lzx:21", 6}, {"mszip", 10},
                                            {"none", 20}};
// The settings dialog keeps the chosen LZX window while another method is
// chosen: MSZIP and stored come with a window too (13: MSZIP, window 18).
constexpr bool cabStoresLevel(int32_t level)
{
    return level >= 0 && level / 10 <= 2 && isNamedLevel(kCabLevels, level % 10);
}

} // namespace target_rows

inline constexpr TargetFormat kTargetFormats[] = {
    {"LHA", target_rows::kLhaExtensions, 0, ArchiverId::unlha32, target_rows::kLhaLevels, 2,
     target_rows::lhaStoresLevel,
     {.folders = true, .links = true, .archiveComment = false, .memberComments = true, .dosAttributes = true,
      .unixModes = true, .cp932Names = true, .utf8Names = true, .over4GiB = false, .over65535Members = true}},
    {"ZIP", target_rows::kZipExtensions, 1, ArchiverId::zip32j, target_rows::kZipLevels, 6,
     target_rows::zipStoresLevel,
     {.folders = true, .links = true, .archiveComment = true, .memberComments = true, .dosAttributes = true,
      .unixModes = true, .cp932Names = true, .utf8Names = true, .over4GiB = true, .over65535Members = true}},
    {"CAB", target_rows::kCabExtensions, 2, ArchiverId::cab32, target_rows::kCabLevels, 10,
     target_rows::cabStoresLevel,
     {.folders = false, .links = false, .archiveComment = false, .memberComments = false, .dosAttributes = true,
      .unixModes = false, .cp932Names = true, .utf8Names = true, .over4GiB = false, .over65535Members = false}},
};

} // namespace qvo::archivers
