// The create command of unlha32.
//
//   a [-x1] [-n] [-r2] [-jmN] "ARCHIVE" "FOLDER/"
//
// Switches may come in any order, before or between the two paths:
//   -x1   store paths relative to FOLDER; without it base names only, and
//         two files of one name are an error (kErrNameClash); see
//         create/entries_to_pack.h
//   -n    no progress display (there is none: accepted and ignored)
//   -r2   walk subfolders and store folders as entries, so empty folders
//         survive; without it only the files directly in FOLDER
//   -jmN  method: 0 = lh0 (stored), 1 = lh1, 2 = lh5 (the default),
//         3 = lh6, 4 = lh7; another number is kErrNotSupported
//   --cp932-names  every name in CP932 (QVO_SWITCH_CP932_NAMES); without
//         it names are CP932 when they all can be, else UTF-8
// ARCHIVE is created or replaced; FOLDER's contents are packed (see
// command/create_command.h and formats/lha/lha_archive_writer.h).  Any
// other switch, a missing or extra path, or a malformed number is
// kErrCommandLine.  A failed command writes nothing.
#include "archivers/unlha32/create.h"

#include "archivers/command/create_command.h"
#include "archivers/include/qvo_archiver.h"
#include "formats/lha/lha_archive_writer.h"

#include <string_view>

namespace qvo::archivers::unlha32 {

namespace {

// Parses the number after "-jm": an optional minus sign and digits.
bool parseLevel(std::string_view s, long &level)
{
    bool negative = !s.empty() && s[0] == '-';
    if (negative)
        s.remove_prefix(1);
    if (s.empty() || s.size() > 9)
        return false;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    level = negative ? -v : v;
    return true;
}

} // namespace

int32_t runCreate(const std::vector<command::Token> &tokens)
{
    static constexpr const char *kMethods[] = {"lh0", "lh1", "lh5", "lh6", "lh7"};
    command::CreateRequest request;
    request.walk.keepPaths = false;
    request.walk.recurse = false;
    long level = 2;
    std::vector<std::string> paths;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const command::Token &t = tokens[i];
        if (!command::isSwitch(t)) {
            paths.push_back(t.text);
            continue;
        }
        std::string_view s = t.text;
        if (s == "-x1")
            request.walk.keepPaths = true;
        else if (s == "-n")
            continue;
        else if (s == "-r2")
            request.walk.recurse = true;
        else if (s == QVO_SWITCH_CP932_NAMES)
            request.options.names = create::NameEncoding::Cp932;
        else if (s.substr(0, 3) == "-jm") {
            if (!parseLevel(s.substr(3), level))
                return kErrCommandLine;
        } else
            return kErrCommandLine;
    }
    if (paths.size() != 2 || paths[0].empty() || paths[1].empty())
        return kErrCommandLine;
    if (level < 0 || level > 4)
        return kErrNotSupported;
    request.options.method.name = kMethods[level];
    request.archive = paths[0];
    request.folder = paths[1];
    return command::runCreate(request, formats::lha::writeLhaArchive);
}

} // namespace qvo::archivers::unlha32
