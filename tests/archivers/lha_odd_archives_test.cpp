// LHA archives lhasa alone reads short: folder entries without a name
// (which lhasa takes for the end of the archive), archives behind a
// self-extractor's program beyond where lhasa looks, -lh2- and -lh3-
// members.
#include "archive_builders.h"
#include "reader_test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace qvo::test;
using namespace qvo::archivers;

namespace {

CallOutcome unlhaTo(const fs::path &archive, const fs::path &dest)
{
    fs::create_directories(dest);
    return callArchiver(kUnlha, "x  -n " + quoted(archive) + " " + quoted(dest));
}

// An archive's members without the closing 0 byte.
std::string membersOf(const std::vector<LhaMember> &members)
{
    std::string a = buildLha(members);
    a.pop_back();
    return a;
}

// The nameless level-0 folder entry LHa for UNIX 1.14i writes.
std::string namelessFolder()
{
    std::string a = readFile(fs::path(QVO_CORPUS_DIR) / "lzh/lhasa/lha_unix114i/h0_subdir.lzh");
    return a.substr(0, 2 + static_cast<unsigned char>(a[0]));
}

} // namespace

TEST(LhaOddArchives, NamelessFolderEntriesDoNotEndTheArchive)
{
    const std::vector<std::pair<std::string, std::string>> layouts = {
        {"first", namelessFolder() + namelessFolder() + membersOf({lhaFile("a.txt", "", "A")})
                      + membersOf({lhaFile("b.txt", "d\xFF", "B")}) + '\0'},
        {"between", membersOf({lhaFile("a.txt", "", "A")}) + namelessFolder()
                        + membersOf({lhaFile("b.txt", "d\xFF", "B")}) + '\0'},
    };
    for (const auto &[what, bytes] : layouts) {
        SCOPED_TRACE(what);
        TempDir dir;
        writeFile(dir / "a.lzh", bytes);
        CallOutcome o = unlhaTo(dir / "a.lzh", dir / "out");
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kOk) << describe(o);
        EXPECT_EQ(readFile(dir / "out/a.txt"), "A");
        EXPECT_EQ(readFile(dir / "out/d/b.txt"), "B");
        EXPECT_EQ(snapshot(dir / "out").size(), 3u);
    }
}

TEST(LhaOddArchives, AmigaFolderEntriesWithoutNameKeepTheRestAndTheirFolder)
{
    // Amiga LHA 1.22 stores folders as empty -lh0- members with no name;
    // lhasa ends the archive there.  7zz reads it whole, but makes the
    // folder an empty file.
    ASSERT_TRUE(haveTool("7zz"));
    TempDir dir;
    fs::path archive = fs::path(QVO_CORPUS_DIR) / "lzh/lhasa/lha_amiga_122/lh0_dirs_bug.lzh";
    CallOutcome o = unlhaTo(archive, dir / "ours");
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk) << describe(o);
    ASSERT_EQ(runCommand("7zz x -y -bd -o" + sh(dir / "theirs") + " " + sh(archive) + " >/dev/null"), 0);
    auto ours = snapshot(dir / "ours"), theirs = snapshot(dir / "theirs");
    EXPECT_EQ(ours["MainDir/02_EmptyDir"].type, 'd');
    ours.erase("MainDir/02_EmptyDir");
    theirs.erase("MainDir/02_EmptyDir");
    EXPECT_EQ(ours, theirs);
    EXPECT_EQ(readFile(dir / "ours/MainDir/04_File.txt").size(), 6u);
}

TEST(LhaOddArchives, SoundHeaderLhasaRefusesIsALostMember)
{
    // The nameless entry made a file with data: it cannot be extracted,
    // and what follows must not pass for the end of the archive.
    std::string h = namelessFolder();
    h.replace(2, 5, "-lh0-");
    h.replace(7, 4, std::string("\x03\0\0\0", 4)); // compressed size
    h.replace(11, 4, std::string("\x03\0\0\0", 4)); // size
    h[19] = 0x20;                                     // a file
    unsigned sum = 0;
    for (size_t i = 2; i < h.size(); ++i)
        sum += static_cast<unsigned char>(h[i]);
    h[1] = static_cast<char>(sum & 0xFF);
    TempDir dir;
    writeFile(dir / "a.lzh", membersOf({lhaFile("a.txt", "", "A")}) + h + "xyz" + membersOf({lhaFile("b.txt", "", "B")})
                                 + '\0');
    CallOutcome o = unlhaTo(dir / "a.lzh", dir / "out");
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kErrCorrupt) << describe(o);
    EXPECT_EQ(readFile(dir / "out/a.txt"), "A");
}

TEST(LhaOddArchives, ArchiveFoundBehindALongProgram)
{
    // 100 KiB of "program" with method names and a header whose checksum
    // fails, then the archive.
    std::string program(100 * 1024, '\x90');
    program.replace(1000, 7, std::string("\x00\x00-lhd-", 7));
    std::string fake = membersOf({lhaFile("fake.txt", "", "F")});
    fake[0] = '\x1e';
    fake[1] = '\x00';
    fake[20] = '\x00'; // claims level 0 with a wrong checksum
    program.replace(5000, fake.size(), fake);
    std::string archive = buildLha({lhaFile("real.txt", "", "real data")});

    TempDir dir;
    writeFile(dir / "sfx.exe", program + archive);
    CallOutcome o = unlhaTo(dir / "sfx.exe", dir / "out");
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk) << describe(o);
    EXPECT_EQ(readFile(dir / "out/real.txt"), "real data");
    EXPECT_EQ(snapshot(dir / "out").size(), 1u);

    // The program alone holds no archive.
    writeFile(dir / "bare.exe", program);
    o = unlhaTo(dir / "bare.exe", dir / "bare");
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kErrOpenArchive) << describe(o);
    EXPECT_TRUE(snapshot(dir / "bare").empty());
}

TEST(LhaOddArchives, Lh3MemberGivesTheTextUnarReadsFromLh2)
{
    // lh3.lzh and lh2.lzh hold the same file; unar decodes only -lh2-
    // (the corpus comparison checks our -lh2- against it).
    ASSERT_TRUE(haveTool("unar"));
    TempDir dir;
    fs::path corpus = fs::path(QVO_CORPUS_DIR) / "lzh/lhasa/unlha32";
    CallOutcome o = unlhaTo(corpus / "lh3.lzh", dir / "ours");
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk) << describe(o);
    ASSERT_EQ(runCommand("LC_ALL=C.UTF-8 unar -q -D -o " + sh(dir / "theirs") + " " + sh(corpus / "lh2.lzh")), 0);
    EXPECT_EQ(readFile(dir / "ours/LICENSE.MIT"), readFile(dir / "theirs/LICENSE.MIT"));
    EXPECT_EQ(snapshot(dir / "ours").size(), 1u);
}
