#include "create/atomic_output_file.h"
#include "create/entries_to_pack.h"
#include "create/source_tree.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvo::create;

namespace {

fs::path makeTempDir()
{
    std::string tmpl = (fs::temp_directory_path() / "qvo-test-XXXXXX").string();
    return fs::path(mkdtemp(tmpl.data()));
}

void writeFile(const fs::path &p, const std::string &data)
{
    std::ofstream(p, std::ios::binary) << data;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

std::string readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(SourceTree, ListsDotFilesFoldersInOrderAndSkipsExcluded)
{
    fs::path root = makeTempDir();
    fs::create_directories(root / "b" / "empty");
    writeFile(root / ".hidden", "h");
    writeFile(root / "noext", "n");
    writeFile(root / "b" / "c.txt", "ccc");
    writeFile(root / "out.zip", "archive being written");
    fs::create_symlink("noext", root / "link");

    SourceWalkOptions opt;
    opt.exclude.push_back(root / "out.zip");
    std::vector<WriterEntry> entries;
    std::string err;
    ASSERT_TRUE(collectSourceTree(root, opt, entries, err)) << err;
    std::vector<std::string> names;
    for (auto &e : entries)
        names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "b", "b/c.txt", "b/empty", "link", "noext"}));
    EXPECT_EQ(entries[2].size, 3u);
    EXPECT_EQ(entries[4].kind, WriterEntry::Kind::Link);
    EXPECT_EQ(entries[4].linkTarget, "noext");
    EXPECT_TRUE(entries[4].linkTargetIsFile);

    opt.recurse = false;
    ASSERT_TRUE(collectSourceTree(root, opt, entries, err));
    EXPECT_EQ(entries.size(), 3u); // .hidden, link, noext
    fs::remove_all(root);
}

// A writer that cannot store links packs the file a link names, and only
// when that file lies inside the folder being packed: a conversion keeps an
// archive's links as data, wherever they point.
TEST(SourceTree, LinksCountAsFilesOnlyInsideTheRoot)
{
    fs::path top = makeTempDir();
    fs::create_directories(top / "root" / "d");
    writeFile(top / "canary.txt", "outside");
    writeFile(top / "root" / "d" / "in.txt", "inside");
    fs::create_symlink("in.txt", top / "root" / "d" / "near");
    fs::create_symlink("../d/in.txt", top / "root" / "d" / "round");
    fs::create_symlink("d", top / "root" / "dir");
    fs::create_symlink("dir/in.txt", top / "root" / "through");
    fs::create_symlink(top / "canary.txt", top / "root" / "absolute");
    fs::create_symlink("../canary.txt", top / "root" / "up");
    fs::create_symlink("../../canary.txt", top / "root" / "d" / "upup");
    fs::create_symlink("d/../../canary.txt", top / "root" / "down-and-up");

    std::vector<WriterEntry> entries;
    std::string err;
    ASSERT_TRUE(collectSourceTree(top / "root", SourceWalkOptions{}, entries, err)) << err;
    std::map<std::string, bool> isFile;
    for (const WriterEntry &e : entries) {
        if (e.kind == WriterEntry::Kind::Link)
            isFile[e.name] = e.linkTargetIsFile;
    }
    EXPECT_EQ(isFile, (std::map<std::string, bool>{{"absolute", false},
                                                   {"d/near", true},
                                                   {"d/round", true},
                                                   {"d/upup", false},
                                                   {"dir", false},
                                                   {"down-and-up", false},
                                                   {"through", true},
                                                   {"up", false}}));
    fs::remove_all(top);
}

// Without paths, names are base names: folders go, two of one name clash,
// and a link to a file inside becomes that file, with its own permissions
// (a link's are 0777), since its relative target would lead elsewhere.
TEST(EntriesToPack, FlattenedLinksToFilesBecomeTheirFiles)
{
    fs::path root = makeTempDir();
    fs::create_directories(root / "d");
    writeFile(root / "d" / "a.txt", "aaaa");
    ::chmod((root / "d" / "a.txt").c_str(), 0640);
    fs::create_symlink("a.txt", root / "d" / "to-file");
    fs::create_symlink("d", root / "to-folder");
    SourceWalkOptions flat;
    flat.keepPaths = false;
    std::vector<WriterEntry> entries;
    ASSERT_TRUE(entriesToPack(root, flat, entries).ok());
    std::map<std::string, WriterEntry> byName;
    for (const WriterEntry &e : entries)
        byName[e.name] = e;
    ASSERT_EQ(byName.size(), 3u); // a.txt, to-file, to-folder; no folder d
    const WriterEntry &asFile = byName["to-file"];
    EXPECT_EQ(asFile.kind, WriterEntry::Kind::File);
    EXPECT_EQ(asFile.size, 4u);
    EXPECT_EQ(asFile.mode, 0640u);
    EXPECT_EQ(readFile(asFile.diskPath), "aaaa");
    EXPECT_EQ(byName["to-folder"].kind, WriterEntry::Kind::Link);

    writeFile(root / "a.txt", "top");
    EXPECT_EQ(entriesToPack(root, flat, entries).status, WriteStatus::NameClash);
    EXPECT_TRUE(entriesToPack(root, SourceWalkOptions{}, entries).ok()); // with paths no clash
    EXPECT_EQ(entriesToPack(root / "missing", flat, entries).status, WriteStatus::NoFiles);
    fs::remove_all(root);
}

// Both ways of writing aside: without a name, and (where the file system
// cannot do that) under a hidden name.
TEST(AtomicOutputFile, TargetUntouchedUntilCommitAndNothingLeftOnDiscard)
{
    for (const char *named : {"0", "1"}) {
        qvo::test::ScopedEnv way("QVO_TEST_NAMED_TEMPORARIES", named);
        fs::path dir = makeTempDir();
        fs::path target = dir / "a.zip";
        writeFile(target, "old");
        {
            AtomicOutputFile f;
            std::string err;
            ASSERT_TRUE(f.open(target, err)) << err;
            ASSERT_TRUE(f.write("new data", 8));
            ASSERT_TRUE(f.writeAt(0, "NEW", 3));
            EXPECT_EQ(readFile(target), "old");
            // destroyed without commit
        }
        EXPECT_EQ(readFile(target), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

        for (const char *name : {"a.zip", "fresh.zip"}) {
            AtomicOutputFile f;
            std::string err;
            ASSERT_TRUE(f.open(dir / name, err));
            ASSERT_TRUE(f.write("new data", 8));
            ASSERT_TRUE(f.writeAt(0, "NEW", 3));
            ASSERT_TRUE(f.commit(err)) << err;
            EXPECT_EQ(readFile(dir / name), "NEW data");
            struct stat st;
            ASSERT_EQ(::stat((dir / name).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0666 & ~currentUmask()) << name << " named=" << named;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
        fs::remove_all(dir);
    }
}

TEST(AtomicOutputFile, MissingFolderFailsCleanly)
{
    AtomicOutputFile f;
    std::string err;
    EXPECT_FALSE(f.open("/nonexistent-qvo-folder/x.zip", err));
    EXPECT_FALSE(err.empty());
}
