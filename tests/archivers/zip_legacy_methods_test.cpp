// ZIP archives with members in Shrink, Reduce, Implode or Deflate64 go
// through our own ZIP reader: contents, names, folders and times as the
// libarchive path gives them, and damaged members fail alone.
#include "archive_builders.h"
#include "reader_test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace qvo::test;
using namespace qvo::archivers;

namespace {

fs::path corpusFile(const std::string &rel)
{
    return fs::path(QVO_CORPUS_DIR) / rel;
}

CallOutcome unzipTo(const fs::path &archive, const fs::path &dest)
{
    fs::create_directories(dest);
    return callArchiver(kUnZip, "-x -q " + quoted(archive) + " " + quoted(dest));
}

CallOutcome sevenZipTo(const fs::path &archive, const fs::path &dest)
{
    fs::create_directories(dest);
    return callArchiver(kSevenZip, "x -hide " + quoted(archive) + " " + quoted(dest));
}

int64_t mtimeOf(const fs::path &p)
{
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

// Names directly in `dir` (snapshot() would resolve links inside it).
std::set<std::string> namesIn(const fs::path &dir)
{
    std::set<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// Offset of the first local header's data.
size_t firstDataOffset(const std::string &zip)
{
    return 30 + (static_cast<unsigned char>(zip[26]) | static_cast<unsigned char>(zip[27]) << 8)
        + (static_cast<unsigned char>(zip[28]) | static_cast<unsigned char>(zip[29]) << 8);
}

// `text` as a Deflate64 stream of one stored block.
std::string deflate64Stored(const std::string &text)
{
    std::string s = "\x01";
    appendLe16(s, text.size());
    appendLe16(s, text.size() ^ 0xFFFF);
    return s + text;
}

// Gives member `name` of a buildZip() archive the method `method` and the
// CRC and size of `decoded`, in its local and central header.
void setDecodedMember(std::string &zip, const std::string &name, uint16_t method, const std::string &decoded)
{
    auto patch = [&](size_t methodAt, size_t crcAt, size_t sizeAt) {
        std::string m, c, n;
        appendLe16(m, method);
        appendLe32(c, crc32Of(decoded));
        appendLe32(n, decoded.size());
        zip.replace(methodAt, 2, m);
        zip.replace(crcAt, 4, c);
        zip.replace(sizeAt, 4, n);
    };
    for (size_t at = 0; (at = zip.find(name, at)) != std::string::npos; at += name.size()) {
        if (at >= 30 && zip.compare(at - 30, 4, "PK\x03\x04") == 0)
            patch(at - 30 + 8, at - 30 + 14, at - 30 + 22);
        else if (at >= 46 && zip.compare(at - 46, 4, "PK\x01\x02") == 0)
            patch(at - 46 + 10, at - 46 + 16, at - 46 + 24);
    }
}

} // namespace

TEST(ZipLegacyMethods, ReduceGivesTheSameTextAsImplode)
{
    // No other reader here decodes Reduce; the zip2 legacy archives all
    // hold the same first.txt.
    TempDir dir;
    CallOutcome r = unzipTo(corpusFile("zip/zip2/legacy/reduce.zip"), dir / "r");
    CallOutcome i = sevenZipTo(corpusFile("zip/zip2/legacy/implode.zip"), dir / "i");
    ASSERT_TRUE(r.finished && i.finished);
    EXPECT_EQ(r.result, kOk) << describe(r);
    EXPECT_EQ(i.result, kOk) << describe(i);
    std::string text = readFile(dir / "r/first.txt");
    EXPECT_EQ(text.size(), 1092u);
    EXPECT_EQ(text, readFile(dir / "i/first.txt"));
}

TEST(ZipLegacyMethods, Deflate64ArchiveKeepsTreeNamesAndTimes)
{
    ASSERT_TRUE(haveTool("7zz"));
    TempDir dir;
    writeFile(dir / "src/表/能.txt", std::string(100000, 'x') + "end");
    writeFile(dir / "src/plain.txt", "plain");
    writeFile(dir / "src/empty.bin", "");
    fs::create_directories(dir / "src/emptydir");
    ASSERT_EQ(runCommand("touch -d '2019-05-06 07:08:10 UTC' " + sh(dir / "src/plain.txt")), 0);
    ASSERT_EQ(runCommand("cd " + sh(dir / "src") + " && LC_ALL=C.UTF-8 7zz a -tzip -mm=Deflate64 ../a.zip . >/dev/null"),
              0);
    ASSERT_EQ(runCommand("cd " + sh(dir.path()) + " && LC_ALL=C.UTF-8 7zz x -y -bd -otheirs a.zip >/dev/null"), 0);

    for (const char *lib : {"unzip32", "7-zip32"}) {
        SCOPED_TRACE(lib);
        fs::path ours = dir / lib;
        CallOutcome o = std::string(lib) == "unzip32" ? unzipTo(dir / "a.zip", ours) : sevenZipTo(dir / "a.zip", ours);
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, kOk) << describe(o);
        EXPECT_EQ(snapshot(ours), snapshot(dir / "theirs"));
        EXPECT_EQ(readFile(ours / "表/能.txt").size(), 100003u);
        EXPECT_EQ(mtimeOf(ours / "plain.txt"), mtimeOf(dir / "src/plain.txt"));
    }
}

TEST(ZipLegacyMethods, DamagedMembersFailAloneAndLeaveNothing)
{
    std::string shrink = readFile(corpusFile("zip/zip2/legacy/shrink.zip"));
    size_t data = firstDataOffset(shrink);

    struct Case {
        std::string what;
        std::string bytes;
        int32_t expected;
    };
    std::vector<Case> cases;
    {
        std::string b = shrink;
        b[data + 200] ^= 0x5A; // CRC (or the code stream) no longer matches
        cases.push_back({"flipped data", b, kErrCorrupt});
    }
    {
        std::string b = shrink;
        size_t cd = b.find("PK\x01\x02");
        b[cd + 42] = '\x40'; // local header offset into the data
        cases.push_back({"local offset wrong", b, kErrCorrupt});
    }
    {
        std::string b = shrink;
        size_t cd = b.find("PK\x01\x02");
        b[cd + 20] = '\xFF'; // compressed size past the directory
        b[cd + 21] = '\xFF';
        b[cd + 22] = '\x0F';
        cases.push_back({"compressed size too large", b, kErrCorrupt});
    }
    {
        std::string b = shrink;
        size_t cd = b.find("PK\x01\x02");
        b[cd + 8] |= 0x01;
        cases.push_back({"encrypted", b, kErrEncrypted});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeFile(dir / "a.zip", c.bytes);
        CallOutcome o = unzipTo(dir / "a.zip", dir / "out");
        ASSERT_TRUE(o.finished) << describe(o);
        EXPECT_EQ(o.result, c.expected) << describe(o);
        EXPECT_TRUE(snapshot(dir / "out").empty());
    }
}

TEST(ZipLegacyMethods, HostileNamesInOwnReaderAreRefused)
{
    // One Deflate64 member sends the whole archive through our own reader;
    // names and links that leave the destination are refused there too,
    // links inside it are made.
    std::string zip = buildZip({zipFile("../escape.txt", "x"), zipFile("/abs.txt", "y"), zipLink("out", "../canary"),
                                zipLink("in", "ok.txt"), zipFile("ok.txt", deflate64Stored("fine"))});
    setDecodedMember(zip, "ok.txt", 9, "fine");
    TempDir dir;
    writeFile(dir / "a.zip", zip);
    CallOutcome o = unzipTo(dir / "a.zip", dir / "out");
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kErrUnsafeEntry) << describe(o);
    EXPECT_EQ(readFile(dir / "out/ok.txt"), "fine");
    ASSERT_TRUE(fs::is_symlink(dir / "out/in"));
    EXPECT_EQ(fs::read_symlink(dir / "out/in"), "ok.txt");
    EXPECT_EQ(namesIn(dir / "out"), (std::set<std::string>{"in", "ok.txt"}));
    EXPECT_FALSE(fs::exists(dir / "escape.txt"));
}

TEST(ZipLegacyMethods, LegacyZipStoredInsideSevenZipIsNotTakenForTheArchive)
{
    // An uncompressed 7z whose last file is a Shrink archive ends with that
    // archive's directory; 7-zip32 must still read the 7z.
    ASSERT_TRUE(haveTool("7zz"));
    TempDir dir;
    fs::copy_file(corpusFile("zip/zip2/legacy/shrink.zip"), dir / "inner.zip");
    ASSERT_EQ(runCommand("cd " + sh(dir.path()) + " && 7zz a -t7z -mx0 outer.7z inner.zip >/dev/null"), 0);
    CallOutcome o = sevenZipTo(dir / "outer.7z", dir / "out");
    ASSERT_TRUE(o.finished) << describe(o);
    EXPECT_EQ(o.result, kOk) << describe(o);
    EXPECT_EQ(readFile(dir / "out/inner.zip"), readFile(dir / "inner.zip"));
    EXPECT_EQ(snapshot(dir / "out").size(), 1u);
}
