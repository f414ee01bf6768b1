// Unmarked ZIP names: UTF-8 when made on Unix or OS X and valid UTF-8,
// CP932 otherwise, through both ZIP libraries.
#include "archive_builders.h"
#include "reader_test_support.h"

#include "archivers/include/qvo_archiver.h"
#include "text/cp932.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace qvo::test;
using namespace qvo::archivers;

namespace {

// Extracts `archive` with unzip32 and 7-zip32 into two fresh folders and
// checks that both succeed with the same tree.
std::map<std::string, TreeEntry> extractBoth(const TempDir &dir, const fs::path &archive)
{
    fs::create_directories(dir / "u");
    fs::create_directories(dir / "s");
    CallOutcome u = callArchiver(kUnZip, "-x -q " + quoted(archive) + " " + quoted(dir / "u"));
    CallOutcome s = callArchiver(kSevenZip, "x -hide " + quoted(archive) + " " + quoted(dir / "s"));
    EXPECT_TRUE(u.finished && u.result == kOk) << describe(u);
    EXPECT_TRUE(s.finished && s.result == kOk) << describe(s);
    auto tree = snapshot(dir / "u");
    EXPECT_EQ(tree, snapshot(dir / "s"));
    return tree;
}

// Sets the "made by" host of every central directory entry of `zip`.
void setHost(std::string &zip, uint8_t host)
{
    for (size_t at = 0; (at = zip.find("PK\x01\x02", at)) != std::string::npos; at += 4)
        zip[at + 5] = static_cast<char>(host);
}

} // namespace

TEST(ZipUnixNames, InfoZipOnLinuxWritesUtf8WithoutFlag)
{
    ASSERT_TRUE(haveTool("zip"));
    TempDir dir;
    writeFile(dir / "src/表.txt", "hyou");
    writeFile(dir / "src/ソ/能.txt", "nou");
    ASSERT_EQ(runCommand("cd " + sh(dir / "src") + " && LC_ALL=C.UTF-8 zip -r -q ../a.zip ."), 0);
    std::string raw = readFile(dir / "a.zip");
    ASSERT_EQ(raw.find("\xE8\xA1\xA8.txt") != std::string::npos, true);

    auto tree = extractBoth(dir, dir / "a.zip");
    EXPECT_EQ(readFile(dir / "u/表.txt"), "hyou");
    EXPECT_EQ(readFile(dir / "u/ソ/能.txt"), "nou");
    EXPECT_EQ(tree.size(), 3u);
}

TEST(ZipUnixNames, PythonArchiveWithFlagClearedReadsAsUtf8)
{
    ASSERT_TRUE(haveTool("python3"));
    TempDir dir;
    // zipfile always flags non-ASCII names: clear bit 11 in every header.
    std::string script = "import zipfile,sys\n"
                         "p=sys.argv[1]\n"
                         "with zipfile.ZipFile(p,'w') as z:\n"
                         "  z.writestr('\\u8868.txt','hyou')\n"
                         "  z.writestr('\\u30bd/\\u80fd.txt','nou')\n"
                         "b=bytearray(open(p,'rb').read())\n"
                         "for sig,off in ((b'PK\\x03\\x04',6),(b'PK\\x01\\x02',8)):\n"
                         "  i=b.find(sig)\n"
                         "  while i>=0:\n"
                         "    b[i+off+1]&=~0x08\n"
                         "    i=b.find(sig,i+4)\n"
                         "open(p,'wb').write(b)\n";
    writeFile(dir / "mk.py", script);
    ASSERT_EQ(runCommand("python3 " + sh(dir / "mk.py") + " " + sh(dir / "p.zip")), 0);
    std::string raw = readFile(dir / "p.zip");
    ASSERT_EQ(raw[raw.find("PK\x01\x02") + 5], 3) << "zipfile should write host Unix";
    ASSERT_EQ(raw[raw.find("PK\x01\x02") + 9] & 0x08, 0);

    extractBoth(dir, dir / "p.zip");
    EXPECT_EQ(readFile(dir / "u/表.txt"), "hyou");
    EXPECT_EQ(readFile(dir / "u/ソ/能.txt"), "nou");
}

TEST(ZipUnixNames, HostDecidesForUnmarkedNames)
{
    const std::string utf8Hyou = "\xE8\xA1\xA8.txt";   // 表 in UTF-8, also valid CP932
    const std::string cp932Hyou = "\x95\x5C.txt";      // 表 in CP932, not UTF-8
    const std::string osxName = "\xE6\x97\xA5.txt";    // 日 in UTF-8

    struct Case {
        uint8_t host;
        std::string raw;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {3, utf8Hyou, "表.txt"},        // Unix, valid UTF-8
        {19, osxName, "日.txt"},        // OS X
        {3, cp932Hyou, "表.txt"},       // Unix, but CP932 bytes: not UTF-8, stays CP932
        {0, utf8Hyou, qvo::text::cp932ToUtf8(utf8Hyou)}, // MS-DOS: always CP932
        {11, utf8Hyou, qvo::text::cp932ToUtf8(utf8Hyou)}, // NTFS: always CP932
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("host " + std::to_string(c.host));
        TempDir dir;
        std::string zip = buildZip({zipFile(c.raw, "data")});
        setHost(zip, c.host);
        writeFile(dir / "a.zip", zip);
        auto tree = extractBoth(dir, dir / "a.zip");
        ASSERT_EQ(tree.size(), 1u);
        EXPECT_EQ(tree.begin()->first, c.expected);
    }
}
