// The comparison that decides whether a source may be deleted: the new
// archive, read back, against what was packed.
#include "convert/tree_compare.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qvo::test {
namespace {

namespace fs = std::filesystem;
using convert::sameTrees;

class TreeCompareTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const fs::path &root : {a(), b()}) {
            writeFile(root / "readme.txt", "hello");
            writeFile(root / "sub" / "data.bin", std::string(5000, 'x'));
            fs::create_directories(root / "empty");
            fs::create_symlink("sub/data.bin", root / "link");
        }
    }
    fs::path a() const { return dir / "a"; }
    fs::path b() const { return dir / "b"; }
    bool same(bool emptyFoldersKept = true)
    {
        difference.clear();
        return sameTrees(a().string(), b().string(), emptyFoldersKept, difference);
    }

    TempDir dir;
    std::string difference;
};

TEST_F(TreeCompareTest, IdenticalTreesMatch)
{
    EXPECT_TRUE(same()) << difference;
}

TEST_F(TreeCompareTest, EveryKindOfDifferenceIsFound)
{
    // Same size, other bytes.
    writeFile(b() / "sub" / "data.bin", std::string(4999, 'x') + "y");
    EXPECT_FALSE(same());
    EXPECT_NE(difference.find("sub/data.bin"), std::string::npos) << difference;
    writeFile(b() / "sub" / "data.bin", std::string(5000, 'x'));
    ASSERT_TRUE(same()) << difference;

    // A link is compared by its target text, never followed.
    fs::remove(b() / "link");
    fs::create_symlink("readme.txt", b() / "link");
    EXPECT_FALSE(same());
    EXPECT_NE(difference.find("link"), std::string::npos) << difference;
    fs::remove(b() / "link");
    fs::create_symlink("sub/data.bin", b() / "link");
    ASSERT_TRUE(same()) << difference;

    // A name that differs only in case is another name.
    fs::rename(b() / "readme.txt", b() / "README.txt");
    EXPECT_FALSE(same());
    fs::rename(b() / "README.txt", b() / "readme.txt");
    ASSERT_TRUE(same()) << difference;

    // A file where a link was, and a link where a file was.
    fs::remove(b() / "link");
    writeFile(b() / "link", "sub/data.bin");
    EXPECT_FALSE(same());
}

TEST_F(TreeCompareTest, EmptyFolderMayBeMissingOnlyWhereTheFormatHasNoFolders)
{
    fs::remove(b() / "empty");
    EXPECT_FALSE(same(true));
    EXPECT_NE(difference.find("empty"), std::string::npos) << difference;
    EXPECT_TRUE(same(false)) << difference;
    // A folder that holds something is never allowed to go missing.
    fs::remove_all(b() / "sub");
    EXPECT_FALSE(same(false));
}

TEST_F(TreeCompareTest, ExtraEntriesInTheCopyAreFound)
{
    writeFile(b() / "sub" / "more.txt", "");
    EXPECT_FALSE(same());
    EXPECT_NE(difference.find("extra"), std::string::npos) << difference;
}

} // namespace
} // namespace qvo::test
