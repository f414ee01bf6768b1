#include "text/cp932.h"

#include <gtest/gtest.h>

using namespace qvo::text;

TEST(Cp932, DecodesNamesWhoseSecondByteIsBackslash)
{
    // 表 = 0x95 0x5C, ソ = 0x83 0x5C, 能 = 0x94 0x5C
    EXPECT_EQ(cp932ToUtf8("\x95\x5C\x83\x5C\x94\x5C.txt"), "表ソ能.txt");
    EXPECT_EQ(utf8ToCp932("表ソ能.txt").value(), "\x95\x5C\x83\x5C\x94\x5C.txt");
}

TEST(Cp932, InvalidBytesStayVisibleAndDistinct)
{
    EXPECT_EQ(cp932ToUtf8("a\xFF" "b"), "a%FFb");
    EXPECT_NE(cp932ToUtf8("\xFF"), cp932ToUtf8("\xFE"));
    EXPECT_EQ(cp932ToUtf8("\x95"), "%95"); // lead byte at the end
}

TEST(Cp932, EncodingRefusesWhatCp932CannotHold)
{
    EXPECT_FALSE(utf8ToCp932("emoji \xF0\x9F\x98\x80").has_value());
    EXPECT_FALSE(utf8ToCp932("\xC0\xAF").has_value()); // overlong '/'
    EXPECT_EQ(utf8ToCp932("plain.txt").value(), "plain.txt");
    EXPECT_EQ(utf8ToCp932("ｶﾅ").value(), "\xB6\xC5"); // half-width kana
}

TEST(Utf8, Validation)
{
    EXPECT_TRUE(isValidUtf8("日本語"));
    EXPECT_FALSE(isValidUtf8("\xE6\x97"));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")); // surrogate
}
