// Which rows of a batch may convert at the same time.
#include "convert/row_dependencies.h"
#include "test_support.h"

#include <filesystem>

using qvo::convert::fileIdentity;
using qvo::convert::RowDependencies;
using qvo::convert::RowFiles;
using qvo::test::writeFile;
namespace fs = std::filesystem;

TEST(RowDependencies, RowsSharingAFileGoInListOrderOthersAtOnce)
{
    // 0 and 2 write one target; 3's target is 1's source; 4 stands alone.
    RowDependencies deps({{"/in/a.lzh", "/out/a.zip"},
                          {"/in/b.zip", "/out/b.zip"},
                          {"/in/other/a.lzh", "/out/a.zip"},
                          {"/in/b.cab", "/in/b.zip"},
                          {"/in/c.lzh", "/out/c.zip"}});
    EXPECT_TRUE(deps.mayStart(0));
    EXPECT_TRUE(deps.mayStart(1));
    EXPECT_FALSE(deps.mayStart(2));
    EXPECT_FALSE(deps.mayStart(3));
    EXPECT_TRUE(deps.mayStart(4));

    deps.finished(4);
    deps.finished(1);
    EXPECT_TRUE(deps.mayStart(3));
    EXPECT_FALSE(deps.mayStart(2));
    deps.finished(0);
    EXPECT_TRUE(deps.mayStart(2));
}

TEST(RowDependencies, ARowThatIsItsOwnTargetWaitsForNobody)
{
    RowDependencies deps({{"/in/a.zip", "/in/a.zip"}, {"/in/a.lzh", "/in/a.zip"}});
    EXPECT_TRUE(deps.mayStart(0));
    EXPECT_FALSE(deps.mayStart(1));
    deps.finished(0);
    EXPECT_TRUE(deps.mayStart(1));
}

TEST(RowDependencies, NamesOfOneFileMeet)
{
    qvo::test::TempDir dir;
    fs::create_directories(dir / "real");
    fs::create_directory_symlink(dir / "real", dir / "link");
    // A link to the folder, ".." and a case difference all name one file
    // (FAT tells no cases apart; on other volumes the rows merely wait).
    EXPECT_EQ(fileIdentity((dir / "link" / "a.zip").string()), fileIdentity((dir / "real" / "a.zip").string()));
    EXPECT_EQ(fileIdentity((dir / "real" / ".." / "real" / "A.ZIP").string()),
              fileIdentity((dir / "real" / "a.zip").string()));
    writeFile(dir / "real" / "a.zip", "x");
    fs::create_symlink(dir / "real" / "a.zip", dir / "alias.zip");
    EXPECT_EQ(fileIdentity((dir / "alias.zip").string()), fileIdentity((dir / "real" / "a.zip").string()));
    EXPECT_NE(fileIdentity((dir / "real" / "b.zip").string()), fileIdentity((dir / "real" / "a.zip").string()));

    RowDependencies deps({{(dir / "x.lzh").string(), (dir / "link" / "A.zip").string()},
                          {(dir / "y.lzh").string(), (dir / "real" / "a.zip").string()}});
    EXPECT_FALSE(deps.mayStart(1));
}
