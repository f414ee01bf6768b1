// Command-line options of qvo-convert.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvo::cli {

struct Options {
    int32_t convType = -1;                // --to: the target format's index
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

// A level named as the target table names the format's levels ("lh5",
// "lzx:21"), as the settings store it.
std::optional<int32_t> parseLevel(int32_t convType, const std::string &text);

// --help: the options, with the target formats and levels of the table.
std::string usageText();

} // namespace qvo::cli
