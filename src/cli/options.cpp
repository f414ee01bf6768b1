#include "cli/options.h"

#include "backends/name_charsets.h"

namespace qvo::cli {

namespace {

std::optional<int32_t> parseFormat(const std::string &text)
{
    if (text == "lzh" || text == "lha")
        return 0;
    if (text == "zip")
        return 1;
    if (text == "cab")
        return 2;
    return std::nullopt;
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
    switch (convType) {
    case 0: {
        static const char *const methods[] = {"lh0", "lh1", "lh5", "lh6", "lh7"};
        for (int32_t k = 0; k < 5; ++k)
            if (text == methods[k])
                return k;
        return std::nullopt;
    }
    case 1:
        if (text.size() == 1 && text[0] >= '0' && text[0] <= '9')
            return text[0] - '0';
        return std::nullopt;
    case 2:
        if (text == "mszip")
            return 10;
        if (text == "none")
            return 20;
        if (text.size() == 6 && text.compare(0, 4, "lzx:") == 0 && text[4] >= '1' && text[4] <= '2' &&
            text[5] >= '0' && text[5] <= '9') {
            const int32_t window = (text[4] - '0') * 10 + (text[5] - '0');
            if (window >= 15 && window <= 21)
                return window - 15;
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
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
            const std::optional<int32_t> format = parseFormat(*value);
            if (!format) {
                error = "unknown target format '" + *value + "' (lzh, zip or cab)";
                return false;
            }
            options.convType = *format;
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
        error = "--to lzh|zip|cab is required";
        return false;
    }
    if (levelGiven) {
        options.compressLevel = parseLevel(options.convType, levelText);
        if (!options.compressLevel) {
            static const char *const accepted[] = {"lh0, lh1, lh5, lh6 or lh7", "0 to 9",
                                                   "lzx:15 to lzx:21, mszip or none"};
            error = "level '" + levelText + "' does not fit this format (" + accepted[options.convType] + ")";
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

const char *usageText()
{
    return "Usage: qvo-convert [options] ARCHIVE|FOLDER...\n"
           "Converts LHA, ZIP, CAB and RAR archives to LHA, ZIP or CAB.\n"
           "\n"
           "  --to lzh|zip|cab   target format (required)\n"
           "  --level LEVEL      lzh: lh0 lh1 lh5 lh6 lh7 (default lh5); zip: 0 to 9 (default 6);\n"
           "                     cab: lzx:15 to lzx:21, mszip, none (default mszip)\n"
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
