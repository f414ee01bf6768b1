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
    // The toolkit's -platform was given (only seen with toolkitOptionsPresent).
    bool platformChosen = false;
};

// `args` without the program name; `currentFolder` makes paths absolute.
// Before the toolkit has started, `args` still hold its own options
// (-platform xcb, -style=Fusion, ...): with `toolkitOptionsPresent` those
// are passed over rather than refused, so that a wrong option is told
// before the toolkit asks for a display.
CommandLine parseCommandLine(const std::vector<std::string> &args, const std::string &currentFolder,
                             bool toolkitOptionsPresent = false);

const char *commandLineUsage();

} // namespace qvo::app
