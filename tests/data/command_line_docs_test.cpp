// The manual page and the bash completion of qvo-convert name every option
// its --help lists, and the completion offers the target formats and
// levels of the target table, so neither falls behind when one is added.
#include "archivers/include/target_formats.h"
#include "base/ascii.h"
#include "test_support.h"

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace qvo::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> optionsInHelp()
{
    std::string help;
    EXPECT_EQ(runCommand("'" + (fs::path(QVO_BIN_DIR) / "qvo-convert").string() + "' --help", &help), 0);
    std::set<std::string> options;
    // Option lines start with two spaces: "  --to lzh|zip|cab", "  --recursive, -r".
    const std::regex line("^  (-[-a-z]+)(, (-[a-z]))?", std::regex::multiline);
    for (auto it = std::sregex_iterator(help.begin(), help.end(), line); it != std::sregex_iterator(); ++it) {
        options.insert((*it)[1]);
        if ((*it)[3].matched)
            options.insert((*it)[3]);
    }
    return options;
}

TEST(CommandLineDocs, ManualPageAndCompletionNameEveryOptionOfHelp)
{
    const std::set<std::string> options = optionsInHelp();
    ASSERT_GE(options.size(), 10u);
    const std::string page = readFile(fs::path(QVO_SOURCE_DIR) / "data/man/qvo-convert.1.scd");
    const std::string completion = readFile(fs::path(QVO_SOURCE_DIR) / "data/completion/qvo-convert");
    for (const std::string &option : options) {
        EXPECT_NE(page.find("*" + option + "*"), std::string::npos) << option << " missing in qvo-convert.1.scd";
        EXPECT_TRUE(std::regex_search(completion, std::regex("[' ]" + option + "[' ]")))
            << option << " missing in the bash completion";
    }
}

// The words completion offers after `--to` and, per target, after
// `--level`: "lzh | lha) ... compgen -W 'lh0 lh1 ...'" lines, by each name
// before the ")".
std::map<std::string, std::vector<std::string>> completionWords(const std::string &completion)
{
    std::map<std::string, std::vector<std::string>> words;
    const std::regex line(R"(^\s*([-*a-z0-9| ]+)\)\s*(?:\n\s*)?COMPREPLY=\(\$\(compgen -W '([^']*)')",
                          std::regex::multiline);
    for (auto it = std::sregex_iterator(completion.begin(), completion.end(), line); it != std::sregex_iterator();
         ++it) {
        std::vector<std::string> offered;
        std::istringstream list((*it)[2].str());
        for (std::string word; list >> word;)
            offered.push_back(word);
        std::istringstream names((*it)[1].str());
        for (std::string name; names >> name;)
            if (name != "|")
                words[name] = offered;
    }
    return words;
}

TEST(CommandLineDocs, CompletionOffersTheTargetsAndLevelsOfTheTable)
{
    const auto words = completionWords(readFile(fs::path(QVO_SOURCE_DIR) / "data/completion/qvo-convert"));
    ASSERT_TRUE(words.count("--to"));
    std::vector<std::string> targets, allLevels;
    for (const archivers::TargetFormat &format : archivers::kTargetFormats) {
        const std::string extension(format.extension()), key = base::asciiLower(std::string(format.key));
        targets.push_back(extension);
        if (key != extension)
            targets.push_back(key);
        std::vector<std::string> levels;
        for (const archivers::NamedLevel &level : format.levels)
            levels.push_back(std::string(level.name));
        allLevels.insert(allLevels.end(), levels.begin(), levels.end());
        for (const std::string &name : {extension, key}) {
            ASSERT_TRUE(words.count(name)) << "--level after --to " << name;
            EXPECT_EQ(std::set<std::string>(words.at(name).begin(), words.at(name).end()),
                      std::set<std::string>(levels.begin(), levels.end()))
                << "--level after --to " << name;
        }
    }
    EXPECT_EQ(words.at("--to"), targets);
    ASSERT_TRUE(words.count("*"));
    EXPECT_EQ(std::set<std::string>(words.at("*").begin(), words.at("*").end()),
              std::set<std::string>(allLevels.begin(), allLevels.end()));
}

} // namespace
} // namespace qvo::test
