// Create command:  (-r | -j) [-q] [-N] [--cp932-names] "ARCHIVE" *.*
//
//   -r    recurse into folders, store paths relative to the current
//         directory and one entry per folder ("name/"), so empty folders
//         survive
//   -j    recurse too, but store files under their base names only, without
//         folders; two files with the same base name fail with
//         kErrNameClash and nothing is written
//   -q    quiet (there is no output either way; accepted for the callers)
//   -N    N = 0 stores, 1 (fast) to 9 (small) deflate; default 6
//   --cp932-names  names (and link targets) in CP932 without flag bit 11
//         (QVO_SWITCH_CP932_NAMES); a name without an exact CP932 form
//         fails with kErrNameEncoding.  By default names are UTF-8, marked.
//   *.*   every entry of the current directory, dot files and names without
//         a dot included
// Exactly one of -r and -j; each switch at most once, all before the
// archive.  Anything else is kErrCommandLine and nothing is written.
//
// Names are composed to NFC unless two would then be one.
//
// Symbolic links are stored as links (type in the Unix attributes, target as
// data).  With -j a link to a file is stored as that file's content: its
// flattened name would make a relative target point elsewhere.
//
// The archive is written to a temporary file beside the target and renamed
// over it only when complete (command/create_command.h); the format is
// formats/zip/zip_archive_writer.h.
#include "archivers/zip32j/create.h"

#include "archivers/command/create_command.h"
#include "archivers/include/qvo_archiver.h"
#include "formats/zip/zip_archive_writer.h"

#include <optional>

namespace qvo::archivers::zip32j {

namespace {

constexpr int kDefaultLevel = 6;

std::optional<command::CreateRequest> parseCommand(const std::vector<command::Token> &tokens)
{
    command::CreateRequest r;
    r.walk.recurse = true;
    int level = kDefaultLevel;
    bool haveMode = false, haveQuiet = false, haveLevel = false, haveCp932 = false;
    size_t i = 0;
    for (; i < tokens.size() && command::isSwitch(tokens[i]); ++i) {
        const std::string &s = tokens[i].text;
        if (s == "-r" || s == "-j") {
            if (haveMode)
                return std::nullopt;
            haveMode = true;
            r.walk.keepPaths = s == "-r";
        } else if (s == "-q") {
            if (haveQuiet)
                return std::nullopt;
            haveQuiet = true;
        } else if (s.size() == 2 && s[1] >= '0' && s[1] <= '9') {
            if (haveLevel)
                return std::nullopt;
            haveLevel = true;
            level = s[1] - '0';
        } else if (s == QVO_SWITCH_CP932_NAMES) {
            if (haveCp932)
                return std::nullopt;
            haveCp932 = true;
            r.options.names = create::NameEncoding::Cp932;
        } else {
            return std::nullopt;
        }
    }
    if (!haveMode || tokens.size() != i + 2)
        return std::nullopt;
    const std::string &archive = tokens[i].text;
    if (archive.empty() || archive.back() == '/' || tokens[i + 1].text != "*.*")
        return std::nullopt;
    r.archive = archive;
    r.options.method = level == 0 ? create::WriterMethod{"store", 0} : create::WriterMethod{"deflate", level};
    return r;
}

} // namespace

int32_t runCreate(const std::vector<command::Token> &tokens)
{
    std::optional<command::CreateRequest> request = parseCommand(tokens);
    if (!request)
        return kErrCommandLine;
    return command::runCreate(*request, formats::zip::writeZipArchive);
}

} // namespace qvo::archivers::zip32j
