#include "app/command_line.h"

#include <filesystem>

namespace qvo::app {

CommandLine parseCommandLine(const std::vector<std::string> &args, const std::string &currentFolder)
{
    CommandLine result;
    bool endOfOptions = false;
    for (const std::string &arg : args) {
        if (!endOfOptions && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--")
                endOfOptions = true;
            else if (arg == "--help" || arg == "-h")
                result.help = true;
            else if (arg == "--version")
                result.version = true;
            else if (result.error.empty())
                result.error = "unknown option " + arg;
            continue;
        }
        if (arg.empty())
            continue;
        std::filesystem::path path(arg);
        if (path.is_relative())
            path = std::filesystem::path(currentFolder) / path;
        result.paths.push_back(path.lexically_normal().string());
    }
    return result;
}

const char *commandLineUsage()
{
    return "Usage: qvo [FILE|FOLDER]...\n"
           "Opens Qvo, the archive converter, with the archives given in its list; a folder\n"
           "adds the archives it holds.  When Qvo is already running, they go to its window.\n"
           "\n"
           "  --help, -h   show this text\n"
           "  --version    show the version\n";
}

} // namespace qvo::app
