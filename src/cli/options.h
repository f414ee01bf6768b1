// Command-line options of qvo-convert.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvo::cli {

struct Options {
    int32_t convType = -1;                // 0 LHA, 1 ZIP, 2 CAB
    std::optional<int32_t> compressLevel; // as stored in the settings for that format
    std::string outFolder;
    bool sameFolder = false;
    bool overwrite = false;
    bool sameType = false;
    bool upperExtension = false;
    bool deleteSource = false;
    bool cp932Names = false; // --name-encoding cp932
    bool recursive = false;
    unsigned jobs = 0;                    // archives converted at once; 0: one per processor
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::string nameCharset; // --names: empty for auto, else one of backends::nameCharsets()
    std::vector<std::string> inputs; // archives and folders
};

// Parses argv[1..]; false with `error` set on a usage error.
bool parseOptions(const std::vector<std::string> &args, Options &options, std::string &error);

// A level in the format's own terms as the settings store it:
// lh0 lh1 lh5 lh6 lh7 (LHA), 0..9 (ZIP), lzx:15..lzx:21, mszip, none (CAB).
std::optional<int32_t> parseLevel(int32_t convType, const std::string &text);

const char *usageText();

} // namespace qvo::cli
