// The request a later start sends to the running program, and the command
// line it comes from.
#include "test_support.h"

#include "app/command_line.h"
#include "app/open_request.h"

namespace qvo::test {
namespace {

using app::decodeOpenRequest;
using app::encodeOpenRequest;
using app::OpenRequestState;

TEST(OpenRequest, RoundTripKeepsBytesAndOrderAndDropsEmptyPaths)
{
    // Shift-JIS names from an old disk are not UTF-8 and must pass as bytes.
    const std::vector<std::string> paths = {"/data/\x83\x65\x83\x58\x83\x67.lzh", "", "/data/b c.zip", "/shelf/"};
    const std::string request = encodeOpenRequest(paths);
    const auto decoded = decodeOpenRequest(request);
    ASSERT_EQ(decoded.state, OpenRequestState::complete);
    EXPECT_EQ(decoded.paths, (std::vector<std::string>{paths[0], paths[2], paths[3]}));

    const auto none = decodeOpenRequest(encodeOpenRequest({}));
    EXPECT_EQ(none.state, OpenRequestState::complete);
    EXPECT_TRUE(none.paths.empty());
}

TEST(OpenRequest, EveryCutIsIncompleteUntilTheEnd)
{
    const std::string request = encodeOpenRequest({"/a.lzh", "/b.zip"});
    for (size_t n = 0; n < request.size(); ++n)
        EXPECT_EQ(decodeOpenRequest(std::string_view(request).substr(0, n)).state, OpenRequestState::incomplete) << n;
}

TEST(OpenRequest, ForeignOrOverlongDataIsInvalid)
{
    EXPECT_EQ(decodeOpenRequest("GET / HTTP/1.0\r\n").state, OpenRequestState::invalid);
    EXPECT_EQ(decodeOpenRequest("Q").state, OpenRequestState::incomplete);
    EXPECT_EQ(decodeOpenRequest("X").state, OpenRequestState::invalid);
    const std::string request = encodeOpenRequest({"/a.lzh"});
    const auto trailing = decodeOpenRequest(request + "more");
    EXPECT_EQ(trailing.state, OpenRequestState::invalid);
    EXPECT_TRUE(trailing.paths.empty());
    std::string huge = encodeOpenRequest({});
    huge.pop_back();
    huge += std::string(app::kMaxOpenRequestBytes, 'a');
    EXPECT_EQ(decodeOpenRequest(huge).state, OpenRequestState::invalid);
}

TEST(CommandLine, PathsBecomeAbsoluteAndOptionsEndAtDoubleDash)
{
    const auto line = app::parseCommandLine({"a.lzh", "./sub/../b.zip", "/abs/c.lha", "-", "--", "--help", "-x.lzh"},
                                            "/home/user");
    EXPECT_FALSE(line.help);
    EXPECT_TRUE(line.error.empty());
    EXPECT_EQ(line.paths, (std::vector<std::string>{"/home/user/a.lzh", "/home/user/b.zip", "/abs/c.lha",
                                                    "/home/user/-", "/home/user/--help", "/home/user/-x.lzh"}));
}

TEST(CommandLine, HelpVersionAndUnknownOptions)
{
    EXPECT_TRUE(app::parseCommandLine({"-h"}, "/").help);
    EXPECT_TRUE(app::parseCommandLine({"--version"}, "/").version);
    const auto bad = app::parseCommandLine({"--jobs", "a.lzh"}, "/");
    EXPECT_EQ(bad.error, "unknown option --jobs");
    EXPECT_EQ(bad.paths, std::vector<std::string>{"/a.lzh"});
}

// Before the toolkit has taken its options out, they and their values are
// neither refused nor taken for files; anything else still is refused.
TEST(CommandLine, ToolkitOptionsArePassedOverBeforeTheToolkitStarts)
{
    const std::vector<std::string> args{"-platform", "offscreen", "--style=Fusion", "-reverse",
                                        "-display", ":3",  "a.lzh", "-stylesheet", "s.qss"};
    const auto early = app::parseCommandLine(args, "/", true);
    EXPECT_TRUE(early.error.empty()) << early.error;
    EXPECT_TRUE(early.platformChosen);
    EXPECT_EQ(early.paths, std::vector<std::string>{"/a.lzh"});
    // Once started, the toolkit's options are gone; one left over is wrong.
    EXPECT_EQ(app::parseCommandLine(args, "/").error, "unknown option -platform");

    const auto wrong = app::parseCommandLine({"-style", "Fusion", "--bogus"}, "/", true);
    EXPECT_EQ(wrong.error, "unknown option --bogus");
    EXPECT_FALSE(wrong.platformChosen);
    EXPECT_FALSE(app::parseCommandLine({"-platformtheme", "gtk3"}, "/", true).platformChosen);
    EXPECT_TRUE(app::parseCommandLine({"--platform=xcb"}, "/", true).platformChosen);
    // After "--" nothing is an option, the toolkit's names neither.
    EXPECT_EQ(app::parseCommandLine({"--", "-reverse"}, "/", true).paths, std::vector<std::string>{"/-reverse"});
}

} // namespace
} // namespace qvo::test
