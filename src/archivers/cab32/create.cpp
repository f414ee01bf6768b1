// The create command of cab32: packs the current directory into a cabinet.
//
//   -a [-r] [-i] (-ml:N | -mz | -ms) "ARCHIVE" *.*
//
//   -a       create ARCHIVE (replacing a file of that name once complete)
//   -r       recurse into folders; names keep their path below the current
//            directory, with '\' as separator.  Without it, only the files
//            of the current directory are packed.
//   -i       no dialogs (accepted; none are ever shown)
//   -ml:N    LZX with a window of 2^N bytes, N from 15 to 21
//   -mz      MSZIP
//   -ms      stored, no compression
//   --cp932-names  names in CP932 without the UTF-8 attribute
//            (QVO_SWITCH_CP932_NAMES); a name without an exact CP932 form
//            fails with kErrNameEncoding.  By default names are UTF-8, marked.
//   *.*      every entry of the current directory, dot files included
//
// Exactly one method switch is required; anything else is kErrCommandLine
// and nothing is written.  Names are composed to NFC unless two would then
// be one.  Folders are not entries of a cabinet, so empty folders are not
// kept.  Symbolic links to files are stored as the linked file's content;
// links to folders and dangling links are left out (see
// formats/cab/cab_archive_writer.h and command/create_command.h).
#include "archivers/cab32/create.h"

#include "archivers/command/create_command.h"
#include "archivers/include/qvo_archiver.h"
#include "formats/cab/cab_archive_writer.h"

#include <charconv>
#include <string_view>

namespace qvo::archivers::cab32 {

namespace {

bool parseLzxWindow(std::string_view digits, int &bits)
{
    if (digits.empty() || digits.size() > 2)
        return false;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), bits);
    return ec == std::errc() && end == digits.data() + digits.size() && bits >= 15 && bits <= 21;
}

int32_t parseCommand(const std::vector<command::Token> &tokens, command::CreateRequest &request)
{
    if (tokens.empty() || !command::isSwitch(tokens[0]) || tokens[0].text != "-a")
        return kErrCommandLine;
    request.walk.recurse = false;
    request.walk.keepPaths = true;
    bool haveMethod = false;
    size_t i = 1;
    for (; i < tokens.size() && command::isSwitch(tokens[i]); ++i) {
        const std::string &s = tokens[i].text;
        if (s == "-r") {
            request.walk.recurse = true;
        } else if (s == "-i") {
            // No dialogs are ever shown: nothing to switch off.
        } else if (s == QVO_SWITCH_CP932_NAMES) {
            request.options.names = create::NameEncoding::Cp932;
        } else if (s == "-mz" || s == "-ms" || s.starts_with("-ml:")) {
            if (haveMethod)
                return kErrCommandLine;
            haveMethod = true;
            if (s == "-mz") {
                request.options.method = {"mszip", 0};
            } else if (s == "-ms") {
                request.options.method = {"stored", 0};
            } else {
                request.options.method.name = "lzx";
                if (!parseLzxWindow(std::string_view(s).substr(4), request.options.method.level))
                    return kErrCommandLine;
            }
        } else {
            return kErrCommandLine;
        }
    }
    // What follows the switches: the archive, then "*.*", nothing else.
    if (!haveMethod || tokens.size() - i != 2)
        return kErrCommandLine;
    request.archive = tokens[i].text;
    if (tokens[i].text.empty() || tokens[i + 1].text != "*.*")
        return kErrCommandLine;
    return kOk;
}

} // namespace

int32_t runCreate(const std::vector<command::Token> &tokens)
{
    command::CreateRequest request;
    if (int32_t rc = parseCommand(tokens, request); rc != kOk)
        return rc;
    return command::runCreate(request, formats::cab::writeCabArchive);
}

} // namespace qvo::archivers::cab32
