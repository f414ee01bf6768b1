// The manual page and the bash completion of qvo-convert name every option
// its --help lists, so neither falls behind when an option is added.
#include "test_support.h"

#include <filesystem>
#include <regex>
#include <set>

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

} // namespace
} // namespace qvo::test
