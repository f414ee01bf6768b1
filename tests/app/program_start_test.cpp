// How `qvo` ends when it cannot open a window: in its own words, before
// the toolkit is asked for a display.
#include "test_support.h"

#include <filesystem>

namespace qvo::test {
namespace {

namespace fs = std::filesystem;

std::string withoutDisplay(const std::string &args)
{
    return "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + sh((fs::path(QVO_BIN_DIR) / "qvo").string()) +
           " " + args + " 2>&1 </dev/null";
}

TEST(ProgramStart, WrongOptionsAndNoDisplayAreToldWithoutTheToolkit)
{
    std::string output;
    EXPECT_EQ(runCommand(withoutDisplay("--bogus a.lzh"), &output), 2) << output;
    EXPECT_NE(output.find("qvo: unknown option --bogus"), std::string::npos) << output;
    EXPECT_NE(output.find("Usage: qvo"), std::string::npos) << output;
    // The toolkit's own options are not ours to refuse.
    EXPECT_EQ(runCommand(withoutDisplay("-style Fusion --bogus"), &output), 2) << output;
    EXPECT_NE(output.find("unknown option --bogus"), std::string::npos) << output;

    EXPECT_EQ(runCommand(withoutDisplay("a.lzh"), &output), 1) << output;
    EXPECT_NE(output.find("qvo: no display"), std::string::npos) << output;
    EXPECT_NE(output.find("qvo-convert"), std::string::npos) << output;
    EXPECT_EQ(output.find("platform plugin"), std::string::npos) << output;

    EXPECT_EQ(runCommand(withoutDisplay("--version"), &output), 0) << output;
    EXPECT_EQ(output.rfind("qvo ", 0), 0u) << output;
}

} // namespace
} // namespace qvo::test
