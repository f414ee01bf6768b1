#include "zip32j_test_support.h"
#include "platform/as_unprivileged_user.h"

#include "archivers/include/qvo_archiver.h"

#include <random>

using namespace qvo::test;
using namespace qvo::test::zip32j;
using namespace qvo::archivers;

namespace {

std::string textOf(size_t n, unsigned seed)
{
    static const char *words[] = {"変換 ", "archive ", "folder ", "\n", "name ", "time ", "書庫 "};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n)
        s += words[rng() % 7];
    s.resize(n);
    return s;
}

// The tree the back-end hands over after an extraction: names in Japanese
// and with spaces, dot files, files without a dot, empty files and folders,
// deep folders, links, read-only and executable files, odd-second times.
void makeTree(const fs::path &root)
{
    int64_t t = 1500000001;
    auto file = [&](const std::string &rel, const std::string &data, unsigned mode = 0644) {
        writeFile(root / rel, data);
        fs::permissions(root / rel, static_cast<fs::perms>(mode));
        setTime(root / rel, t += 3);
    };
    file("a.txt", "hello\n");
    file(".hidden", "dot file\n");
    file("noext", textOf(3000, 1));
    file("empty.txt", "");
    file("name with spaces.txt", "spaces\n");
    file("日本語フォルダ/資料.txt", textOf(20000, 2));
    file("日本語フォルダ/サブ フォルダ/報告書 2024年.txt", textOf(50000, 3));
    file("deep/l2/l3/l4/l5/l6/l7/l8/deep file.txt", "deep\n");
    file("sub/text.txt", textOf(300000, 4));
    file("sub/random.bin", randomBytes(70000, 5));
    file("sub/readonly.txt", "read only\n", 0444);
    file("sub/run.sh", "#!/bin/sh\necho hi\n", 0755);
    fs::create_directories(root / "emptydir");
    fs::create_directories(root / "日本語フォルダ/空フォルダ");
    fs::create_symlink("../a.txt", root / "sub/link");
    fs::create_symlink("nowhere", root / "dangling");
    // Folder times last: adding entries changed them.
    std::vector<fs::path> dirs;
    for (auto &e : fs::recursive_directory_iterator(root))
        if (e.is_directory() && !e.is_symlink())
            dirs.push_back(e.path());
    for (auto &d : dirs)
        setTime(d, t += 3);
}

class Zip32JTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(zipLibrary().loaded()) << "Zip32J.so not found in " QVO_LIBRARY_DIR;
        fs::create_directories(src());
        fs::create_directories(out());
    }
    fs::path src() const { return tmp_ / "src"; }
    fs::path out() const { return tmp_ / "out"; }
    fs::path work() const { return tmp_.path(); }
    int32_t zip(const std::string &cmd) const { return zipLibrary().run(src(), cmd); }
    std::string quoted(const fs::path &p) const { return "\"" + p.string() + "\""; }
    std::vector<std::string> outFiles() const
    {
        std::vector<std::string> v;
        for (auto &e : fs::directory_iterator(out()))
            v.push_back(e.path().filename().string());
        return v;
    }
    std::string zipinfo(const fs::path &zip) const
    {
        std::string log;
        EXPECT_EQ(runCommand("LC_ALL=C.UTF-8 zipinfo " + sh(zip), &log), 0) << log;
        return log;
    }

    TempDir tmp_;
};

} // namespace

TEST_F(Zip32JTest, VersionIsReported)
{
    EXPECT_EQ(zipLibrary().version(), 300);
}

TEST_F(Zip32JTest, RecursiveArchiveReadsBackAtEveryLevel)
{
    makeTree(src());
    uintmax_t previous = UINTMAX_MAX;
    for (int level : {0, 1, 6, 9}) {
        fs::path zipPath = out() / ("tree-" + std::to_string(level) + ".zip");
        ASSERT_EQ(zip("-r -q -" + std::to_string(level) + " " + quoted(zipPath) + " *.*"), kOk);
        expectReadersRestore(zipPath, src(), work());
        std::string info = zipinfo(zipPath);
        // Levels show in the method: stored, fast, normal, maximum.
        const char *method = level == 0 ? "defN" : level == 1 ? "defF" : level == 6 ? "defN" : "defX";
        if (level == 0) {
            EXPECT_EQ(info.find("def"), std::string::npos) << info;
        } else {
            EXPECT_NE(info.find(method), std::string::npos) << level << "\n" << info;
        }
        EXPECT_NE(info.find("emptydir/"), std::string::npos);
        uintmax_t size = fs::file_size(zipPath);
        EXPECT_LE(size, previous) << "level " << level; // 6 and 9 may tie on this tree
        previous = size;
    }
    EXPECT_EQ(outFiles().size(), 4u) << "no temporary files left";
}

TEST_F(Zip32JTest, LargeFilesAreChunkedAndReadBack)
{
    // Over the whole-buffer limit, with a short last chunk, beside small files.
    writeFile(src() / "big.txt", textOf((17u << 20) + 12345, 6));
    writeFile(src() / "small.txt", "small\n");
    setTime(src() / "big.txt", 1600000000);
    for (int level : {0, 6}) {
        fs::path zipPath = out() / ("big-" + std::to_string(level) + ".zip");
        {
            // The chunks on worker threads, on any machine.
            ForcedWorkerThreads forced;
            ASSERT_EQ(zip("-r -q -" + std::to_string(level) + " " + quoted(zipPath) + " *.*"), kOk);
            EXPECT_GT(forced.jobsOnWorkers(), 2u);
        }
        expectReadersRestore(zipPath, src(), work());
    }
}

TEST_F(Zip32JTest, FewMembersOnWorkerThreadsAreWrittenEveryTime)
{
    // Enough data for worker threads but fewer members than the writer
    // waits for at once: the writer often asks for the first result before
    // any worker has taken a job.
    // Worker threads are forced, so that this holds on one core too.
    for (int i = 0; i < 3; ++i)
        writeFile(src() / ("f" + std::to_string(i) + ".txt"), textOf(100000, i));
    ForcedWorkerThreads forced;
    for (int round = 0; round < 100; ++round) {
        fs::path zipPath = out() / ("few-" + std::to_string(round % 4) + ".zip");
        ASSERT_EQ(zip("-r -q -6 " + quoted(zipPath) + " *.*"), kOk) << "round " << round;
    }
    EXPECT_GT(forced.jobsOnWorkers(), 0u);
    expectReadersRestore(out() / "few-3.zip", src(), work());
}

TEST_F(Zip32JTest, JunkPathsFlattensFilesAndStoresLinkedFiles)
{
    writeFile(src() / "a.txt", "a\n");
    writeFile(src() / "d1/b.txt", "b\n");
    writeFile(src() / "d1/d2/日本語.txt", "c\n");
    fs::create_directories(src() / "emptydir");
    fs::create_symlink("../a.txt", src() / "d1/link");
    fs::path zipPath = out() / "flat.zip";
    ASSERT_EQ(zip("-j -q -6 " + quoted(zipPath) + " *.*"), kOk);

    fs::path flat = work() / "flat";
    writeFile(flat / "a.txt", "a\n");
    writeFile(flat / "b.txt", "b\n");
    writeFile(flat / "日本語.txt", "c\n");
    writeFile(flat / "link", "a\n");
    // Compare names and contents only: times come from the sources.
    auto names = [](const fs::path &root) {
        std::map<std::string, uint32_t> m;
        for (auto &e : fs::recursive_directory_iterator(root))
            m[fs::relative(e.path(), root).string()] =
                e.is_directory() ? 0 : fileCrc(e.path()) + (e.is_symlink() ? 1 : 0);
        return m;
    };
    for (const auto &tool : readers()) {
        fs::path dest = work() / ("x-" + tool);
        fs::create_directories(dest);
        std::string log;
        ASSERT_EQ(runCommand(extractCommand(tool, zipPath, dest), &log), 0) << tool << log;
        EXPECT_EQ(names(dest), names(flat)) << tool;
    }
}

TEST_F(Zip32JTest, JunkPathsNameClashWritesNothingAndKeepsTheOldArchive)
{
    writeFile(src() / "x/same.txt", "1");
    writeFile(src() / "y/same.txt", "2");
    fs::path zipPath = out() / "clash.zip";
    writeFile(zipPath, "old archive");
    EXPECT_EQ(zip("-j -q -6 " + quoted(zipPath) + " *.*"), kErrNameClash);
    EXPECT_EQ(readFile(zipPath), "old archive");
    EXPECT_EQ(outFiles(), std::vector<std::string>{"clash.zip"});
    // With paths the same tree is fine and replaces the old file.
    ASSERT_EQ(zip("-r -q -6 " + quoted(zipPath) + " *.*"), kOk);
    expectReadersRestore(zipPath, src(), work());
    EXPECT_EQ(outFiles(), std::vector<std::string>{"clash.zip"});
}

TEST_F(Zip32JTest, MalformedCommandsWriteNothing)
{
    writeFile(src() / "a.txt", "a");
    fs::path zipPath = out() / "bad.zip";
    writeFile(zipPath, "old");
    const std::string q = quoted(zipPath);
    for (const std::string &cmd : std::vector<std::string>{
             "-q -6 " + q + " *.*",          // neither -r nor -j
             "-r -j -6 " + q + " *.*",       // both
             "-r -r " + q + " *.*",          // twice
             "-r -q -10 " + q + " *.*",      // level out of range
             "-r -x " + q + " *.*",          // unknown switch
             "-r -6 " + q,                   // no *.*
             "-r -6 " + q + " *.* extra",    // trailing token
             "-r -6 " + q + " a.txt",        // other pattern
             "-r -6 *.*",                    // no archive
             "-r -6 \"\" *.*",               // empty archive name
             "-r -6 \"" + out().string() + "/\" *.*", // a folder
             "-r -6 \"/unterminated *.*",
             "",
         }) {
        EXPECT_EQ(zip(cmd), kErrCommandLine) << cmd;
    }
    EXPECT_EQ(readFile(zipPath), "old");
    EXPECT_EQ(outFiles(), std::vector<std::string>{"bad.zip"});
}

TEST_F(Zip32JTest, MissingTargetFolderAndEmptySourceFail)
{
    writeFile(src() / "a.txt", "a");
    EXPECT_EQ(zip("-r -q -6 " + quoted(out() / "missing/x.zip") + " *.*"), kErrWrite);
    EXPECT_FALSE(fs::exists(out() / "missing"));

    fs::remove_all(src());
    fs::create_directories(src());
    fs::path zipPath = out() / "empty.zip";
    writeFile(zipPath, "old");
    EXPECT_EQ(zip("-r -q -6 " + quoted(zipPath) + " *.*"), kErrNoFiles);
    EXPECT_EQ(readFile(zipPath), "old");
    EXPECT_EQ(outFiles(), std::vector<std::string>{"empty.zip"});
}

TEST_F(Zip32JTest, ArchiveInsideThePackedFolderIsLeftOut)
{
    writeFile(src() / "a.txt", "a");
    writeFile(src() / "in.zip", "stale archive of a previous run");
    ASSERT_EQ(zip("-r -q -6 \"in.zip\" *.*"), kOk);
    std::string log;
    ASSERT_EQ(runCommand("LC_ALL=C.UTF-8 unzip -Z1 " + sh(src() / "in.zip"), &log), 0) << log;
    EXPECT_EQ(log, "a.txt\n");
    std::vector<std::string> left;
    for (auto &e : fs::directory_iterator(src()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.txt", "in.zip"}));
}

// Root reads every file, so the check runs as an ordinary user.
TEST_F(Zip32JTest, UnreadableSourceFailsWithoutArchive)
{
    EXPECT_TRUE(asUnprivilegedUser(work(), [&] {
        writeFile(src() / "secret.txt", "x");
        fs::permissions(src() / "secret.txt", fs::perms::none);
        const int32_t rc = zip("-r -q -6 " + quoted(out() / "s.zip") + " *.*");
        if (rc == kOk || !outFiles().empty()) {
            std::fprintf(stderr, "unreadable source: result 0x%X, %zu files out\n", unsigned(rc), outFiles().size());
            return false;
        }
        return true;
    }));
}
