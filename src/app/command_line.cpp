#include "app/command_line.h"

#include <filesystem>
#include <string_view>

namespace qvo::app {

namespace {

// The options every program of the toolkit takes (one dash or two); those
// of the first list take a value, as the next argument or after '='.
constexpr std::string_view kToolkitOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
    "session", "display", "geometry", "style", "stylesheet", "qmljsdebugger", "dialogs", "fontengine"};
constexpr std::string_view kToolkitOptionsAlone[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// 0: not the toolkit's; 1: the toolkit's, alone; 2: the toolkit's, and the
// next argument is its value.
int toolkitOption(std::string_view arg)
{
    arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
    const size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    for (std::string_view option : kToolkitOptionsWithValue)
        if (name == option)
            return equals == std::string_view::npos ? 2 : 1;
    for (std::string_view option : kToolkitOptionsAlone)
        if (arg == option)
            return 1;
    return 0;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string> &args, const std::string &currentFolder,
                             bool toolkitOptionsPresent)
{
    CommandLine result;
    bool endOfOptions = false;
    bool valueFollows = false;
    for (const std::string &arg : args) {
        if (valueFollows) {
            valueFollows = false;
            continue;
        }
        if (!endOfOptions && arg.size() > 1 && arg[0] == '-') {
            const int toolkit = toolkitOptionsPresent && arg != "--" ? toolkitOption(arg) : 0;
            if (toolkit > 0) {
                valueFollows = toolkit == 2;
                const std::string_view name = std::string_view(arg).substr(arg.starts_with("--") ? 2 : 1);
                result.platformChosen |= name.substr(0, name.find('=')) == "platform";
            }
            else if (arg == "--")
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
