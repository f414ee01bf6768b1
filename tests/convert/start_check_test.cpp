// The checks before a run: working space and the single-file source.
#include "convert/start_check.h"
#include "platform/path_helpers.h"
#include "fake_backend.h"

using namespace qvo;
using namespace qvo::convert;
using namespace qvo::test;

namespace {
// The KB missing, or "room" when there is enough.
std::string missing(int64_t batchKB, int64_t freeBytes)
{
    const std::optional<SpaceShortfall> shortfall = workingSpaceShortfall("/tmp/", batchKB, freeBytes);
    if (!shortfall)
        return "room";
    EXPECT_EQ(shortfall->drive, "/tmp/");
    return shortfall->missingKB;
}
} // namespace

TEST(StartCheck, WorkingSpaceNeedsThreeTimesTheBatch)
{
    EXPECT_EQ(missing(100, 300000), "room");
    EXPECT_EQ(missing(100, 200000), "100");
    EXPECT_EQ(missing(100, 299500), "1");
    EXPECT_EQ(missing(100, 299501), ""); // rounds to zero: no digits
    // Unknown free space counts as too little.
    EXPECT_EQ(missing(5, -1), "15");
    EXPECT_EQ(missing(0, 0), "room");
}

TEST(StartCheck, BatchesBeyondThirtyTwoBitsDoNotOverflow)
{
    // 715,828 KB x 3,000 passes 2^31; 800,000 KB needs 2.4e9 bytes.
    EXPECT_EQ(missing(800000, 2400000000), "room");
    EXPECT_EQ(missing(800000, 2399000000), "1,000");
    EXPECT_EQ(missing(4000000000000, 0), "12,000,000,000,000");
    EXPECT_NE(missing(INT64_MAX, INT64_MAX - 1), "room");
}

TEST(StartCheck, ShortfallNamesTheVolumeOfTheWorkingRoot)
{
    TempDir dir;
    ScopedEnv tmp("TMPDIR", dir.path().string());
    EXPECT_EQ(workingSpaceShortfall(0), std::nullopt);
    const std::string drive = platform::getDriveName(platform::getTempFolderName());
    ASSERT_FALSE(drive.empty());
    const std::optional<SpaceShortfall> shortfall = workingSpaceShortfall(INT64_MAX / 4);
    ASSERT_TRUE(shortfall);
    EXPECT_EQ(shortfall->drive, drive);
}

TEST(StartCheck, SingleFileSourceSize)
{
    TempDir dir;
    writeFile(dir / "a.lzh", std::string(1499, 'a'));
    writeFile(dir / "b.lzh", std::string(1500, 'b'));
    EXPECT_EQ(singleFileBatchKB((dir / "a.lzh").string()), 1);
    EXPECT_EQ(singleFileBatchKB((dir / "b.lzh").string()), 2);
    EXPECT_EQ(singleFileBatchKB((dir / "none.lzh").string()), std::nullopt);
    EXPECT_EQ(singleFileBatchKB(dir.path().string()), std::nullopt); // a folder
}
