// The extract commands as the back-ends send them: overwrite on and off,
// flat extraction, restored times, and lines that must be refused before
// anything is written.
#include "archive_builders.h"
#include "reader_test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <gtest/gtest.h>

#include <ctime>

namespace fs = std::filesystem;
using namespace qvo::test;
using namespace qvo::archivers;

namespace {

// One library with the switches of its back-end.
struct Dialect {
    const Archiver *archiver;
    std::string keepPaths, flat, overwrite; // leading command pieces
    bool destSlash = false;
    std::string archiveName;
};

std::string line(const Dialect &d, bool keepPaths, bool overwrite, const fs::path &archive, const fs::path &dest)
{
    std::string s = keepPaths ? d.keepPaths : d.flat;
    if (overwrite)
        s += d.overwrite;
    std::string destText = dest.string();
    if (d.destSlash)
        destText += "/";
    return s + quoted(archive) + " \"" + destText + "\"";
}

fs::path corpusPathFor(const std::string &rel)
{
    return fs::path(QVO_CORPUS_DIR) / rel;
}

int64_t mtimeOf(const fs::path &p)
{
    struct stat st {};
    stat(p.c_str(), &st);
    return st.st_mtime;
}

// Archives with "top.txt" and "sub/inner.txt" for each library.
std::string makeArchive(const Dialect &d, const fs::path &dir)
{
    fs::path archive = dir / d.archiveName;
    if (d.archiver == &kUnlha) {
        writeFile(archive, buildLha({lhaFile("top.txt", "", "top"), lhaFile("inner.txt", "sub\xFF", "inner")}));
    } else if (d.archiver == &kCab) {
        writeFile(dir / "src/top.txt", "top");
        writeFile(dir / "src/sub/inner.txt", "inner");
        EXPECT_EQ(runCommand("cd " + sh(dir / "src") + " && gcab -c " + sh(archive) + " top.txt sub/inner.txt"), 0);
    } else if (d.archiver == &kUnrar) {
        return {}; // no RAR writer: see the RAR test below
    } else {
        writeFile(archive, buildZip({zipFile("top.txt", "top"), zipFile("sub/inner.txt", "inner")}));
    }
    return archive.string();
}

const Dialect kDialects[] = {
    {&kUnlha, "x  -n ", "e  -n ", "-jyo ", false, "a.lzh"},
    {&kUnZip, "-x -q ", "-x -j -q ", "-o ", false, "a.zip"},
    {&kSevenZip, "x -hide ", "e -hide ", "-aoa ", false, "a.zip"},
    {&kCab, "-x  -i ", "-x -j  -i ", "-o ", false, "a.cab"},
};

} // namespace

TEST(ReaderCommands, OverwriteSwitchDecidesAboutExistingFiles)
{
    for (const Dialect &d : kDialects) {
        SCOPED_TRACE(d.archiver->commandFunction);
        TempDir dir;
        fs::path archive = makeArchive(d, dir.path());
        fs::create_directories(dir / "dest");
        writeFile(dir / "dest/top.txt", "mine");

        CallOutcome o = callArchiver(*d.archiver, line(d, true, false, archive, dir / "dest"));
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kErrExists);
        EXPECT_EQ(readFile(dir / "dest/top.txt"), "mine");
        EXPECT_EQ(readFile(dir / "dest/sub/inner.txt"), "inner"); // the others still come out

        o = callArchiver(*d.archiver, line(d, true, true, archive, dir / "dest"));
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kOk);
        EXPECT_EQ(readFile(dir / "dest/top.txt"), "top");
    }
}

TEST(ReaderCommands, FlatModePutsEveryFileIntoTheDestination)
{
    for (const Dialect &d : kDialects) {
        SCOPED_TRACE(d.archiver->commandFunction);
        TempDir dir;
        fs::path archive = makeArchive(d, dir.path());
        fs::create_directories(dir / "dest");
        CallOutcome o = callArchiver(*d.archiver, line(d, false, false, archive, dir / "dest"));
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kOk);
        auto tree = snapshot(dir / "dest");
        EXPECT_EQ(tree.size(), 2u);
        EXPECT_EQ(readFile(dir / "dest/top.txt"), "top");
        EXPECT_EQ(readFile(dir / "dest/inner.txt"), "inner");
    }
}

TEST(ReaderCommands, ModificationTimesAreRestored)
{
    TempDir dir;
    fs::create_directories(dir / "lzh");
    fs::create_directories(dir / "zip");
    writeFile(dir / "a.lzh", buildLha({lhaFile("t.txt", "", "x", 1600000000), lhaFile("u.txt", "d\xFF", "y", 1500000000)}));
    ASSERT_EQ(callArchiver(kUnlha, "x -n " + quoted(dir / "a.lzh") + " " + quoted(dir / "lzh")).result, kOk);
    EXPECT_EQ(mtimeOf(dir / "lzh/t.txt"), 1600000000);
    EXPECT_EQ(mtimeOf(dir / "lzh/d/u.txt"), 1500000000);

    // ZIP keeps local wall-clock time: 2025-01-01 12:00:00 here.
    writeFile(dir / "a.zip", buildZip({zipFile("t.txt", "x")}));
    ASSERT_EQ(callArchiver(kUnZip, "-x -q " + quoted(dir / "a.zip") + " " + quoted(dir / "zip")).result, kOk);
    std::tm tm{};
    tm.tm_year = 125;
    tm.tm_mon = 0;
    tm.tm_mday = 1;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    EXPECT_EQ(mtimeOf(dir / "zip/t.txt"), static_cast<int64_t>(std::mktime(&tm)));

    // CAB and RAR: the times an independent reader restores.
    for (auto [lib, cmd, archive, reader] :
         {std::tuple{&kCab, std::string("-x -i "), std::string("cab/libmspack/cabd/normal_2files_2folders.cab"),
                     std::string("cabextract -q -d")},
          std::tuple{&kUnrar, std::string("-x -q "), std::string("rar/libarchive/test_read_format_rar.rar"),
                     std::string("bsdtar -C")}}) {
        SCOPED_TRACE(archive);
        TempDir ours, theirs;
        ASSERT_EQ(callArchiver(*lib, cmd + quoted(corpusPathFor(archive)) + " \"" + ours.path().string() + "/\"").result,
                  kOk);
        ASSERT_EQ(runCommand(reader + " " + sh(theirs.path()) + (reader.rfind("bsdtar", 0) == 0 ? " -xf " : " ") +
                             sh(corpusPathFor(archive))),
                  0);
        size_t checked = 0;
        for (const auto &[name, entry] : snapshot(theirs.path())) {
            if (entry.type != 'f')
                continue;
            EXPECT_EQ(mtimeOf(ours / name), mtimeOf(theirs / name)) << name;
            ++checked;
        }
        EXPECT_GT(checked, 0u);
    }
}

TEST(ReaderCommands, RarOverwriteFlatAndDoubleSeparator)
{
    TempDir dir;
    fs::path rar = corpusPathFor("rar/libarchive/test_read_format_rar.rar");
    fs::create_directories(dir / "dest");
    std::string dest = "\"" + (dir / "dest").string() + "//\"";
    CallOutcome o = callArchiver(kUnrar, "-x -q " + quoted(rar) + " " + dest);
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk);
    EXPECT_TRUE(fs::exists(dir / "dest/testdir/test.txt"));
    writeFile(dir / "dest/testdir/test.txt", "mine");
    EXPECT_EQ(callArchiver(kUnrar, "-x -q " + quoted(rar) + " " + dest).result, kErrExists);
    EXPECT_EQ(readFile(dir / "dest/testdir/test.txt"), "mine");
    EXPECT_EQ(callArchiver(kUnrar, "-x -q -o " + quoted(rar) + " " + dest).result, kOk);
    EXPECT_NE(readFile(dir / "dest/testdir/test.txt"), "mine");

    // Flat: testdir/libarchiveaddingtest.html meets the link of that name
    // at the top, a clash that fails the call; the rest comes out flat.
    fs::create_directories(dir / "flat");
    EXPECT_EQ(callArchiver(kUnrar, "-e -q " + quoted(rar) + " \"" + (dir / "flat").string() + "/\"").result,
              kErrNameClash);
    EXPECT_TRUE(fs::exists(dir / "flat/test.txt"));
    EXPECT_FALSE(fs::exists(dir / "flat/testdir"));
}

TEST(ReaderCommands, MalformedLinesWriteNothing)
{
    TempDir dir;
    writeFile(dir / "書庫 a.zip", buildZip({zipFile("f.txt", "x")}));
    writeFile(dir / "a.lzh", buildLha({lhaFile("f.txt", "", "x")}));
    fs::create_directories(dir / "出力 先");
    std::string zip = quoted(dir / "書庫 a.zip"), lzh = quoted(dir / "a.lzh"), out = quoted(dir / "出力 先");
    struct Case {
        const Archiver *lib;
        std::string line;
        int32_t expected;
    } cases[] = {
        {&kUnZip, "-x -q -z " + zip + " " + out, kErrCommandLine},      // unknown switch
        {&kUnZip, "-x -q " + zip, kErrCommandLine},                      // no destination
        {&kUnZip, "-x " + zip + " " + out + " " + out, kErrCommandLine}, // one path too many
        {&kUnZip, "-x " + zip + " " + out + " -o", kErrCommandLine},     // switch after the paths
        {&kUnZip, "-x \"" + (dir / "書庫 a.zip").string() + " " + out, kErrCommandLine}, // open quote
        {&kUnZip, "x " + zip + " " + out, kErrCommandLine},              // 7-zip32's command word
        {&kSevenZip, "x -o " + zip + " " + out, kErrCommandLine},
        {&kUnlha, "x -jyo -x1 " + lzh + " " + out, kErrCommandLine},
        {&kCab, "-x -j -q " + lzh + " " + out, kErrCommandLine},
        {&kUnrar, "-x -aoa " + lzh + " " + out, kErrCommandLine},
        {&kUnZip, "-x -q " + zip + " " + quoted(dir / "missing"), kErrWrite}, // destination must exist
        {&kUnZip, "-x -q " + quoted(dir / "none.zip") + " " + out, kErrOpenArchive},
        {&kUnlha, "x -n \"\" " + out, kErrOpenArchive},                        // empty archive name
        {&kUnZip, "-x -q " + lzh + " " + out, kErrOpenArchive},               // not a ZIP
        {&kUnlha, "x -n " + zip + " " + out, kErrOpenArchive},                // not an LHA
        {&kUnZip, "-x --names=EBCDIC " + zip + " " + out, kErrCommandLine},   // an encoding not offered
        {&kUnlha, "x --names= " + lzh + " " + out, kErrCommandLine},
        {&kCab, "-x --names " + lzh + " " + out, kErrCommandLine},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        CallOutcome o = callArchiver(*c.lib, c.line);
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, c.expected);
        EXPECT_TRUE(snapshot(dir / "出力 先").empty());
        EXPECT_FALSE(fs::exists(dir / "missing"));
    }
    // The same archive and folder, well formed: Japanese and spaces in both.
    EXPECT_EQ(callArchiver(kUnZip, "-x -q " + zip + " " + out).result, kOk);
    EXPECT_EQ(readFile(dir / "出力 先/f.txt"), "x");
}

// The names switch reads unmarked names in the encoding named, in any
// letter case, where the guess alone would keep CP932 (one short name).
TEST(ReaderCommands, NamesSwitchChoosesTheEncoding)
{
    TempDir dir;
    const std::string korean = "\xB9\xAE\xBC\xAD.txt"; // 문서.txt in CP949
    writeFile(dir / "a.zip", buildZip({zipFile(korean, "x")}));
    writeFile(dir / "a.lzh", buildLha({lhaFile(korean, "", "x")}));
    for (const auto &[lib, archive] : {std::pair{&kUnZip, std::string("a.zip")}, std::pair{&kSevenZip, std::string("a.zip")},
                                      std::pair{&kUnlha, std::string("a.lzh")}}) {
        SCOPED_TRACE(lib->commandFunction);
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        const std::string word = lib == &kUnZip ? "-x " : "x ";
        EXPECT_EQ(callArchiver(*lib, word + "--names=cp949 " + quoted(dir / archive) + " " + quoted(dir / "out")).result,
                  kOk);
        EXPECT_EQ(readFile(dir / "out/문서.txt"), "x");
    }
}

// The conversion's own switch: every library lists what the archive handed
// over in the third path, in the form qvo_archiver.h gives, and only when
// the extraction succeeded.
TEST(ReaderCommands, MemberListOfEveryReader)
{
    std::string expected;
    for (const char *field : {"F", "3", "1ed91fca", "top.txt", "", "F", "5", "6d310bc9", "sub/inner.txt", ""}) {
        expected += field;
        expected += '\0';
    }
    for (const Dialect &d : kDialects) {
        SCOPED_TRACE(d.archiver->commandFunction);
        TempDir dir;
        fs::path archive = makeArchive(d, dir.path());
        fs::create_directories(dir / "dest");
        const std::string list = " " + quoted(dir / "list");
        CallOutcome o = callArchiver(*d.archiver, d.keepPaths + "--member-list " + quoted(archive) + " " +
                                                      quoted(dir / "dest") + list);
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kOk);
        EXPECT_EQ(readFile(dir / "list"), expected);
        EXPECT_EQ(readFile(dir / "dest/sub/inner.txt"), "inner");

        fs::remove(dir / "list");
        EXPECT_EQ(callArchiver(*d.archiver, d.keepPaths + "--member-list " + quoted(archive) + " " +
                                                quoted(dir / "dest") + list)
                      .result,
                  kErrExists);
        EXPECT_FALSE(fs::exists(dir / "list"));
        EXPECT_EQ(callArchiver(*d.archiver, d.keepPaths + "--member-list " + quoted(archive) + " " +
                                                quoted(dir / "dest"))
                      .result,
                  kErrCommandLine);
    }
}

// Every library takes the conversion's switch; a link leading outside is
// then made as stored, in a fresh folder of the user's own only.
TEST(ReaderCommands, ConversionSwitchKeepsLinksLeadingOutsideInAFreshPrivateFolder)
{
    for (const Dialect &d : kDialects) {
        SCOPED_TRACE(d.archiver->commandFunction);
        TempDir dir;
        fs::path archive = makeArchive(d, dir.path());
        fs::create_directories(dir / "dest");
        fs::permissions(dir / "dest", fs::perms::owner_all);
        CallOutcome o =
            callArchiver(*d.archiver, d.keepPaths + "--conversion " + quoted(archive) + " " + quoted(dir / "dest"));
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kOk);
        EXPECT_EQ(readFile(dir / "dest/sub/inner.txt"), "inner");
    }
    TempDir dir;
    writeFile(dir / "l.zip",
              buildZip({zipFile("t.txt", "t"), zipLink("up", "../../x"), zipLink("abs", "/etc/passwd")}));
    for (const Archiver *lib : {&kUnZip, &kSevenZip}) {
        SCOPED_TRACE(lib->commandFunction);
        const std::string word = lib == &kUnZip ? "-x " : "x ";
        const fs::path fresh = dir / (std::string("fresh-") + lib->commandFunction);
        const fs::path shared = dir / (std::string("shared-") + lib->commandFunction);
        fs::create_directory(fresh);
        fs::permissions(fresh, fs::perms::owner_all);
        fs::create_directory(shared);
        fs::permissions(shared, fs::perms::owner_all | fs::perms::others_exec);
        EXPECT_EQ(callArchiver(*lib, word + "--conversion " + quoted(dir / "l.zip") + " " + quoted(fresh)).result,
                  kOk);
        EXPECT_EQ(fs::read_symlink(fresh / "up"), "../../x");
        EXPECT_EQ(fs::read_symlink(fresh / "abs"), "/etc/passwd");
        EXPECT_EQ(callArchiver(*lib, word + "--conversion " + quoted(dir / "l.zip") + " " + quoted(shared)).result,
                  kErrUnsafeEntry);
        EXPECT_FALSE(fs::exists(fs::symlink_status(shared / "up")));
    }
}

TEST(ReaderCommands, SevenZipAlsoReads7zAndTar)
{
    TempDir dir;
    writeFile(dir / "src/d/日本.txt", "nihon");
    writeFile(dir / "src/top.txt", "top");
    ASSERT_EQ(runCommand("cd " + sh(dir / "src") + " && 7zz a -bd " + sh(dir / "a.7z") + " d top.txt >/dev/null"), 0);
    ASSERT_EQ(runCommand("cd " + sh(dir / "src") + " && tar czf " + sh(dir / "a.tgz") + " d top.txt"), 0);
    for (const char *name : {"a.7z", "a.tgz"}) {
        SCOPED_TRACE(name);
        fs::path out = dir / (std::string("out-") + name);
        fs::create_directories(out);
        CallOutcome o = callArchiver(kSevenZip, "x -hide " + quoted(dir / name) + " " + quoted(out));
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kOk);
        EXPECT_EQ(readFile(out / "d/日本.txt"), "nihon");
        EXPECT_EQ(readFile(out / "top.txt"), "top");
    }
}
