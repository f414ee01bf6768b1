// The arguments of `qvo`: archives and folders to open, and two options.
#pragma once
#include <string>
#include <vector>

namespace qvo::app {

struct CommandLine {
    bool help = false;
    bool version = false;
    // Absolute, as given otherwise: a running instance has another current
    // folder.  Bytes are kept as they are (names need not be UTF-8).
    std::vector<std::string> paths;
    // Set for an unknown option; the program then ends with status 2.
    std::string error;
};

// `args` without the program name; `currentFolder` makes paths absolute.
CommandLine parseCommandLine(const std::vector<std::string> &args, const std::string &currentFolder);

const char *commandLineUsage();

} // namespace qvo::app
