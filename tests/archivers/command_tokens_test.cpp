#include "archivers/command/command_line.h"

#include <gtest/gtest.h>

using namespace qvo::archivers::command;

TEST(CommandLine, QuotedPathsKeepSpacesAndJapanese)
{
    std::vector<Token> t;
    ASSERT_TRUE(tokenizeCommandLine("x  -n -jyo \"/tmp/a b/書庫.lzh\" \"/tmp/出力 先/\"", t));
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].text, "x");
    EXPECT_TRUE(isSwitch(t[1]));
    EXPECT_EQ(t[3].text, "/tmp/a b/書庫.lzh");
    EXPECT_TRUE(t[3].quoted);
    EXPECT_EQ(t[4].text, "/tmp/出力 先/");
    EXPECT_FALSE(isSwitch(t[3]));
}

TEST(CommandLine, EmptyQuotesAreAnEmptyTokenAndOpenQuoteFails)
{
    std::vector<Token> t;
    ASSERT_TRUE(tokenizeCommandLine("x \"\" \"/d/\"", t));
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].text, "");
    EXPECT_TRUE(t[1].quoted);
    EXPECT_FALSE(tokenizeCommandLine("x \"/unterminated", t));
}
