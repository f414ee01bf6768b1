#include "archivers/cab32/create_options.h"

#include "archivers/include/qvo_archiver.h"

#include <charconv>

namespace qvo::archivers::cab32 {
namespace {

constexpr int kMinLzxWindow = 15;
constexpr int kMaxLzxWindow = 21;

bool parseLzxWindow(std::string_view digits, int &bits)
{
    if (digits.empty() || digits.size() > 2)
        return false;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), bits);
    return ec == std::errc() && end == digits.data() + digits.size() &&
           bits >= kMinLzxWindow && bits <= kMaxLzxWindow;
}

} // namespace

int32_t parseCreateCommand(const std::vector<command::Token> &tokens, CreateOptions &options)
{
    options = CreateOptions();
    if (tokens.empty() || !command::isSwitch(tokens[0]) || tokens[0].text != "-a")
        return kErrCommandLine;
    bool haveMethod = false;
    size_t i = 1;
    for (; i < tokens.size() && command::isSwitch(tokens[i]); ++i) {
        const std::string &s = tokens[i].text;
        if (s == "-r") {
            options.recurse = true;
        } else if (s == "-i") {
            // No dialogs are ever shown: nothing to switch off.
        } else if (s == QVO_SWITCH_CP932_NAMES) {
            options.cp932Names = true;
        } else if (s == "-mz" || s == "-ms" || s.starts_with("-ml:")) {
            if (haveMethod)
                return kErrCommandLine;
            haveMethod = true;
            if (s == "-mz") {
                options.method = CabMethod::Mszip;
            } else if (s == "-ms") {
                options.method = CabMethod::Stored;
            } else {
                options.method = CabMethod::Lzx;
                if (!parseLzxWindow(std::string_view(s).substr(4), options.lzxWindowBits))
                    return kErrCommandLine;
            }
        } else {
            return kErrCommandLine;
        }
    }
    // What follows the switches: the archive, then "*.*", nothing else.
    if (!haveMethod || tokens.size() - i != 2)
        return kErrCommandLine;
    options.archive = tokens[i].text;
    if (options.archive.empty() || tokens[i + 1].text != "*.*")
        return kErrCommandLine;
    return kOk;
}

} // namespace qvo::archivers::cab32
