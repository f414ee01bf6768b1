#include "cli/options.h"

#include "backends/name_charsets.h"
#include "backends/target_formats.h"

#include <cctype>

namespace qvo::cli {

namespace {

// "lzh|zip|cab": the target formats by their extensions.
std::string targetNames(const char *separator)
{
    std::string names;
    for (const backends::TargetFormat &format : backends::targetFormats())
        names += (names.empty() ? "" : separator) + std::string(format.extension());
    return names;
}

// A name's trailing number ("lzx:15" -> 15); -1 for a name without one.
int trailingNumber(std::string_view name)
{
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])))
        --digits;
    if (digits == name.size() || name.size() - digits > 4)
        return -1;
    return std::stoi(std::string(name.substr(digits)));
}

// Whether `next` follows `name` in a numbered series: "lzx:16" after "lzx:15".
bool follows(std::string_view name, std::string_view next)
{
    const int number = trailingNumber(name);
    return number >= 0 && trailingNumber(next) == number + 1 &&
           name.substr(0, name.find_last_not_of("0123456789") + 1) ==
               next.substr(0, next.find_last_not_of("0123456789") + 1);
}

// The levels of `format` for people: "lh0, lh1, lh5, lh6, lh7", with a
// numbered series of four or more as its ends ("0 to 9").
std::string levelChoices(const backends::TargetFormat &format)
{
    std::string text;
    const auto &levels = format.levels;
    for (size_t k = 0; k < levels.size();) {
        size_t end = k + 1;
        while (end < levels.size() && follows(levels[end - 1].name, levels[end].name))
            ++end;
        if (!text.empty())
            text += ", ";
        if (end - k >= 4) {
            text += std::string(levels[k].name) + " to " + std::string(levels[end - 1].name);
        } else {
            end = k + 1;
            text += levels[k].name;
        }
        k = end;
    }
    return text;
}

// `text` broken into lines of at most `width` characters, the first
// starting where the caller left off (`column`), the others indented.
std::string wrapped(const std::string &text, size_t column, size_t indent, size_t width)
{
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const size_t word = end - start;
        if (column > indent && column + 1 + word > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += text.substr(start, word);
        column += word;
        start = end + 1;
    }
    return out;
}

// --names auto|ENCODING (also --names=...): the encoding of member names
// the archives do not mark.  Advances `k` past a separate value.
bool parseNamesOption(const std::vector<std::string> &args, size_t &k, const std::optional<std::string> &value,
                      Options &options, std::string &error)
{
    std::string text;
    if (value) {
        text = *value;
    } else if (k + 1 < args.size()) {
        text = args[++k];
    } else {
        error = "--names needs a value";
        return false;
    }
    if (text == backends::kNameCharsetAuto) {
        options.nameCharset.clear();
        return true;
    }
    std::optional<std::string> named = backends::nameCharsetNamed(text);
    if (!named) {
        std::string offered;
        for (const std::string &charset : backends::nameCharsets())
            offered += (offered.empty() ? "" : ", ") + charset;
        error = "unknown name encoding '" + text + "' (auto, " + offered + ")";
        return false;
    }
    options.nameCharset = *named;
    return true;
}

// More worker processes than this would only wait for the disk.
constexpr unsigned kMaxJobs = 256;

std::optional<unsigned> parseJobs(const std::string &text)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned jobs = unsigned(std::stoul(text));
    if (jobs < 1 || jobs > kMaxJobs)
        return std::nullopt;
    return jobs;
}

} // namespace

std::optional<int32_t> parseLevel(int32_t convType, const std::string &text)
{
    const backends::TargetFormat *format = backends::targetFormatAt(convType);
    const backends::NamedLevel *level = format ? backends::levelNamed(*format, text) : nullptr;
    if (!level)
        return std::nullopt;
    return level->value;
}

bool parseOptions(const std::vector<std::string> &args, Options &options, std::string &error)
{
    std::string levelText;
    bool levelGiven = false;
    bool outGiven = false;
    bool endOfOptions = false;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string &arg = args[k];
        if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
            options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            endOfOptions = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (name == "--names") {
            if (!parseNamesOption(args, k, value, options, error))
                return false;
            continue;
        }
        const bool takesValue = name == "--to" || name == "--level" || name == "--out" || name == "--jobs" ||
                                name == "--name-encoding";
        if (takesValue && !value) {
            if (k + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++k];
        } else if (!takesValue && value) {
            error = name + " takes no value";
            return false;
        }
        if (name == "--to") {
            const backends::TargetFormat *format = backends::targetFormatNamed(*value);
            if (!format) {
                error = "unknown target format '" + *value + "' (" + targetNames(", ") + ")";
                return false;
            }
            options.convType = format->index;
        } else if (name == "--level") {
            levelText = *value;
            levelGiven = true;
        } else if (name == "--out") {
            if (value->empty()) {
                error = "--out needs a folder";
                return false;
            }
            options.outFolder = *value;
            outGiven = true;
        } else if (name == "--jobs") {
            const std::optional<unsigned> jobs = parseJobs(*value);
            if (!jobs) {
                error = "--jobs needs a whole number from 1 to " + std::to_string(kMaxJobs) + ", not '" + *value + "'";
                return false;
            }
            options.jobs = *jobs;
        } else if (name == "--name-encoding") {
            if (*value != "auto" && *value != "cp932") {
                error = "unknown name encoding '" + *value + "' (auto or cp932)";
                return false;
            }
            options.cp932Names = *value == "cp932";
        } else if (name == "--same-folder") {
            options.sameFolder = true;
        } else if (name == "--overwrite") {
            options.overwrite = true;
        } else if (name == "--same-type") {
            options.sameType = true;
        } else if (name == "--upper-ext") {
            options.upperExtension = true;
        } else if (name == "--delete-source") {
            options.deleteSource = true;
        } else if (name == "--recursive" || name == "-r") {
            options.recursive = true;
        } else if (name == "--quiet" || name == "-q") {
            options.quiet = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (options.help || options.version)
        return true;
    if (options.convType < 0) {
        error = "--to " + targetNames("|") + " is required";
        return false;
    }
    if (levelGiven) {
        options.compressLevel = parseLevel(options.convType, levelText);
        if (!options.compressLevel) {
            error = "level '" + levelText + "' does not fit this format (" +
                    levelChoices(*backends::targetFormatAt(options.convType)) + ")";
            return false;
        }
    }
    if (outGiven == options.sameFolder) {
        error = outGiven ? "--out and --same-folder exclude each other" : "give --out DIR or --same-folder";
        return false;
    }
    if (options.inputs.empty()) {
        error = "no archive or folder given";
        return false;
    }
    return true;
}

std::string usageText()
{
    constexpr size_t kIndent = 21; // where the options' descriptions start
    std::string levels;
    for (const backends::TargetFormat &format : backends::targetFormats())
        levels += (levels.empty() ? "" : "; ") + std::string(format.extension()) + ": " + levelChoices(format) +
                  " (default " + std::string(backends::levelName(format, format.defaultLevel)) + ")";
    std::string keys;
    for (const backends::TargetFormat &format : backends::targetFormats())
        keys += (keys.empty() ? "" : ", ") + std::string(format.key);
    if (const size_t last = keys.rfind(", "); last != std::string::npos)
        keys.replace(last, 2, " or ");
    const std::string to = "  --to " + targetNames("|");
    return "Usage: qvo-convert [options] ARCHIVE|FOLDER...\n"
           "Converts LHA, ZIP, CAB and RAR archives to " + keys + ".\n"
           "\n" +
           to + std::string(to.size() < kIndent ? kIndent - to.size() : 1, ' ') + "target format (required)\n" +
           "  --level LEVEL      " + wrapped(levels, kIndent, kIndent, 90) + "\n" +
           "  --out DIR          write the new archives into DIR (created when missing)\n"
           "  --same-folder      write each new archive next to its source\n"
           "  --name-encoding auto|cp932\n"
           "                     names of the new archives: auto (default) writes LZH names in\n"
           "                     CP932 when they all fit, else UTF-8, and ZIP and CAB names in\n"
           "                     marked UTF-8; cp932 writes every format in CP932 for old\n"
           "                     Japanese tools, and an archive with a name CP932 cannot hold\n"
           "                     fails\n"
           "  --overwrite        replace existing targets\n"
           "  --same-type        also convert archives already in the target format\n"
           "  --upper-ext        upper-case extension (photos.ZIP)\n"
           "  --delete-source    delete each source once its new archive, read back, holds every\n"
           "                     member the source held\n"
           "  --recursive, -r    take archives from sub-folders of the folders given too\n"
           "  --names auto|ENC   encoding of member names the archives do not mark: auto (judged\n"
           "                     per archive, the default), CP932, EUC-JP, UTF-8, GB18030, BIG5,\n"
           "                     CP949, CP437, CP850, CP1252, ISO-8859-1, ISO-8859-15, CP1250,\n"
           "                     CP1251, KOI8-R or CP866\n"
           "  --jobs N           convert up to N archives at once (default: one per processor)\n"
           "  --quiet, -q        print only archives that were not converted\n"
           "  --help, -h         show this text\n"
           "  --version          show the version\n"
           "\n"
           "A folder adds the archives it holds.  Lines come in the order of the archives\n"
           "whatever --jobs is.  Exit status: 0 every archive converted, 1 any failed or\n"
           "was skipped, 2 usage error.\n";
}

} // namespace qvo::cli
