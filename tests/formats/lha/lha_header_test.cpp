// Level-2 headers and stored names.
#include "codecs/lha/lha_crc16.h"
#include "formats/lha/lha_header_writer.h"
#include "formats/lha/lha_names.h"

#include <gtest/gtest.h>

using namespace qvo::formats::lha;
using namespace qvo::codecs::lha;

namespace {

// Finds extended header `type` in a level-2 header; nullopt when absent.
std::optional<std::string> extHeader(const std::vector<uint8_t> &h, uint8_t type)
{
    size_t pos = 24;
    size_t next = h[pos] | h[pos + 1] << 8;
    pos += 2;
    while (next) {
        if (h[pos] == type)
            return std::string(h.begin() + long(pos + 1), h.begin() + long(pos + next - 2));
        pos += next;
        next = h[pos - 2] | h[pos - 1] << 8;
    }
    return std::nullopt;
}

} // namespace

TEST(LhaStoredName, SplitsFoldersWithFFAndMarksNonAsciiAsUtf8)
{
    auto n = storedLhaName("日本語/表ソ能/ファイル.txt", false);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->fileName, "ファイル.txt");
    EXPECT_EQ(n->dirName, "日本語\xFF表ソ能\xFF");
    EXPECT_EQ(n->codePage, kCodePageUtf8);
    EXPECT_EQ(n->utf16FileName, u"ファイル.txt");
    EXPECT_EQ(n->utf16DirName, u"日本語\xFFFF表ソ能\xFFFF");

    auto folder = storedLhaName("a/b", true);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->fileName, "");
    EXPECT_EQ(folder->dirName, "a\xFF" "b\xFF");
    EXPECT_FALSE(folder->codePage);
    EXPECT_TRUE(folder->utf16DirName.empty());

    // A raw (not UTF-8) name from disk is kept as it is, unmarked.
    auto raw = storedLhaName("\x95\x5C.txt", false);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->fileName, "\x95\x5C.txt");
    EXPECT_FALSE(raw->codePage);

    for (const char *bad : {"", "a//b", "../x", "a/./b", "a/", "x\xFFy"})
        EXPECT_FALSE(storedLhaName(bad, false)) << bad;
    EXPECT_EQ(utf8ToUtf16("a\xF0\x9F\x98\x80"), u"a\U0001F600");
}

TEST(LhaHeaderWriter, SizeNeverEndsInAZeroByteAndCrcCoversTheHeader)
{
    for (size_t len = 1; len < 600; ++len) {
        LhaMemberHeader h;
        h.fileName = std::string(len, 'n');
        h.originalSize = 1234;
        h.unixMode = 0100755;
        auto v = buildLevel2Header(h);
        ASSERT_FALSE(v.empty());
        ASSERT_EQ(v.size(), size_t(v[0] | v[1] << 8));
        ASSERT_NE(v[0], 0) << len; // a 0 here reads as the end of the archive
        EXPECT_EQ(v[20], 2);
        auto crcField = extHeader(v, 0x00);
        ASSERT_TRUE(crcField);
        uint16_t stored = uint16_t(uint8_t((*crcField)[0]) | uint8_t((*crcField)[1]) << 8);
        // Recompute with the field zeroed.
        auto zeroed = v;
        zeroed[27] = zeroed[28] = 0;
        EXPECT_EQ(crc16Update(0, zeroed.data(), zeroed.size()), stored);
    }
}

TEST(LhaHeaderWriter, WritesNameFolderCodePageAndPermissions)
{
    LhaMemberHeader h;
    auto n = storedLhaName("フォルダ/表.txt", false);
    h.fileName = n->fileName;
    h.dirName = n->dirName;
    h.codePage = n->codePage;
    h.utf16FileName = n->utf16FileName;
    h.utf16DirName = n->utf16DirName;
    h.unixMode = 0100600;
    auto v = buildLevel2Header(h);
    EXPECT_EQ(extHeader(v, 0x01), "表.txt");
    EXPECT_EQ(extHeader(v, 0x02), "フォルダ\xFF");
    EXPECT_EQ(extHeader(v, 0x46), std::string("\xE9\xFD\x00\x00", 4)); // 65001
    EXPECT_EQ(extHeader(v, 0x44), std::string("\x68\x88.\0t\0x\0t\0", 10));
    EXPECT_EQ(extHeader(v, 0x50), std::string("\x80\x81", 2));
    EXPECT_FALSE(extHeader(v, 0x51));
    // Too long for 16-bit header sizes: refused.
    h.fileName = std::string(70000, 'x');
    EXPECT_TRUE(buildLevel2Header(h).empty());
}

TEST(LhaStoredName, Cp932NamesSayCodePage932AndKeepTheirUtf16Headers)
{
    auto n = storedLhaName("日本語/表ソ能/予定表.txt", false, LhaNameBytes::Cp932);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->fileName, "\x97\x5C\x92\xE8\x95\x5C.txt");
    EXPECT_EQ(n->dirName, "\x93\xFA\x96\x7B\x8C\xEA\xFF\x95\x5C\x83\x5C\x94\x5C\xFF");
    EXPECT_EQ(n->codePage, kCodePageCp932);
    EXPECT_EQ(n->utf16FileName, u"予定表.txt");
    EXPECT_EQ(n->utf16DirName, u"日本語\xFFFF表ソ能\xFFFF");

    // ASCII names need no code page in either encoding.
    EXPECT_FALSE(storedLhaName("a/b.txt", false, LhaNameBytes::Cp932)->codePage);
    // 〜 has no CP932 form that reads back as 〜.
    EXPECT_FALSE(storedLhaName("〜/a.txt", false, LhaNameBytes::Cp932));

    // lhasa ends a link's name at the first 0x7C byte, also a trail byte
    // (－ is 0x81 0x7C).
    EXPECT_TRUE(lhaNameFitsCp932("リンク", true));
    EXPECT_TRUE(lhaNameFitsCp932("－", false));  // 0x81 0x7C
    EXPECT_FALSE(lhaNameFitsCp932("－", true));
    EXPECT_FALSE(lhaNameFitsCp932("〜", false));
}

// libarchive refuses the whole archive at a UTF-16 name header whose first
// byte is 0: a name beginning with U+xx00 (一 U+4E00, Ā U+0100) goes out
// with its byte name and code page only, the others keep 0x44 and 0x45.
TEST(LhaHeaderWriter, Utf16HeadersBeginningWithAZeroByteAreLeftOut)
{
    auto header = [](const char *path) {
        auto n = storedLhaName(path, false, LhaNameBytes::Utf8);
        LhaMemberHeader h;
        h.fileName = n->fileName;
        h.dirName = n->dirName;
        h.codePage = n->codePage;
        h.utf16FileName = n->utf16FileName;
        h.utf16DirName = n->utf16DirName;
        return buildLevel2Header(h);
    };
    auto first = header("一覧/一覧.txt");
    EXPECT_FALSE(extHeader(first, 0x44));
    EXPECT_FALSE(extHeader(first, 0x45));
    EXPECT_EQ(extHeader(first, 0x01), "一覧.txt");
    EXPECT_TRUE(extHeader(first, 0x46));
    auto mixed = header("丁/Āb.txt");
    EXPECT_FALSE(extHeader(mixed, 0x44));
    EXPECT_EQ(extHeader(mixed, 0x45), std::string("\x01\x4E\xFF\xFF", 4));
    auto kept = header("万/丁.txt");
    EXPECT_EQ(extHeader(kept, 0x44), std::string("\x01\x4E.\0t\0x\0t\0", 10));
    EXPECT_TRUE(extHeader(kept, 0x45));
}
