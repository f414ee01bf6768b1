// Archives built here to attack the extraction: traversal, absolute paths,
// links that leave the destination, CP932 names whose second byte is '\',
// members that share bytes, and a bomb against a size limit.
#include "archive_builders.h"
#include "reader_test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using namespace qvo::test;
using namespace qvo::archivers;

namespace {

// A work folder with the destination, a canary beside it, and the archive.
struct Scene {
    TempDir dir;
    fs::path dest = dir / "dest";
    fs::path canary = dir / "canary";
    fs::path archive;

    explicit Scene(const std::string &archiveName, const std::string &bytes)
    {
        fs::create_directories(dest);
        writeFile(canary / "keep.txt", "canary");
        archive = dir / archiveName;
        writeFile(archive, bytes);
    }
    // Nothing but dest, canary and the archive beside each other, the canary
    // untouched, no link below dest that leaves it.
    void expectNothingOutside() const
    {
        std::vector<std::string> names;
        for (auto &e : fs::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::vector<std::string> expected{"canary", "dest", archive.filename().string()};
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
        EXPECT_EQ(snapshot(canary).size(), 1u);
        EXPECT_EQ(readFile(canary / "keep.txt"), "canary");
        EXPECT_TRUE(noLinkLeaves(dest));
    }
};

CallOutcome unzip(const Scene &s, const std::string &limit = {})
{
    return callArchiver(kUnZip, "-x -q " + quoted(s.archive) + " " + quoted(s.dest), 60, limit);
}

CallOutcome sevenZip(const Scene &s)
{
    return callArchiver(kSevenZip, "x -hide " + quoted(s.archive) + " " + quoted(s.dest));
}

const std::string kHyou = "\x95\x5C";  // 表
const std::string kSo = "\x83\x5C";    // ソ
const std::string kNou = "\x94\x5C";   // 能

} // namespace

TEST(HostileZip, TraversalAndAbsoluteNamesAreRefusedOthersExtracted)
{
    Scene s("t.zip", buildZip({zipFile("../escape.txt", "x"),
                               zipFile("/tmp/qvo-absolute-probe.txt", "x"),
                               zipFile("a/../../escape2.txt", "x"),
                               zipFile("..\\escape3.txt", "x"),
                               zipFile("C:\\drive.txt", "x"),
                               zipFile("ok/inside.txt", "fine")}));
    CallOutcome o = unzip(s);
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_NE(o.result, kOk);
    EXPECT_FALSE(fs::exists("/tmp/qvo-absolute-probe.txt"));
    EXPECT_EQ(readFile(s.dest / "ok/inside.txt"), "fine");
    s.expectNothingOutside();
}

TEST(HostileZip, LinkOutsideIsRefusedAndNothingIsWrittenThroughIt)
{
    Scene s("l.zip", buildZip({zipLink("out", "../canary"),
                               zipFile("out/keep.txt", "overwritten"),
                               zipLink("abs", "/etc"),
                               zipLink("in", "sub"),
                               zipFile("sub/f.txt", "inside")}));
    CallOutcome o = unzip(s);
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_NE(o.result, kOk);
    s.expectNothingOutside();
    EXPECT_FALSE(fs::is_symlink(s.dest / "out"));
    EXPECT_FALSE(fs::is_symlink(s.dest / "abs"));
    // A link that stays inside is made, after the files.
    EXPECT_TRUE(fs::is_symlink(s.dest / "in"));
    EXPECT_EQ(readFile(s.dest / "in/f.txt"), "inside");
}

TEST(HostileZip, Cp932NamesWithBackslashSecondByteStayWhole)
{
    Scene s("j.zip", buildZip({zipFile(kHyou + ".txt", "hyou"),
                               zipFile(kSo + "\\" + kNou + ".txt", "nested")}));
    CallOutcome o = unzip(s);
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk);
    EXPECT_EQ(readFile(s.dest / "表.txt"), "hyou");
    EXPECT_EQ(readFile(s.dest / "ソ/能.txt"), "nested");
    EXPECT_EQ(snapshot(s.dest).size(), 3u);
}

TEST(HostileZip, UnicodeMarkersWinOnlyWhenValid)
{
    std::string raw = kHyou + ".txt";
    Scene s("u.zip", buildZip({zipFile("\xE6\x97\xA5.txt", "flagged", 0x0800),
                               zipFile(raw, "extra", 0, unicodePathExtra(raw, "uni-表.txt")),
                               zipFile(kNou + ".txt", "badcrc", 0, unicodePathExtra(kNou + ".txt", "wrong.txt", false))}));
    CallOutcome o = unzip(s);
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk);
    EXPECT_EQ(readFile(s.dest / "日.txt"), "flagged");
    EXPECT_EQ(readFile(s.dest / "uni-表.txt"), "extra");
    EXPECT_EQ(readFile(s.dest / "能.txt"), "badcrc");
    EXPECT_FALSE(fs::exists(s.dest / "wrong.txt"));
}

// Members that share bytes: several central entries at one local record,
// or a member whose data holds the next member's local record.  Readers
// take one member for several, or the same bytes again and again (how
// overlapping bombs multiply one stream): the archive is refused before
// anything is written, on libarchive's path and on our own reader's (a NUL
// in a name sends the archive there), miscounted directory or not.
TEST(HostileZip, OverlappingMembersAreRefusedWithNothingWritten)
{
    std::string shared = buildZip({zipFile("a.txt", "same"), zipFile("b.txt", "same"), zipFile("c.txt", "same")});
    setZipLocalOffset(shared, 1, 0);
    setZipLocalOffset(shared, 2, 0);
    std::string sharedOwnReader = buildZip({zipFile("a.txt", "same"), zipFile(std::string("b\0.txt", 6), "same")});
    setZipLocalOffset(sharedOwnReader, 1, 0);
    // An end record that claims a member more than the directory holds.
    std::string miscounted = shared;
    miscounted[miscounted.size() - 22 + 8] = miscounted[miscounted.size() - 22 + 10] = '\x04';
    // b.txt's local record is a.bin's data.
    const std::string innerRecord = buildZip({zipFile("b.txt", "inner")}).substr(0, 30 + 5 + 5);
    std::string nested = buildZip({zipFile("a.bin", innerRecord), zipFile("b.txt", "inner")});
    setZipLocalOffset(nested, 1, 30 + 5);

    const std::vector<std::function<CallOutcome(const Scene &)>> readers{[](const Scene &s) { return unzip(s); },
                                                                          sevenZip};
    for (const auto &[name, bytes] : {std::pair{"shared.zip", shared}, std::pair{"own.zip", sharedOwnReader},
                                      std::pair{"miscounted.zip", miscounted}, std::pair{"nested.zip", nested}}) {
        for (const auto &read : readers) {
            Scene s(name, bytes);
            CallOutcome o = read(s);
            ASSERT_TRUE(o.finished) << describe(o);
            EXPECT_EQ(o.result, kErrUnsafeEntry) << name << ": " << describe(o);
            EXPECT_TRUE(fs::is_empty(s.dest)) << name;
            s.expectNothingOutside();
        }
    }
    // The same members, each with a record of its own, extract on both
    // paths, a record's look-alike inside a member's data notwithstanding.
    const std::vector<ZipMember> sound{zipFile("a.bin", innerRecord), zipFile("b.txt", "inner")};
    std::vector<ZipMember> soundOwnReader = sound;
    soundOwnReader.push_back(zipFile(std::string("c\0.txt", 6), "same"));
    for (const auto &members : {sound, soundOwnReader}) {
        for (const auto &read : readers) {
            Scene s("sound.zip", buildZip(members));
            CallOutcome o = read(s);
            ASSERT_TRUE(o.finished) << describe(o);
            EXPECT_EQ(o.result, kOk) << describe(o);
            EXPECT_EQ(readFile(s.dest / "a.bin"), innerRecord);
            EXPECT_EQ(readFile(s.dest / "b.txt"), "inner");
            EXPECT_EQ(snapshot(s.dest).size(), members.size());
        }
    }
}

TEST(HostileZip, BombStopsAtTheLimitAndLeavesNoPartialFile)
{
    Scene s("b.zip", buildZip({zipFile("small.txt", "small"), zipZeros("bomb.bin", 64ull << 20)}));
    CallOutcome o = unzip(s, std::to_string(1 << 20));
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kErrSpaceLimit);
    EXPECT_FALSE(fs::exists(s.dest / "bomb.bin"));
    s.expectNothingOutside();
    // The same archive under a generous limit extracts whole.
    fs::remove_all(s.dest);
    fs::create_directories(s.dest);
    o = unzip(s, std::to_string(128 << 20));
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk);
    EXPECT_EQ(fs::file_size(s.dest / "bomb.bin"), 64ull << 20);
}

TEST(HostileLha, Cp932NamesAndFfSeparatorsDecodeBeforeSplitting)
{
    Scene s("j.lzh", buildLha({lhaFile(kHyou + ".txt", "", "hyou"),
                               lhaFile(kNou + ".txt", kHyou + "\xFF" + kSo + "\xFF", "deep"),
                               lhaDir(kSo + "\xFF")}));
    CallOutcome o = callArchiver(kUnlha, "x  -n " + quoted(s.archive) + " " + quoted(s.dest));
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk);
    EXPECT_EQ(readFile(s.dest / "表.txt"), "hyou");
    EXPECT_EQ(readFile(s.dest / "表/ソ/能.txt"), "deep");
    EXPECT_TRUE(fs::is_directory(s.dest / "ソ"));
    EXPECT_EQ(snapshot(s.dest).size(), 5u);
}

TEST(HostileLha, TraversalIsRefusedAndLeadingSeparatorsStayInside)
{
    Scene s("t.lzh", buildLha({lhaFile("escape.txt", "..\xFF..\xFF", "x"),
                               lhaFile("full.txt", "\xFFtmp\xFF", "full path")}));
    CallOutcome o = callArchiver(kUnlha, "x -n " + quoted(s.archive) + " " + quoted(s.dest));
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_NE(o.result, kOk);
    // Full paths as LHMelt and MacLHA store them land below the destination.
    EXPECT_EQ(readFile(s.dest / "tmp/full.txt"), "full path");
    s.expectNothingOutside();
}

TEST(HostileLha, CorruptDataLeavesNoFile)
{
    std::string bytes = buildLha({lhaFile("good.txt", "", "good data"), lhaFile("bad.txt", "", "bad data")});
    size_t at = bytes.rfind("bad data");
    bytes[at] = 'X'; // CRC no longer matches
    Scene s("c.lzh", bytes);
    CallOutcome o = callArchiver(kUnlha, "x -n " + quoted(s.archive) + " " + quoted(s.dest));
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kErrCorrupt);
    EXPECT_EQ(readFile(s.dest / "good.txt"), "good data");
    EXPECT_FALSE(fs::exists(s.dest / "bad.txt"));
}

TEST(HostileLha, TruncatedArchivesFailInHeadersAndData)
{
    std::string whole = buildLha({lhaFile("one.txt", "", "first member"), lhaFile("two.txt", "sub\xFF", "second")});
    size_t second = whole.find("-lh0-", 10) - 2; // start of the second header
    for (size_t cut : {second + 3, second + 20, second + 30, whole.size() - 4}) {
        SCOPED_TRACE(cut);
        Scene s("t.lzh", whole.substr(0, cut));
        CallOutcome o = callArchiver(kUnlha, "x -n " + quoted(s.archive) + " " + quoted(s.dest));
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kErrCorrupt);
        EXPECT_EQ(readFile(s.dest / "one.txt"), "first member");
        EXPECT_FALSE(fs::exists(s.dest / "sub/two.txt"));
    }
    // Without the final 0 byte the archive is whole.
    Scene s("w.lzh", whole.substr(0, whole.size() - 1));
    EXPECT_EQ(callArchiver(kUnlha, "x -n " + quoted(s.archive) + " " + quoted(s.dest)).result, kOk);
    EXPECT_EQ(readFile(s.dest / "sub/two.txt"), "second");
}

TEST(HostileLha, UnicodeAndCodePageHeadersChooseTheNameEncoding)
{
    LhaMember utf8 = lhaFile("\xE6\x97\xA5\xE6\x9C\xAC.txt", "", "code page"); // 日本.txt
    std::string cp;
    appendLe32(cp, 65001);
    utf8.extraHeaders.push_back({0x46, cp});
    LhaMember utf16 = lhaFile("fallback.txt", "", "utf16");
    utf16.extraHeaders.push_back({0x44, std::string("\xE6\x30\xCB\x30.\0t\0x\0t\0", 12)}); // ユニ.txt
    LhaMember plain = lhaFile("\x93\xFA\x96\x7B.txt", "", "cp932");                       // 日本.txt in CP932
    plain.rawDir = "sjis\xFF";
    Scene s("u.lzh", buildLha({utf8, utf16, plain}));
    CallOutcome o = callArchiver(kUnlha, "x -n " + quoted(s.archive) + " " + quoted(s.dest));
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk);
    EXPECT_EQ(readFile(s.dest / "日本.txt"), "code page");
    EXPECT_EQ(readFile(s.dest / "ユニ.txt"), "utf16");
    EXPECT_EQ(readFile(s.dest / "sjis/日本.txt"), "cp932");
    EXPECT_FALSE(fs::exists(s.dest / "fallback.txt"));
}
