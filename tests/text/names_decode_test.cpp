#include "text/archive_names.h"

#include <gtest/gtest.h>

using namespace qvo::text;

TEST(ArchiveNames, Cp932SecondByte5CIsNotASeparator)
{
    // 表\ソ能.txt: 0x95 0x5C, then a real "\", then 0x83 0x5C, 0x94 0x5C.
    EXPECT_EQ(archiveNameToUtf8("\x95\x5C\\\x83\x5C\x94\x5C.txt", NameEncoding::Cp932),
              "表/ソ能.txt");
    EXPECT_EQ(archiveNameToUtf8("dir\\..\\x", NameEncoding::Cp932), "dir/../x");
}

TEST(ArchiveNames, Utf8MarkerTrustedOnlyWhenValid)
{
    EXPECT_EQ(archiveNameToUtf8("フォルダ\\表.txt", NameEncoding::Utf8), "フォルダ/表.txt");
    // Claimed UTF-8 but really CP932: decoded as CP932.
    EXPECT_EQ(archiveNameToUtf8("\x95\x5C.txt", NameEncoding::Utf8), "表.txt");
}

TEST(ArchiveNames, Utf16LittleEndian)
{
    using namespace std::string_literals;
    // "表\a" and a surrogate pair (U+1F600), then a lone surrogate.
    std::string raw = "\x68\x88\x5C\x00\x61\x00\x3D\xD8\x00\xDE\x00\xD8"s;
    EXPECT_EQ(archiveNameToUtf8(raw, NameEncoding::Utf16Le), "表/a\xF0\x9F\x98\x80%uD800");
    EXPECT_EQ(archiveNameToUtf8("a\x00z"s, NameEncoding::Utf16Le), "a%7A"); // odd length
}

TEST(ArchiveNames, LhaFolderFieldSeparators)
{
    using namespace std::string_literals;
    // CP932 folder "表\xFFソ\xFF": 0xFF separates, 0x5C inside characters does not.
    EXPECT_EQ(lhaPathToUtf8("\x95\x5C\xFF\x83\x5C\xFF", NameEncoding::Cp932), "表/ソ/");
    // A lead byte before 0xFF stays an undecodable byte; 0xFF still separates.
    EXPECT_EQ(lhaPathToUtf8("a\x95\xFF" "b", NameEncoding::Cp932), "a%95/b");
    EXPECT_EQ(lhaPathToUtf8("dir\xFFsub\\x", NameEncoding::Cp932), "dir/sub/x");
    EXPECT_EQ(lhaPathToUtf8("フォルダ\xFF" "sub", NameEncoding::Utf8), "フォルダ/sub");
    // UTF-16: the unit 0xFFFF separates, while 0xFF bytes inside U+30FF do not.
    EXPECT_EQ(lhaPathToUtf8("\xFF\x30\xFF\xFF\x61\x00"s, NameEncoding::Utf16Le), "ヿ/a");
    EXPECT_EQ(joinLhaPath("表/ソ/", "能.txt"), "表/ソ/能.txt");
    EXPECT_EQ(joinLhaPath("表", "能.txt"), "表/能.txt");
    EXPECT_EQ(joinLhaPath("", "能.txt"), "能.txt");
}
