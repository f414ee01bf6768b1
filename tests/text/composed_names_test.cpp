#include "text/composed_names.h"
#include "text/cp932.h"

#include <gtest/gtest.h>

using namespace qvo::text;

namespace {

// "が" and "パ" as a Mac writes them: base letter, then the combining mark.
const std::string kGaNfd = "\xE3\x81\x8B\xE3\x82\x99";   // か U+3099
const std::string kPaNfd = "\xE3\x83\x8F\xE3\x82\x9A";   // ハ U+309A
const std::string kCafeNfd = "cafe\xCC\x81";              // e U+0301

} // namespace

TEST(ComposedNames, DecomposedNamesComposeAndOthersStay)
{
    EXPECT_EQ(composedName(kGaNfd + "ぞう/" + kPaNfd + "ン.txt"), "がぞう/パン.txt");
    EXPECT_EQ(composedName(kCafeNfd), "café");
    EXPECT_EQ(composedName("がぞう.txt"), "がぞう.txt");
    EXPECT_EQ(composedName("plain/name.txt"), "plain/name.txt");
    // Raw bytes (CP932 from disk) are not text to compose.
    EXPECT_EQ(composedName("\x95\x5C.txt"), "\x95\x5C.txt");
}

TEST(ComposedNames, TwoFormsOfOneNameClashAndNothingIsComposed)
{
    NameClash clash;
    EXPECT_FALSE(composedNames({"a.txt", kGaNfd, "が", "b"}, &clash));
    EXPECT_EQ(clash, NameClash(kGaNfd, "が"));

    // A name listed twice is one name, not a clash.
    auto same = composedNames({kGaNfd, kGaNfd, "x"});
    ASSERT_TRUE(same);
    EXPECT_EQ(*same, (std::vector<std::string>{"が", "が", "x"}));
}

TEST(Cp932Exactly, OnlyFormsThatReadBackAsTheSameText)
{
    EXPECT_EQ(utf8ToCp932Exactly("表ソ能.txt").value(), "\x95\x5C\x83\x5C\x94\x5C.txt");
    EXPECT_EQ(utf8ToCp932Exactly("～①髙").value(), "\x81\x60\x87\x40\xFB\xFC");
    // iconv writes these, but they read back as other characters: 〜 as ～,
    // ¥ as "\" (a separator), − as －.
    for (const char *changed : {"〜.txt", "¥100", "−1"})
        EXPECT_FALSE(utf8ToCp932Exactly(changed)) << changed;
    EXPECT_FALSE(utf8ToCp932Exactly("\xF0\x9F\x98\x80")); // no CP932 form at all

    // Names for a CP932 archive: raw bytes stay, ASCII stays, text converts.
    EXPECT_EQ(nameInCp932("\x95\x5C.txt").value(), "\x95\x5C.txt");
    EXPECT_EQ(nameInCp932("a/b.txt").value(), "a/b.txt");
    EXPECT_EQ(nameInCp932("予定表").value(), "\x97\x5C\x92\xE8\x95\x5C");
    EXPECT_FALSE(nameInCp932("〜"));
}
