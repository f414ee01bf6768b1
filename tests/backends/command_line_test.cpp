// Every back-end builds its command lines from fixed pieces; the archiver
// libraries parse exactly these, spacing included.  Each row goes through
// the real binding into a fake library that records what arrived.
#include "backends/archive_cab.h"
#include "backends/archive_lha.h"
#include "backends/archive_rar.h"
#include "backends/archive_zip.h"
#include "fake_archivers.h"

#include <gtest/gtest.h>

using namespace qvo::backends;
using qvo::test::FakeArchivers;

namespace {

const std::string kSource = "/home/ユーザー/古い 書庫/表ソ能.lzh";
const std::string kDest = "/tmp/Qvo/1/";

struct ExtractRow {
    bool restorePath, showDialog, overWrite;
    std::string expected;
};

struct CompressRow {
    bool savePath, showDialog;
    int32_t level;
    std::string expected;
};

clsArchiveActionOption extractOption(const ExtractRow &row, const std::string &dest = kDest)
{
    clsArchiveActionOption o;
    o.isRestorePath(row.restorePath);
    o.isShowDialog(row.showDialog);
    o.isOverWrite(row.overWrite);
    o.beforeFileName(kSource);
    o.targetPathName(dest);
    return o;
}

clsArchiveActionOption compressOption(const CompressRow &row, const std::string &after,
                                      const std::string &folder)
{
    clsArchiveActionOption o;
    o.isSavePath(row.savePath);
    o.isShowDialog(row.showDialog);
    o.compressLevel(row.level);
    o.afterFileName(after);
    o.targetPathName(folder);
    return o;
}

// The single command call recorded since the last clear; checks that no
// window, no output buffer and size 0 were passed.
std::string lastCommand(const FakeArchivers &fakes, const std::string &library)
{
    const auto calls = fakes.calls();
    EXPECT_EQ(calls.size(), 1u);
    if (calls.empty())
        return {};
    EXPECT_EQ(calls.back().library, library);
    EXPECT_EQ(calls.back().args, "hwnd=0 output=0 size=0");
    fakes.clearCalls();
    return calls.back().cmdLine;
}

} // namespace

TEST(LhaCommandLine, Extract)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveLHA lha;
    const std::string tail = "\"" + kSource + "\" \"" + kDest + "\"";
    const ExtractRow rows[] = {
        {true, false, false, "x  -n " + tail},
        {true, false, true, "x  -n -jyo " + tail},
        {true, true, false, "x " + tail},
        {true, true, true, "x -jyo " + tail},
        {false, false, false, "e  -n " + tail},
        {false, false, true, "e  -n -jyo " + tail},
        {false, true, false, "e " + tail},
        {false, true, true, "e -jyo " + tail},
    };
    for (const auto &row : rows) {
        auto option = extractOption(row);
        EXPECT_EQ(lha.extract(option), 0);
        EXPECT_EQ(lastCommand(fakes, "unlha32"), row.expected);
    }

    // An empty source name is still sent, as two adjacent quotes.
    auto option = extractOption({true, false, false, ""});
    option.beforeFileName("");
    EXPECT_EQ(lha.extract(option), 0);
    EXPECT_EQ(lastCommand(fakes, "unlha32"), "x  -n \"\" \"" + kDest + "\"");
}

TEST(LhaCommandLine, Compress)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveLHA lha;
    const std::string after = "/out/新しい 書庫.lzh";
    const std::string tail = " \"" + after + "\" \"" + kDest + "\"";
    const CompressRow rows[] = {
        {true, false, 2, "a -x1 -n -r2 -jm2" + tail},
        {true, true, 4, "a -x1 -r2 -jm4" + tail},
        {false, false, 0, "a -n -r2 -jm0" + tail},
        {false, true, 1, "a -r2 -jm1" + tail},
        // Levels are not checked or mapped.
        {true, false, -1, "a -x1 -n -r2 -jm-1" + tail},
        {true, false, 12, "a -x1 -n -r2 -jm12" + tail},
    };
    for (const auto &row : rows) {
        auto option = compressOption(row, after, kDest);
        EXPECT_EQ(lha.compress(option), 0);
        EXPECT_EQ(lastCommand(fakes, "unlha32"), row.expected);
    }
}

TEST(ZipCommandLine, ExtractWithUnzip)
{
    FakeArchivers fakes;
    fakes.add("unzip32.so").add("Zip32J.so");
    clsArchiveZIP zip;
    ASSERT_FALSE(zip.useSevenZip());
    const std::string tail = "\"" + kSource + "\" \"" + kDest + "\"";
    const ExtractRow rows[] = {
        {true, false, false, "-x -q " + tail},  {true, false, true, "-x -q -o " + tail},
        {true, true, false, "-x " + tail},      {true, true, true, "-x -o " + tail},
        {false, false, false, "-x -j -q " + tail}, {false, false, true, "-x -j -q -o " + tail},
        {false, true, false, "-x -j " + tail},  {false, true, true, "-x -j -o " + tail},
    };
    for (const auto &row : rows) {
        auto option = extractOption(row);
        EXPECT_EQ(zip.extract(option), 0);
        EXPECT_EQ(lastCommand(fakes, "unzip32"), row.expected);
    }
}

TEST(ZipCommandLine, ExtractWithSevenZipEvenWhenUnzipIsPresent)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveZIP zip;
    ASSERT_TRUE(zip.useSevenZip());
    const std::string tail = "\"" + kSource + "\" \"" + kDest + "\"";
    const ExtractRow rows[] = {
        {true, false, false, "x -hide " + tail}, {true, false, true, "x -hide -aoa " + tail},
        {true, true, false, "x " + tail},        {true, true, true, "x -aoa " + tail},
        {false, false, false, "e -hide " + tail}, {false, false, true, "e -hide -aoa " + tail},
        {false, true, false, "e " + tail},       {false, true, true, "e -aoa " + tail},
    };
    for (const auto &row : rows) {
        auto option = extractOption(row);
        EXPECT_EQ(zip.extract(option), 0);
        EXPECT_EQ(lastCommand(fakes, "7-zip32"), row.expected);
    }
}

TEST(ZipCommandLine, CompressNamesNoFolder)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveZIP zip;
    const std::string folder = fakes.scratch().string() + "/作業 1/";
    std::filesystem::create_directories(folder);
    const std::string after = "/out/新しい 書庫.zip";
    const std::string tail = " \"" + after + "\" *.*";
    const CompressRow rows[] = {
        {true, false, 6, "-r -q -6" + tail},
        {true, true, 9, "-r -9" + tail},
        {false, false, 0, "-j -q -0" + tail},
        {false, true, -1, "-j --1" + tail},
    };
    for (const auto &row : rows) {
        auto option = compressOption(row, after, folder);
        EXPECT_EQ(zip.compress(option), 0);
        EXPECT_EQ(lastCommand(fakes, "Zip32J"), row.expected);
    }
}

TEST(CabCommandLine, Extract)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveCAB cab;
    const std::string tail = "\"" + kSource + "\" \"" + kDest + "\"";
    const ExtractRow rows[] = {
        {true, false, false, "-x  -i " + tail},     {true, false, true, "-x  -i -o " + tail},
        {true, true, false, "-x " + tail},          {true, true, true, "-x -o " + tail},
        {false, false, false, "-x -j  -i " + tail}, {false, false, true, "-x -j  -i -o " + tail},
        {false, true, false, "-x -j " + tail},      {false, true, true, "-x -j -o " + tail},
    };
    for (const auto &row : rows) {
        auto option = extractOption(row);
        EXPECT_EQ(cab.extract(option), 0);
        EXPECT_EQ(lastCommand(fakes, "cab32"), row.expected);
    }
}

TEST(CabCommandLine, CompressMapsLevelRangesToMethods)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveCAB cab;
    const std::string folder = fakes.scratch().string() + "/work/";
    std::filesystem::create_directories(folder);
    const std::string after = "/out/a b.cab";
    const std::string tail = " \"" + after + "\" *.*";
    const CompressRow rows[] = {
        {true, false, 0, "-a -r -i -ml:15" + tail},
        {true, false, 6, "-a -r -i -ml:21" + tail},
        {true, false, 7, "-a -r -i -ml:22" + tail},
        {true, false, 9, "-a -r -i -ml:24" + tail},
        {true, false, -1, "-a -r -i -ml:14" + tail},
        {true, false, 10, "-a -r -i -mz" + tail},
        {true, false, 16, "-a -r -i -mz" + tail},
        {true, false, 19, "-a -r -i -mz" + tail},
        {true, false, 20, "-a -r -i -ms" + tail},
        {true, false, 26, "-a -r -i -ms" + tail},
        {false, true, 10, "-a -mz" + tail},
        {false, false, 3, "-a -i -ml:18" + tail},
        {true, true, 20, "-a -r -ms" + tail},
    };
    for (const auto &row : rows) {
        auto option = compressOption(row, after, folder);
        EXPECT_EQ(cab.compress(option), 0);
        EXPECT_EQ(lastCommand(fakes, "cab32"), row.expected) << "level " << row.level;
    }
}

TEST(CabCommandLine, ExtremeLevelsDoNotOverflow)
{
    clsArchiveActionOption o;
    o.isSavePath(true);
    o.isShowDialog(true);
    o.afterFileName("/a.cab");
    o.compressLevel(INT32_MIN);
    EXPECT_EQ(clsArchiveCAB::compressCommand(o), "-a -r -ml:-2147483633 \"/a.cab\" *.*");
    o.compressLevel(INT32_MAX);
    EXPECT_EQ(clsArchiveCAB::compressCommand(o), "-a -r -ms \"/a.cab\" *.*");
}

TEST(RarCommandLine, ExtractAppendsASeparatorToTheDestination)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveRAR rar;
    const std::string src = "\"" + kSource + "\" ";
    const ExtractRow rows[] = {
        {true, false, false, "-x -q " + src + "\"/tmp/Qvo/1//\""},
        {true, false, true, "-x -q -o " + src + "\"/tmp/Qvo/1//\""},
        {true, true, false, "-x " + src + "\"/tmp/Qvo/1//\""},
        {true, true, true, "-x -o " + src + "\"/tmp/Qvo/1//\""},
        {false, false, false, "-e -q " + src + "\"/tmp/Qvo/1//\""},
        {false, false, true, "-e -q -o " + src + "\"/tmp/Qvo/1//\""},
        {false, true, false, "-e " + src + "\"/tmp/Qvo/1//\""},
        {false, true, true, "-e -o " + src + "\"/tmp/Qvo/1//\""},
    };
    for (const auto &row : rows) {
        auto option = extractOption(row);
        EXPECT_EQ(rar.extract(option), 0);
        EXPECT_EQ(lastCommand(fakes, "unrar32"), row.expected);
    }
    // Without a trailing separator the destination gets exactly one.
    auto option = extractOption({true, true, false, ""}, "/tmp/Qvo/1");
    EXPECT_EQ(rar.extract(option), 0);
    EXPECT_EQ(lastCommand(fakes, "unrar32"), "-x " + src + "\"/tmp/Qvo/1/\"");
}

TEST(RarCommandLine, CompressIsRefusedWithoutTouchingAnything)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveRAR rar;
    clsArchiveActionOption option;
    option.isSavePath(true);
    option.afterFileName((fakes.scratch() / "out.rar").string());
    option.targetPathName(fakes.scratch().string() + "/");
    EXPECT_EQ(rar.compress(option), -1);
    EXPECT_TRUE(fakes.calls().empty());
    EXPECT_FALSE(std::filesystem::exists(fakes.scratch() / "out.rar"));

    FakeArchivers none;
    clsArchiveRAR missing;
    EXPECT_EQ(missing.compress(option), -1);
}

TEST(CommandLines, LibraryResultsPassThroughUnchanged)
{
    FakeArchivers fakes;
    fakes.addAll();
    qvo::test::ScopedEnv result("QVO_FAKE_RESULT", "32770");
    clsArchiveLHA lha;
    clsArchiveRAR rar;
    clsArchiveZIP zip;
    auto option = extractOption({true, false, false, ""});
    EXPECT_EQ(lha.extract(option), 32770);
    EXPECT_EQ(rar.extract(option), 32770);
    qvo::test::ScopedEnv negative("QVO_FAKE_RESULT", "-7");
    EXPECT_EQ(zip.extract(option), -7);
}

// The command lines have no escape character: a '"' inside a path would end
// the quoted token early and let the rest pass as switches or extra paths.
// A conversion says so, and a run that checks the new archive asks for the
// list of the source's members: the switches come last before the paths,
// the list's path after them.  Without them every line is as above.
TEST(CommandLines, ConversionSwitchesAndListPathOnlyWhenAsked)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveLHA lha;
    clsArchiveZIP zip;
    clsArchiveCAB cab;
    clsArchiveRAR rar;
    const std::string list = "/tmp/Qvo/members_7/source";
    const std::string paths = "\"" + kSource + "\" \"" + kDest;
    const struct {
        clsArchiveBackEnd *backEnd;
        std::string library, expected;
    } rows[] = {
        {&lha, "unlha32", "x  -n -jyo --member-list " + paths + "\" \"" + list + "\""},
        {&zip, "7-zip32", "x -hide -aoa --member-list " + paths + "\" \"" + list + "\""},
        {&cab, "cab32", "-x  -i -o --member-list " + paths + "\" \"" + list + "\""},
        {&rar, "unrar32", "-x -q -o --member-list " + paths + "/\" \"" + list + "\""},
    };
    for (const auto &row : rows) {
        auto option = extractOption({true, false, true, ""});
        option.memberListFile(list);
        EXPECT_EQ(row.backEnd->extract(option), 0);
        EXPECT_EQ(lastCommand(fakes, row.library), row.expected);
    }
    // A conversion's working folder: links there are data.
    auto conversion = extractOption({true, false, false, ""});
    conversion.isConversion(true);
    EXPECT_EQ(lha.extract(conversion), 0);
    EXPECT_EQ(lastCommand(fakes, "unlha32"), "x  -n --conversion " + paths + "\"");
    conversion.memberListFile(list);
    EXPECT_EQ(zip.extract(conversion), 0);
    EXPECT_EQ(lastCommand(fakes, "7-zip32"), "x -hide --conversion --member-list " + paths + "\" \"" + list + "\"");

    auto hostile = extractOption({true, false, true, ""});
    hostile.memberListFile("/tmp/x\" -o \"y");
    EXPECT_EQ(lha.extract(hostile), -1);
    EXPECT_TRUE(fakes.calls().empty());
}

// Names judged per archive send nothing: the lines stay as above.  A named
// encoding goes as one token after the conversion's other switches.
TEST(CommandLines, NamesSwitchOnlyWhenAnEncodingIsNamed)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveLHA lha;
    clsArchiveCAB cab;
    const std::string paths = "\"" + kSource + "\" \"" + kDest;
    auto option = extractOption({true, false, false, ""});
    option.isConversion(true);
    EXPECT_EQ(lha.extract(option), 0);
    EXPECT_EQ(lastCommand(fakes, "unlha32"), "x  -n --conversion " + paths + "\"");
    option.nameCharset("GB18030");
    EXPECT_EQ(lha.extract(option), 0);
    EXPECT_EQ(lastCommand(fakes, "unlha32"), "x  -n --conversion --names=GB18030 " + paths + "\"");
    option.nameCharset("GB18030 \"/etc\""); // not an encoding we offer: nothing sent
    EXPECT_EQ(cab.extract(option), 0);
    EXPECT_EQ(lastCommand(fakes, "cab32"), "-x  -i --conversion " + paths + "\"");
}

TEST(CommandLines, PathsThatCannotBeQuotedAreRefusedBeforeAnyCall)
{
    FakeArchivers fakes;
    fakes.addAll();
    const std::string folder = fakes.scratch().string() + "/work/";
    std::filesystem::create_directories(folder);
    clsArchiveLHA lha;
    clsArchiveZIP zip;
    clsArchiveCAB cab;
    clsArchiveRAR rar;
    std::vector<clsArchiveBackEnd *> all = {&lha, &zip, &cab, &rar};

    clsArchiveActionOption hostileSource;
    hostileSource.beforeFileName("/in/x\" \"/home/victim/\" \".lzh");
    hostileSource.targetPathName(folder);
    for (auto *backEnd : all)
        EXPECT_EQ(backEnd->extract(hostileSource), -1);

    clsArchiveActionOption hostileTarget;
    hostileTarget.afterFileName("/out/x\" -o \"y.zip");
    hostileTarget.targetPathName(folder);
    for (auto *backEnd : all)
        EXPECT_EQ(backEnd->compress(hostileTarget), -1);

    EXPECT_TRUE(fakes.calls().empty());
}

// CP932 names, asked for by qvo-convert, add one switch of our own before
// the archive; the lines of everyone else stay as they always were.
TEST(CommandLines, Cp932NamesSwitchOnlyWhenAsked)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveLHA lha;
    clsArchiveZIP zip;
    clsArchiveCAB cab;
    const std::string folder = fakes.scratch().string() + "/work/";
    std::filesystem::create_directories(folder);
    const struct {
        clsArchiveBackEnd *backEnd;
        std::string library, after, expected;
    } rows[] = {
        {&lha, "unlha32", "/o/a.lzh", "a -x1 -n -r2 -jm2 --cp932-names \"/o/a.lzh\" \"" + folder + "\""},
        {&zip, "Zip32J", "/o/a.zip", "-r -q -2 --cp932-names \"/o/a.zip\" *.*"},
        {&cab, "cab32", "/o/a.cab", "-a -r -i -ml:17 --cp932-names \"/o/a.cab\" *.*"},
    };
    for (const auto &row : rows) {
        auto option = compressOption({true, false, 2, ""}, row.after, folder);
        option.cp932Names(true);
        EXPECT_EQ(row.backEnd->compress(option), 0);
        EXPECT_EQ(lastCommand(fakes, row.library), row.expected);
        option.cp932Names(false);
        EXPECT_EQ(row.backEnd->compress(option), 0);
        EXPECT_EQ(lastCommand(fakes, row.library).find("--cp932-names"), std::string::npos);
    }
}
