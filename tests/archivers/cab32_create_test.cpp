// cab32's create command through the library's C entry point, checked with
// independent readers (cabextract, 7zz, bsdtar).
#include "archivers/include/qvo_archiver.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvo::archivers;
using qvo::test::TempDir;
using qvo::test::randomBytes;
using qvo::test::readFile;
using qvo::test::runCommand;
using qvo::test::sh;
using qvo::test::writeFile;

namespace {

QvoCommandFunction *loadCab()
{
    static void *lib = dlopen((std::string(QVO_LIBRARY_DIR "/") + qvo_cab32.file).c_str(), RTLD_NOW);
    return lib ? reinterpret_cast<QvoCommandFunction *>(dlsym(lib, qvo_cab32.commandFunction)) : nullptr;
}

// Calls Cab from inside `dir`, as the back-end does, and comes back.
int32_t cabIn(const fs::path &dir, const std::string &command)
{
    QvoCommandFunction *cab = loadCab();
    if (!cab)
        return -1;
    fs::path previous = fs::current_path();
    fs::current_path(dir);
    char output[64];
    int32_t rc = cab(nullptr, command.c_str(), output, sizeof output);
    fs::current_path(previous);
    return rc;
}

// Sets TZ for the test and the readers it starts, and puts it back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char *tz)
    {
        if (const char *old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> old_;
};

std::string text(size_t size)
{
    std::string s;
    for (int i = 0; s.size() < size; ++i)
        s += "行 " + std::to_string(i) + ": the quick brown fox\n";
    s.resize(size);
    return s;
}

struct FileInfo {
    std::string data;
    int64_t mtime = 0;
};

// Regular files below `root` by relative path.
std::map<std::string, FileInfo> listFiles(const fs::path &root)
{
    std::map<std::string, FileInfo> files;
    for (auto &it : fs::recursive_directory_iterator(root)) {
        if (!it.is_regular_file())
            continue;
        struct stat st;
        stat(it.path().c_str(), &st);
        files[fs::relative(it.path(), root).string()] = {readFile(it.path()), st.st_mtime};
    }
    return files;
}

void setTime(const fs::path &p, int64_t t)
{
    struct timespec ts[2] = {{t, 0}, {t, 0}};
    utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW);
}

const std::vector<std::pair<std::string, std::string>> kReaders = {
    {"cabextract", "cabextract -q -d OUT CAB"},
    {"7zz", "7zz x -y -oOUT CAB"},
    {"bsdtar", "mkdir -p OUT && bsdtar -xf CAB -C OUT"},
};

// Extracts `cab` with every reader and compares with `expected`.
void expectReadBack(const fs::path &work, const fs::path &cab,
                    const std::map<std::string, FileInfo> &expected)
{
    for (const auto &[reader, pattern] : kReaders) {
        SCOPED_TRACE(reader);
        fs::path out = work / ("out-" + reader);
        fs::remove_all(out);
        std::string cmd = pattern;
        for (size_t at; (at = cmd.find("OUT")) != std::string::npos;)
            cmd.replace(at, 3, sh(out));
        cmd.replace(cmd.find("CAB"), 3, sh(cab));
        std::string log;
        ASSERT_EQ(runCommand(cmd, &log), 0) << log;
        auto got = listFiles(out);
        std::vector<std::string> gotNames, wantNames;
        for (auto &[n, i] : got)
            gotNames.push_back(n);
        for (auto &[n, i] : expected)
            wantNames.push_back(n);
        ASSERT_EQ(gotNames, wantNames);
        for (const auto &[name, want] : expected) {
            EXPECT_TRUE(got[name].data == want.data) << name;
            // DOS times hold even seconds.
            EXPECT_EQ(got[name].mtime, want.mtime & ~int64_t(1)) << name;
        }
        fs::remove_all(out);
    }
}

class CabCreate : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(loadCab(), nullptr) << dlerror();
        for (const auto &r : {"cabextract", "7zz", "bsdtar"})
            ASSERT_TRUE(qvo::test::haveTool(r)) << r << " is needed";
    }

    // A tree with the awkward cases; returns what a recursive cabinet of it
    // must hold.
    std::map<std::string, FileInfo> makeTree(const fs::path &root)
    {
        std::map<std::string, FileInfo> files = {
            {"readme.txt", {"hello\n", 1704164645}},
            {".hidden", {"dot file", 1704164646}},
            {"noext", {"", 1704164647}},
            {"日本語の名前.txt", {"中身", 1262304000}},
            {"folder with spaces/file name.txt", {"spaces", 1000000001}},
            {"a/b/c/d/e/f/g/h/deep.txt", {"deep", 1704164645}},
            {"フォルダ/frames.bin", {randomBytes(3 * 32768 + 500, 1) + text(200000), 1704164645}},
            {"one-frame-and-a-bit.txt", {text(32769), 1704164645}},
            {"exact-frames.bin", {randomBytes(2 * 32768, 2), 1704164645}},
            {"read only.txt", {"locked", 1704164645}},
        };
        for (const auto &[name, info] : files) {
            writeFile(root / name, info.data);
            setTime(root / name, info.mtime);
        }
        fs::create_directories(root / "empty folder");
        chmod((root / "read only.txt").c_str(), 0444);
        // A link to a file is stored as that file; a dangling one is left out.
        fs::create_symlink("readme.txt", root / "link to readme");
        setTime(root / "link to readme", 1500000000);
        files["link to readme"] = files["readme.txt"];
        fs::create_symlink("nowhere", root / "dangling");
        // Before 1980 the DOS fields cannot go: the earliest time they hold.
        writeFile(root / "1970.txt", "old");
        setTime(root / "1970.txt", 100);
        struct tm epoch {};
        epoch.tm_year = 80;
        epoch.tm_mday = 1;
        epoch.tm_isdst = -1;
        files["1970.txt"] = {"old", mktime(&epoch)};
        return files;
    }
};

TEST_F(CabCreate, MszipAndStoredTreesReadBackWithEveryReader)
{
    ScopedTimeZone tz("Asia/Tokyo"); // the DOS fields hold local time
    TempDir work;
    fs::path root = work / "src";
    auto expected = makeTree(root);
    for (const char *method : {"-mz", "-ms"}) {
        SCOPED_TRACE(method);
        fs::path cab = work / "出力 先.cab";
        ASSERT_EQ(cabIn(root, std::string("-a -r -i ") + method + " \"" + cab.string() + "\" *.*"), kOk);
        expectReadBack(work.path(), cab, expected);

        std::string listing;
        ASSERT_EQ(runCommand("7zz l -slt " + sh(cab), &listing), 0);
        EXPECT_NE(listing.find(std::string("Method = ") + (method[2] == 'z' ? "MSZip" : "None")),
                  std::string::npos);
        // Read-only from the permission bits, archive always.
        size_t ro = listing.find("Path = read only.txt");
        ASSERT_NE(ro, std::string::npos);
        EXPECT_NE(listing.find("Attributes = RA", ro), std::string::npos);
        size_t rw = listing.find("Path = readme.txt");
        ASSERT_NE(rw, std::string::npos);
        EXPECT_EQ(listing.substr(listing.find("Attributes = ", rw), 15), "Attributes = A\n");
        std::string test;
        EXPECT_EQ(runCommand("cabextract -t " + sh(cab), &test), 0) << test;
    }
}

TEST_F(CabCreate, LzxTreesReadBackWithEveryReader)
{
    ScopedTimeZone tz("Asia/Tokyo");
    TempDir work;
    fs::path root = work / "src";
    auto expected = makeTree(root);
    for (const char *window : {"15", "18", "21"}) {
        SCOPED_TRACE(window);
        fs::path cab = work / "lzx.cab";
        ASSERT_EQ(cabIn(root, std::string("-a -r -i -ml:") + window + " \"" + cab.string() + "\" *.*"), kOk);
        expectReadBack(work.path(), cab, expected);
        std::string listing;
        ASSERT_EQ(runCommand("7zz l -slt " + sh(cab), &listing), 0);
        EXPECT_NE(listing.find(std::string("Method = LZX:") + window), std::string::npos) << listing;
    }
}

TEST_F(CabCreate, WithoutRecursionOnlyTopLevelFiles)
{
    TempDir work;
    fs::path root = work / "src";
    auto all = makeTree(root);
    std::map<std::string, FileInfo> expected;
    for (const auto &[name, info] : all)
        if (name.find('/') == std::string::npos)
            expected[name] = info;
    fs::path cab = work / "flat.cab";
    ASSERT_EQ(cabIn(root, "-a -mz \"" + cab.string() + "\" *.*"), kOk);
    expectReadBack(work.path(), cab, expected);
}

TEST_F(CabCreate, ArchiveInsideTheFolderIsNotPackedAndReplacesTheOldOne)
{
    TempDir work;
    writeFile(work / "a.txt", "a");
    writeFile(work / "x.cab", "old content");
    ASSERT_EQ(cabIn(work.path(), "-a -r -ms \"x.cab\" *.*"), kOk);
    std::string listing;
    ASSERT_EQ(runCommand("cabextract -l " + sh(work / "x.cab"), &listing), 0) << listing;
    EXPECT_NE(listing.find("| a.txt\n"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("| x.cab"), std::string::npos) << listing;
    EXPECT_EQ(listing.find(".qvo-"), std::string::npos);
}

TEST_F(CabCreate, BadCommandsWriteNothing)
{
    TempDir work;
    writeFile(work / "src/a.txt", "a");
    fs::path out = work / "out";
    fs::create_directories(out);
    const std::string cab = " \"" + (out / "x.cab").string() + "\" *.*";
    const std::vector<std::string> bad = {
        "-a -r" + cab,                     // no method
        "-a -mz -ms" + cab,                // two methods
        "-a -r -q -mz" + cab,              // unknown switch
        "-a -ml:14" + cab, "-a -ml:22" + cab, "-a -ml:" + cab, "-a -ml:1x" + cab,
        "-a -mz \"" + (out / "x.cab").string() + "\"", // no *.*
        "-a -mz" + cab + " extra",
        "-a -mz \"\" *.*",
        "-r -mz" + cab,                    // no -a
    };
    for (const auto &cmd : bad)
        EXPECT_EQ(cabIn(work / "src", cmd), kErrCommandLine) << cmd;
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(CabCreate, FailuresLeaveTheTargetFolderAsItWas)
{
    TempDir work;
    fs::path root = work / "src";
    writeFile(root / "a.txt", "a");
    fs::path out = work / "out";
    writeFile(out / "x.cab", "old content");
    const std::string cab = " \"" + (out / "x.cab").string() + "\" *.*";

    // Missing target folder, and a target below a file.
    EXPECT_EQ(cabIn(root, "-a -mz \"" + (work / "none/x.cab").string() + "\" *.*"), kErrWrite);
    EXPECT_EQ(cabIn(root, "-a -mz \"" + (out / "x.cab/y.cab").string() + "\" *.*"), kErrWrite);

    // A name longer than a cabinet can hold fails the whole call.
    std::string longName(120, 'd');
    writeFile(root / longName / longName / "file-name-too-long.txt", "x");
    EXPECT_EQ(cabIn(root, "-a -r -mz" + cab), kErrTooLarge);
    fs::remove_all(root / longName);

    // An unreadable file (when permissions bind: not as root).
    if (geteuid() != 0) {
        writeFile(root / "secret", "s");
        chmod((root / "secret").c_str(), 0);
        EXPECT_EQ(cabIn(root, "-a -mz" + cab), kErrWrite);
        fs::remove(root / "secret");
    }
    // Nothing to pack: only an empty folder.
    fs::remove(root / "a.txt");
    fs::create_directories(root / "empty");
    EXPECT_EQ(cabIn(root, "-a -r -mz" + cab), kErrNoFiles);

    std::vector<std::string> left;
    for (auto &e : fs::directory_iterator(out))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"x.cab"});
    EXPECT_EQ(readFile(out / "x.cab"), "old content");
}

TEST_F(CabCreate, InputBeyondOneCabinetIsRefusedUpFront)
{
    // Sparse files: stored data past 4 GiB is known to be too large before
    // anything is read, and one file past a folder's 65,535 frames never fits.
    TempDir work;
    fs::path root = work / "src";
    fs::create_directories(root);
    for (const char *n : {"a", "b", "c"}) {
        writeFile(root / n, "");
        fs::resize_file(root / n, 1800ull << 20);
    }
    fs::path cab = work / "x.cab";
    EXPECT_EQ(cabIn(root, "-a -ms \"" + cab.string() + "\" *.*"), kErrTooLarge);
    writeFile(root / "huge", "");
    fs::resize_file(root / "huge", 65535ull * 32768 + 1);
    EXPECT_EQ(cabIn(root, "-a -mz \"" + cab.string() + "\" *.*"), kErrTooLarge);
    EXPECT_FALSE(fs::exists(cab));
}

TEST_F(CabCreate, Utf8FlagOnlyForNamesThatAreUtf8)
{
    // One file per cabinet: its CFFILE record follows the folder record.
    auto firstFile = [](const fs::path &cab, uint16_t &attribs, std::string &name) {
        std::string b = readFile(cab);
        ASSERT_GT(b.size(), 36u);
        uint32_t coffFiles = uint8_t(b[16]) | uint8_t(b[17]) << 8 | uint8_t(b[18]) << 16 |
                             uint32_t(uint8_t(b[19])) << 24;
        attribs = uint16_t(uint8_t(b[coffFiles + 14]) | uint8_t(b[coffFiles + 15]) << 8);
        name = b.c_str() + coffFiles + 16;
    };
    const std::vector<std::pair<std::string, uint16_t>> cases = {
        {"plain.txt", 0x20},
        {"日本語.txt", 0xA0},
        {"\x93\xfa\x96\x7b.txt", 0x20}, // CP932 bytes: kept as they are
    };
    for (const auto &[name, attribs] : cases) {
        TempDir work;
        writeFile(work / "src" / name, "x");
        fs::path cab = work / "n.cab";
        ASSERT_EQ(cabIn(work / "src", "-a -ms \"" + cab.string() + "\" *.*"), kOk);
        uint16_t gotAttribs = 0;
        std::string gotName;
        firstFile(cab, gotAttribs, gotName);
        EXPECT_EQ(gotAttribs, attribs) << name;
        EXPECT_EQ(gotName, name);
    }
}

TEST_F(CabCreate, FolderOfFullSizeSplitsAt65535Frames)
{
    QVO_SKIP_IF_HEAVY();
    // Sparse files: 65,534 frames and 2 frames, one too many for a folder,
    // so the second file starts a new one.
    TempDir work;
    fs::path root = work / "src";
    fs::create_directories(root);
    const uint64_t frame = 32768;
    writeFile(root / "first.bin", "");
    fs::resize_file(root / "first.bin", 65534 * frame);
    writeFile(root / "second.bin", "tail");
    fs::resize_file(root / "second.bin", 2 * frame);
    fs::path cab = work / "big.cab";
    ASSERT_EQ(cabIn(root, "-a -mz \"" + cab.string() + "\" *.*"), kOk);
    std::string log;
    ASSERT_EQ(runCommand("7zz l -slt " + sh(cab), &log), 0) << log;
    size_t second = log.find("Path = second.bin");
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(log.find("Block = 1", second), std::string::npos) << log;
    // Every block decompressed and its checksum and MD5 checked.
    EXPECT_EQ(runCommand("cabextract -t " + sh(cab), &log), 0) << log;
    EXPECT_NE(log.find("All done, no errors."), std::string::npos) << log;
}

} // namespace
