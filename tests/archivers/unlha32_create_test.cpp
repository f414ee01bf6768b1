// Archives made by Unlha "a" read back by lhasa, unar, bsdtar and 7zz.
#include "unlha32_create_test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <unistd.h>

using namespace qvo::test;
using namespace qvo::test::unlha32;
using namespace qvo::archivers;

namespace {

// Text, binaries, noise (as already compressed data is), empty files, empty
// and deep folders, Japanese names whose CP932 forms end in 0x5C, files
// over 64 KiB; each with its own time.  A name CP932 cannot hold (an emoji)
// keeps the archive in UTF-8, which every reader here takes; archives in
// CP932 are tried in written_names_test.cpp.
void makeVariedTree(const fs::path &src)
{
    writeFile(src / "readme.txt", text(5000));
    writeFile(src / "large.txt", text(300000));
    std::string bin;
    for (int i = 0; i < 70000; ++i)
        bin += char((i * 7) ^ (i >> 5));
    writeFile(src / "bin" / "data.bin", bin + randomBytes(20000, 1) + bin);
    writeFile(src / "bin" / "packed.gz", randomBytes(90000, 2));
    writeFile(src / "empty.dat", "");
    fs::create_directories(src / "empty-dir");
    writeFile(src / "a/b/c/d/e/f/g/h/deep.txt", "deep\n");
    writeFile(src / "日本語/表ソ能/ファイル名.txt", text(1000));
    writeFile(src / "日本語/予定表.txt", "表\n");
    fs::create_directories(src / "日本語/空のフォルダ");
    writeFile(src / "spaces in name.txt", "x");
    writeFile(src / "smile \xF0\x9F\x98\x80.txt", "emoji");
    chmod((src / "bin" / "data.bin").c_str(), 0755);
    time_t t = 946684800; // 2000-01-01
    std::vector<fs::path> all;
    for (auto &e : fs::recursive_directory_iterator(src))
        all.push_back(e.path());
    // Children first, so setting a file's time does not touch its folder's.
    std::sort(all.rbegin(), all.rend());
    for (const auto &p : all)
        setTime(p, t += 3607);
}

struct Reader {
    const char *name;
    std::string (*extract)(const fs::path &archive, const fs::path &dir); // command
};

std::string lhasaX(const fs::path &a, const fs::path &d)
{
    return "lhasa xqw=" + d.string() + " " + sh(a);
}
std::string unarX(const fs::path &a, const fs::path &d)
{
    // unar guesses name encodings across the archive and misreads short
    // mixed names; the encoding the headers declare is given explicitly.
    return "unar -q -f -D -e utf-8 -o " + sh(d) + " " + sh(a);
}
std::string bsdtarX(const fs::path &a, const fs::path &d)
{
    return "bsdtar -xf " + sh(a) + " -C " + sh(d);
}
std::string sevenZipX(const fs::path &a, const fs::path &d)
{
    return "7zz x -y -o" + sh(d) + " " + sh(a);
}

// lhasa and bsdtar each extract `archive` (into `out`) to what `src` holds,
// links included.
void expectUnixReadersRestore(const fs::path &archive, const fs::path &src, const fs::path &out)
{
    for (auto extract : {lhasaX, bsdtarX}) {
        fs::remove_all(out);
        fs::create_directories(out);
        std::string log;
        ASSERT_EQ(runCommand(extract(archive, out), &log), 0) << log;
        EXPECT_EQ(firstDifference(snapshot(src), snapshot(out), false), "") << log;
    }
}

class Unlha32Create : public ::testing::TestWithParam<int> {};

TEST_P(Unlha32Create, ReadersExtractTheTreeExactly)
{
    const int level = GetParam();
    TempDir tmp;
    const fs::path src = tmp / "src", arc = tmp / "out.lzh";
    makeVariedTree(src);
    {
        // Packed on worker threads on any machine.
        ForcedWorkerThreads forced;
        ASSERT_EQ(callUnlha("a -x1 -n -r2 -jm" + std::to_string(level) + " " + inQuotes(arc) + " " +
                            inQuotes(src.string() + "/")),
                  0);
        EXPECT_GT(forced.jobsOnWorkers(), 0u);
    }
    const TreeSnapshot want = snapshot(src);

    std::string log;
    EXPECT_EQ(runCommand("lhasa t " + sh(arc), &log), 0) << log;
    EXPECT_EQ(runCommand("lsar -t " + sh(arc), &log), 0) << log;

    std::vector<Reader> readers = {{"lhasa", lhasaX}, {"unar", unarX}};
    if (level != 1) { // libarchive and 7-Zip do not decode -lh1-
        readers.push_back({"bsdtar", bsdtarX});
        readers.push_back({"7zz", sevenZipX});
    }
    for (const auto &r : readers) {
        fs::path out = tmp / (std::string("x-") + r.name);
        fs::create_directories(out);
        ASSERT_EQ(runCommand(r.extract(arc, out), &log), 0) << r.name << ": " << log;
        EXPECT_EQ(firstDifference(want, snapshot(out), true), "") << r.name;
    }

    // Our own extraction reads it back too, links included.
    fs::path ours = tmp / "x-unlha32";
    fs::create_directories(ours);
    ASSERT_EQ(callUnlha("x  -n " + inQuotes(arc) + " " + inQuotes(ours.string() + "/")), 0);
    EXPECT_EQ(firstDifference(want, snapshot(ours), true), "") << "unlha32";
}

INSTANTIATE_TEST_SUITE_P(Methods, Unlha32Create, ::testing::Values(0, 1, 2, 3, 4),
                         [](const auto &p) { return "jm" + std::to_string(p.param); });

TEST(Unlha32CreateMembers, MethodsAreRecordedAndIncompressibleFilesStored)
{
    TempDir tmp;
    writeFile(tmp / "src/text.txt", text(100000));
    writeFile(tmp / "src/noise.bin", randomBytes(50000, 5));
    const char *ids[] = {"-lh0-", "-lh1-", "-lh5-", "-lh6-", "-lh7-"};
    for (int level = 0; level <= 4; ++level) {
        fs::path arc = tmp / ("m" + std::to_string(level) + ".lzh");
        ASSERT_EQ(callUnlha("a -x1 -r2 -jm" + std::to_string(level) + " " + inQuotes(arc) + " " +
                            inQuotes(tmp / "src/")),
                  0);
        std::string list;
        ASSERT_EQ(runCommand("lhasa v " + sh(arc), &list), 0);
        EXPECT_NE(list.find(std::string(ids[level]) + " "), std::string::npos) << list;
        // noise.bin is listed first (byte order) and never shrinks.
        EXPECT_NE(list.find("-lh0-"), std::string::npos) << list;
    }
}

TEST(Unlha32CreateMembers, LargeFilesStreamBetweenSmallOnes)
{
    // Files over 8 MiB are compressed straight into the archive while the
    // smaller ones around them are packed on worker threads.
    TempDir tmp;
    writeFile(tmp / "src/a.txt", text(3000));
    writeFile(tmp / "src/b-large.txt", text((8u << 20) + 4096));
    writeFile(tmp / "src/c-noise.bin", randomBytes((8u << 20) + 4096, 11));
    writeFile(tmp / "src/d.txt", text(70000));
    const fs::path arc = tmp / "mix.lzh";
    {
        ForcedWorkerThreads forced;
        ASSERT_EQ(callUnlha("a -x1 -n -r2 -jm2 " + inQuotes(arc) + " " + inQuotes(tmp / "src/")), 0);
        EXPECT_EQ(forced.jobsOnWorkers(), 2u); // a.txt and d.txt
    }
    fs::create_directories(tmp / "out");
    std::string log;
    ASSERT_EQ(runCommand(lhasaX(arc, tmp / "out"), &log), 0) << log;
    EXPECT_EQ(firstDifference(snapshot(tmp / "src"), snapshot(tmp / "out"), true), "");
    runCommand("lhasa v " + sh(arc), &log);
    EXPECT_NE(log.find("-lh0- "), std::string::npos) << log; // the noise, stored
}

TEST(Unlha32CreateLinks, LinksAreStoredAsLinksForUnixReaders)
{
    TempDir tmp;
    writeFile(tmp / "src/target.txt", "target\n");
    fs::create_directory_symlink("sub", tmp / "src/dirlink");
    fs::create_directories(tmp / "src/sub");
    fs::create_symlink("target.txt", tmp / "src/link.txt");
    fs::path arc = tmp / "l.lzh";
    ASSERT_EQ(callUnlha("a -x1 -n -r2 -jm2 " + inQuotes(arc) + " " + inQuotes(tmp / "src/")), 0);
    expectUnixReadersRestore(arc, tmp / "src", tmp / "out");
}

// A link is stored as "name|target", and readers end the name at the first
// "|" (libarchive in the whole path): a link whose path holds one would come
// back as another link, so the archive fails and nothing is written.  A "|"
// in the target is read back whole.
TEST(Unlha32CreateLinks, BarInALinksPathFailsInItsTargetStays)
{
    TempDir tmp;
    writeFile(tmp / "src/b", "b\n");
    const fs::path arc = tmp / "bar.lzh";
    const std::string cmd = "a -x1 -n -r2 -jm2 " + inQuotes(arc) + " " + inQuotes(tmp / "src/");
    for (const fs::path &link : {fs::path("a|b"), fs::path("x|y/link")}) {
        fs::create_directories((tmp / "src" / link).parent_path());
        fs::create_symlink("b", tmp / "src" / link);
        EXPECT_EQ(callUnlha(cmd), kErrNotSupported) << link;
        EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1) << link;
        fs::remove(tmp / "src" / link);
    }
    fs::remove(tmp / "src/x|y");
    fs::create_symlink("c|d", tmp / "src/link");
    ASSERT_EQ(callUnlha(cmd), 0);
    expectUnixReadersRestore(arc, tmp / "src", tmp / "out");
}

TEST(Unlha32CreateNames, WithoutPathsNamesOnlyAndClashesFail)
{
    TempDir tmp;
    writeFile(tmp / "src/top.txt", "1");
    writeFile(tmp / "src/sub/inner.txt", "2");
    fs::path arc = tmp / "n.lzh";
    ASSERT_EQ(callUnlha("a -n -r2 -jm2 " + inQuotes(arc) + " " + inQuotes(tmp / "src/")), 0);
    fs::create_directories(tmp / "out");
    ASSERT_EQ(runCommand(lhasaX(arc, tmp / "out")), 0);
    EXPECT_EQ(readFile(tmp / "out/inner.txt"), "2");
    EXPECT_FALSE(fs::exists(tmp / "out/sub"));

    // Without -r2 only the folder's own files.
    fs::path flat = tmp / "flat.lzh";
    ASSERT_EQ(callUnlha("a -x1 -jm2 " + inQuotes(flat) + " " + inQuotes(tmp / "src/")), 0);
    std::string list;
    runCommand("lhasa l " + sh(flat), &list);
    EXPECT_EQ(list.find("inner"), std::string::npos) << list;
    EXPECT_NE(list.find("top.txt"), std::string::npos) << list;

    writeFile(tmp / "src/sub/top.txt", "3");
    fs::path clash = tmp / "clash.lzh";
    EXPECT_EQ(callUnlha("a -n -r2 -jm2 " + inQuotes(clash) + " " + inQuotes(tmp / "src/")), kErrNameClash);
    EXPECT_FALSE(fs::exists(clash));
}

TEST(Unlha32CreateCommand, BadCommandsFailAndWriteNothing)
{
    TempDir tmp;
    writeFile(tmp / "src/a.txt", "a");
    const fs::path arc = tmp / "keep.lzh";
    writeFile(arc, "old content");
    const std::string paths = " " + inQuotes(arc) + " " + inQuotes(tmp / "src/");
    EXPECT_EQ(callUnlha("a -x1 -n -r2 -jm5" + paths), kErrNotSupported);
    EXPECT_EQ(callUnlha("a -x1 -n -r2 -jm-1" + paths), kErrNotSupported);
    EXPECT_EQ(callUnlha("a -x1 -n -r2 -jmx" + paths), kErrCommandLine);
    EXPECT_EQ(callUnlha("a -x1 -n -r2 -jm" + paths), kErrCommandLine);
    EXPECT_EQ(callUnlha("a -x1 -q -r2 -jm2" + paths), kErrCommandLine);
    EXPECT_EQ(callUnlha("a -x1 -r2 -jm2 " + inQuotes(arc)), kErrCommandLine);
    EXPECT_EQ(callUnlha("a -x1 -r2 -jm2" + paths + " \"extra\""), kErrCommandLine);
    EXPECT_EQ(callUnlha("a -x1 -r2 -jm2 " + inQuotes(arc) + " \"" + (tmp / "missing/").string() + "\""),
              kErrNoFiles);
    EXPECT_EQ(callUnlha("a -x1 -r2 -jm2 \"" + (tmp / "no/such/dir/x.lzh").string() + "\" " +
                        inQuotes(tmp / "src/")),
              kErrWrite);
    EXPECT_EQ(readFile(arc), "old content");
    // Nothing else appeared (no temporary files left behind).
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 2);
}

TEST(Unlha32CreateCommand, ArchiveInsideTheSourceFolderIsNotPackedIntoItself)
{
    TempDir tmp;
    writeFile(tmp / "src/a.txt", text(10000));
    const fs::path arc = tmp / "src/self.lzh";
    ASSERT_EQ(callUnlha("a -x1 -n -r2 -jm2 " + inQuotes(arc) + " " + inQuotes(tmp / "src/")), 0);
    std::string list;
    runCommand("lhasa l " + sh(arc), &list);
    EXPECT_EQ(list.find("self"), std::string::npos) << list;
    EXPECT_EQ(list.find(".qvo"), std::string::npos) << list;
}

TEST(Unlha32CreateLimits, FilesOverFourGiBFailWithoutWriting)
{
    TempDir tmp;
    fs::create_directories(tmp / "src");
    {
        std::ofstream(tmp / "src/small.txt") << "x";
    }
    // Sparse: no disk space needed.
    writeFile(tmp / "src/huge.bin", "");
    ASSERT_EQ(truncate((tmp / "src/huge.bin").c_str(), (int64_t(1) << 32) + 1), 0);
    const fs::path arc = tmp / "big.lzh";
    EXPECT_EQ(callUnlha("a -x1 -n -r2 -jm2 " + inQuotes(arc) + " " + inQuotes(tmp / "src/")), kErrTooLarge);
    EXPECT_FALSE(fs::exists(arc));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

TEST(Unlha32CreateLimits, OneGiBFileRoundTrips)
{
    QVO_SKIP_IF_HEAVY();
    TempDir tmp;
    fs::create_directories(tmp / "src");
    {
        // Text with noise spliced in: compressible, but not trivially.
        std::ofstream out(tmp / "src/gib.dat", std::ios::binary);
        std::string t = text(1 << 20), n = randomBytes(1 << 16, 9);
        for (int i = 0; i < 1024; ++i) {
            std::string chunk = t;
            chunk.replace(size_t(i * 997) % (t.size() - n.size()), n.size() / 4, n, 0, n.size() / 4);
            out << chunk;
        }
    }
    const fs::path arc = tmp / "gib.lzh";
    ASSERT_EQ(callUnlha("a -x1 -n -r2 -jm2 " + inQuotes(arc) + " " + inQuotes(tmp / "src/")), 0);
    std::string log;
    EXPECT_EQ(runCommand("lhasa t " + sh(arc), &log), 0) << log;
    EXPECT_EQ(runCommand("7zz t " + sh(arc), &log), 0) << log;
    EXPECT_LT(fs::file_size(arc), fs::file_size(tmp / "src/gib.dat") / 2);
}

} // namespace
