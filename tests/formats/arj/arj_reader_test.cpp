// Our ARJ reader on archives Debian's `arj` makes here: every method,
// folders, links, volume sets, a self-extractor, chapters, names in DOS
// code pages; compared with the files packed and with what 7-Zip
// extracts.  Damaged, encrypted and hostile archives fail cleanly.
#include "archivers/reader_test_support.h"
#include "arj_test_support.h"
#include "formats/arj/arj_volumes.h"
#include "identify/archive_identify.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

namespace fs = std::filesystem;
using namespace qvo::test;
using namespace qvo::test::arj;
using qvo::archivers::kErrCorrupt;
using qvo::archivers::kErrEncrypted;
using qvo::archivers::kErrMissingVolume;
using qvo::archivers::kErrUnsafeEntry;
using qvo::archivers::kOk;

namespace {

// Text over several Huffman blocks, incompressible bytes, long runs and
// repeats at many distances, an empty file and an empty folder.
void makeTree(const fs::path &root)
{
    std::string text;
    for (int i = 0; text.size() < 300000; ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + (i % 5 ? " of the tale\n" : " again and again\n");
    writeFile(root / "text/lines.txt", text);
    writeFile(root / "bin/random.bin", randomBytes(70000, 1));
    writeFile(root / "bin/zeros.bin", std::string(100000, '\0'));
    std::string repeats = randomBytes(4000, 2);
    for (size_t back = 1; repeats.size() < 90000; back = back * 3 % 26000 + 1)
        repeats += repeats.substr(repeats.size() - std::min(back, repeats.size()), 300) + randomBytes(17, unsigned(back));
    writeFile(root / "bin/repeats.bin", repeats);
    writeFile(root / "empty.txt", "");
    writeFile(root / "sub/deeper/small.txt", "x");
    fs::create_directories(root / "emptydir");
}

// Extracts with 7-Zip into `dest`.
void extractWith7z(const fs::path &archive, const fs::path &dest)
{
    std::string out;
    ASSERT_EQ(runCommand("7zz x -y -bd -o" + sh(dest) + " " + sh(archive), &out), 0) << out;
}

TEST(ArjReader, EveryMethodGivesTheFilesPackedAsSevenZipReadsThem)
{
    TempDir src, work;
    makeTree(src.path());
    const auto packed = snapshot(src.path());
    for (int method = 0; method <= 4; ++method) {
        SCOPED_TRACE("method " + std::to_string(method));
        const fs::path archive = work / ("m" + std::to_string(method) + ".arj");
        runArj(src.path(), "a -m" + std::to_string(method) + " -r -a1 " + sh(archive) + " '*'");
        TempDir ours, theirs;
        ASSERT_EQ(extractArj(archive, ours.path()), kOk);
        extractWith7z(archive, theirs.path());
        EXPECT_EQ(snapshot(ours.path()), packed);
        EXPECT_EQ(snapshot(ours.path()), snapshot(theirs.path()));
    }
    // Unix hosts store Unix times and modes.
    TempDir ours;
    fs::permissions(src / "sub/deeper/small.txt", fs::perms(0750));
    runArj(src.path(), "a -r -a1 " + sh(work / "modes.arj") + " '*'");
    ASSERT_EQ(extractArj(work / "modes.arj", ours.path()), kOk);
    struct stat packedStat {}, readStat {};
    ASSERT_EQ(::stat((src / "text/lines.txt").c_str(), &packedStat), 0);
    ASSERT_EQ(::stat((ours / "text/lines.txt").c_str(), &readStat), 0);
    EXPECT_EQ(readStat.st_mtime, packedStat.st_mtime);
    EXPECT_EQ(fs::status(ours / "sub/deeper/small.txt").permissions() & fs::perms::all, fs::perms(0750));
}

TEST(ArjReader, LinksFromUnixHostsAreMade)
{
    TempDir src, work, out;
    writeFile(src / "target.txt", "linked");
    fs::create_symlink("target.txt", src / "symlink");
    fs::create_hard_link(src / "target.txt", src / "hardlink");
    // Targets of 31 bytes and more have their length in 16 bits.
    const std::string longTarget = std::string(40, 'd') + "/" + std::string(200, 'f');
    fs::create_symlink(longTarget, src / "far");
    fs::create_symlink(std::string(31, 'e'), src / "edge");
    runArj(src.path(), "a -a1 " + sh(work / "links.arj") + " target.txt symlink hardlink far edge");
    ASSERT_EQ(extractArj(work / "links.arj", out.path()), kOk);
    EXPECT_EQ(fs::read_symlink(out / "symlink"), "target.txt");
    EXPECT_EQ(readFile(out / "hardlink"), "linked");
    EXPECT_EQ(fs::hard_link_count(out / "hardlink"), 2u);
    EXPECT_EQ(fs::read_symlink(out / "far"), longTarget);
    EXPECT_EQ(fs::read_symlink(out / "edge"), std::string(31, 'e'));
}

TEST(ArjReader, VolumeSetsAreJoinedWhateverTheirNaming)
{
    TempDir src, work;
    makeTree(src.path());
    fs::remove_all(src / "emptydir");
    const auto packed = snapshot(src.path());
    runArj(src.path(), "a -m1 -r -v30k " + sh(work / "set.arj") + " '*'");
    runArj(src.path(), "a -m4 -r -v30k -ve " + sh(work / "archive.arj") + " '*'");
    runArj(src.path(), "a -m2 -r -v30k " + sh(work / "num.001") + " '*'");
    ASSERT_TRUE(fs::exists(work / "set.a03"));
    ASSERT_TRUE(fs::exists(work / "arch003.arj"));
    ASSERT_TRUE(fs::exists(work / "num.004"));
    for (const char *first : {"set.arj", "archive.arj", "num.001"}) {
        SCOPED_TRACE(first);
        TempDir out;
        ASSERT_EQ(extractArj(work / first, out.path()), kOk);
        EXPECT_EQ(snapshot(out.path()), packed);
    }

    using namespace qvo::formats::arj;
    const ArjVolumeSet set = findArjVolumes(work / "set.arj");
    EXPECT_TRUE(set.complete);
    ASSERT_GE(set.parts.size(), 4u);
    EXPECT_EQ(set.parts[1], work / "set.a01");
    EXPECT_EQ(firstArjVolume(work / "set.a02"), work / "set.arj");
    EXPECT_EQ(firstArjVolume(work / "arch002.arj"), work / "archive.arj");
    EXPECT_EQ(firstArjVolume(work / "num.003"), work / "num.001");
    EXPECT_EQ(firstArjVolume(work / "set.arj"), fs::path());
    EXPECT_EQ(nextArjVolumeName("x.a99", ArjVolumeNaming::Extension), "x.100");
    EXPECT_EQ(nextArjVolumeName("X.ARJ", ArjVolumeNaming::Extension), "X.A01");
    EXPECT_EQ(nextArjVolumeName("x", ArjVolumeNaming::Extension), "x.e01");
    EXPECT_EQ(nextArjVolumeName("x.999", ArjVolumeNaming::Extension), "");

    // A later volume is no first one; it reads alone as far as its own
    // members go.
    EXPECT_TRUE(qvo::identify::identifyArchive((work / "set.a01").string(), qvo::identify::ArchiveKind::None)
                    .laterVolume);
    EXPECT_FALSE(
        qvo::identify::identifyArchive((work / "set.arj").string(), qvo::identify::ArchiveKind::None).laterVolume);
    TempDir alone;
    EXPECT_EQ(extractArj(work / "set.a01", alone.path()), kErrMissingVolume);
}

TEST(ArjReader, MissingOrDamagedVolumesFailTheirMembersOnly)
{
    TempDir src, work;
    writeFile(src / "a_first.txt", "first");
    writeFile(src / "b_big.bin", randomBytes(150000, 3));
    writeFile(src / "c_last.txt", "last");
    runArj(src.path(), "a -m1 -v30k " + sh(work / "set.arj") + " a_first.txt b_big.bin c_last.txt");
    ASSERT_TRUE(fs::exists(work / "set.a02"));
    {
        // The middle volume is gone: the split member and what follows are lost.
        TempDir copy, out;
        fs::copy(work.path(), copy.path(), fs::copy_options::recursive);
        fs::remove(copy / "set.a01");
        EXPECT_EQ(extractArj(copy / "set.arj", out.path()), kErrMissingVolume);
        EXPECT_EQ(readFile(out / "a_first.txt"), "first");
        EXPECT_FALSE(fs::exists(out / "b_big.bin"));
    }
    {
        // A byte of the middle part changed: its own CRC tells.
        TempDir copy, out;
        fs::copy(work.path(), copy.path(), fs::copy_options::recursive);
        std::string part = readFile(copy / "set.a01");
        part[part.size() / 2] ^= 0x20;
        writeFile(copy / "set.a01", part);
        EXPECT_EQ(extractArj(copy / "set.arj", out.path()), kErrCorrupt);
        EXPECT_FALSE(fs::exists(out / "b_big.bin"));
        EXPECT_EQ(readFile(out / "c_last.txt"), "last");
    }
}

TEST(ArjReader, SelfExtractorIsReadBehindItsProgram)
{
    TempDir src, work, out;
    makeTree(src.path());
    runArj(src.path(), "a -je -r -a1 " + sh(work / "setup") + " '*'");
    ASSERT_EQ(extractArj(work / "setup", out.path()), kOk);
    EXPECT_EQ(snapshot(out.path()), snapshot(src.path()));
    const auto found = qvo::identify::identifyArchive((work / "setup").string(), qvo::identify::ArchiveKind::None);
    EXPECT_EQ(found.kind, qvo::identify::ArchiveKind::Arj);
    EXPECT_TRUE(found.behindStub);
}

TEST(ArjReader, NamesInDosCodePagesAreGuessedOrTakenAsChosen)
{
    TempDir src, work;
    // 日本語.txt in CP932, as a Japanese DOS or Windows system stores it.
    const std::string japanese = inCharset("CP932", "日本語のファイル.txt");
    writeFile(src / japanese, "nihongo");
    runArj(src.path(), "a " + sh(work / "jp.arj") + " '*'");
    TempDir guessed, chosen;
    ASSERT_EQ(extractArj(work / "jp.arj", guessed.path()), kOk);
    EXPECT_EQ(readFile(guessed / "日本語のファイル.txt"), "nihongo");
    ASSERT_EQ(extractArj(work / "jp.arj", chosen.path(), "CP932"), kOk);
    EXPECT_EQ(readFile(chosen / "日本語のファイル.txt"), "nihongo");

    // From DOS: OEM code pages, "\" between folders, local DOS times.
    Entry e;
    e.name = inCharset("CP850", "Dokumente\\Übersicht für Müller.txt");
    e.data = "oem";
    writeFile(work / "dos.arj", buildArj({e}));
    TempDir dos;
    ASSERT_EQ(extractArj(work / "dos.arj", dos.path(), "CP850"), kOk);
    const fs::path file = dos / "Dokumente/Übersicht für Müller.txt";
    EXPECT_EQ(readFile(file), "oem");
    std::tm tm{};
    tm.tm_year = 125;
    tm.tm_mon = 3;
    tm.tm_mday = 12;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, std::mktime(&tm));
}

TEST(ArjReader, LastChapterIsRead)
{
    TempDir src, work, out;
    writeFile(src / "kept.txt", "one");
    writeFile(src / "dropped.txt", "gone later");
    runArj(src.path(), "ac " + sh(work / "ch.arj") + " kept.txt dropped.txt");
    writeFile(src / "kept.txt", "two, newer");
    fs::last_write_time(src / "kept.txt", fs::last_write_time(src / "kept.txt") + std::chrono::hours(1));
    runArj(src.path(), "ac " + sh(work / "ch.arj") + " kept.txt");
    ASSERT_EQ(extractArj(work / "ch.arj", out.path()), kOk);
    EXPECT_EQ(readFile(out / "kept.txt"), "two, newer");
    EXPECT_FALSE(fs::exists(out / "dropped.txt"));
    EXPECT_EQ(snapshot(out.path()).size(), 1u); // no chapter labels
}

TEST(ArjReader, GarbledMembersAreRefusedAsEncrypted)
{
    TempDir src, work, out;
    writeFile(src / "secret.txt", "classified");
    runArj(src.path(), "a -gpassword " + sh(work / "g.arj") + " secret.txt");
    EXPECT_EQ(extractArj(work / "g.arj", out.path()), kErrEncrypted);
    EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST(ArjReader, HostileNamesAreRefusedByTheSink)
{
    TempDir work, parent;
    const fs::path dest = parent / "dest";
    fs::create_directory(dest);
    for (const char *name : {"..\\escaped.txt", "/tmp/qvo-arj-absolute.txt", "C:escaped.txt", "a/../../escaped.txt"}) {
        SCOPED_TRACE(name);
        Entry bad;
        bad.name = name;
        bad.data = "bad";
        Entry good;
        good.name = std::string("good-") + std::to_string(std::hash<std::string>{}(name) % 1000) + ".txt";
        good.data = "good";
        writeFile(work / "hostile.arj", buildArj({bad, good}));
        EXPECT_EQ(extractArj(work / "hostile.arj", dest), kErrUnsafeEntry);
        EXPECT_EQ(readFile(dest / good.name), "good");
    }
    EXPECT_FALSE(fs::exists(parent / "escaped.txt"));
    EXPECT_FALSE(fs::exists("/tmp/qvo-arj-absolute.txt"));
    for (const auto &entry : fs::directory_iterator(dest))
        EXPECT_EQ(entry.path().filename().string().rfind("good-", 0), 0u) << entry.path();
}

TEST(ArjReader, DamagedAndTruncatedArchivesFailCleanly)
{
    TempDir src, work;
    writeFile(src / "a.txt", std::string(3000, 'a') + "tail");
    writeFile(src / "b.txt", "second member");
    runArj(src.path(), "a -m1 " + sh(work / "packed.arj") + " a.txt b.txt");
    runArj(src.path(), "a -m0 " + sh(work / "stored.arj") + " a.txt b.txt");
    const std::string packed = readFile(work / "packed.arj");
    // Cut anywhere: never success, never a crash.
    // (A new file each time: truncating one is slow on some file systems.)
    for (size_t cut = 0; cut < packed.size(); cut += 4) {
        const fs::path archive = work / ("cut" + std::to_string(cut) + ".arj");
        writeFile(archive, packed.substr(0, cut));
        TempDir out;
        EXPECT_NE(extractArj(archive, out.path()), kOk) << "cut at " << cut;
    }
    // A byte changed anywhere (stored: packed data may end in spare
    // bits): a header or data CRC tells.
    const std::string whole = readFile(work / "stored.arj");
    for (size_t at = 0; at < whole.size(); at += 6) {
        std::string damaged = whole;
        damaged[at] ^= 0x08;
        const fs::path archive = work / ("bad" + std::to_string(at) + ".arj");
        writeFile(archive, damaged);
        TempDir out;
        EXPECT_NE(extractArj(archive, out.path()), kOk) << "byte " << at;
    }
    // Sizes that lie, larger or smaller than the data: the member fails,
    // and nothing near the claimed 4 GiB is made.
    for (uint32_t claimed : {0xFFFFFFF0u, 3u}) {
        Entry lying;
        lying.name = "lying.bin";
        lying.data = "twelve bytes";
        lying.claimedSize = claimed;
        writeFile(work / "lying.arj", buildArj({lying}));
        TempDir out;
        EXPECT_EQ(extractArj(work / "lying.arj", out.path()), kErrCorrupt) << claimed;
        EXPECT_TRUE(fs::is_empty(out.path()));
    }
    // Labels are no members.
    Entry label;
    label.name = "DISK1";
    label.fileType = 4;
    Entry file;
    file.name = "file.txt";
    file.data = "data";
    writeFile(work / "label.arj", buildArj({label, file}));
    TempDir out;
    ASSERT_EQ(extractArj(work / "label.arj", out.path()), kOk);
    EXPECT_EQ(snapshot(out.path()).size(), 1u);
}

} // namespace
