// The checks before a run: working space and the single-file source.
#include "convert/conversion_engine.h"
#include "convert/start_check.h"
#include "platform/path_helpers.h"
#include "fake_backend.h"

using namespace qvo;
using namespace qvo::convert;
using namespace qvo::test;

namespace {
const std::string kLine1 = " の空き容量が不足しています。変換を行うことができません\r\nあと ";
const std::string kLine2 = " KBの空き容量が必要です";
} // namespace

TEST(StartCheck, ThousandsPattern)
{
    EXPECT_EQ(formatThousands(0), "");
    EXPECT_EQ(formatThousands(7), "7");
    EXPECT_EQ(formatThousands(999), "999");
    EXPECT_EQ(formatThousands(1000), "1,000");
    EXPECT_EQ(formatThousands(1234567), "1,234,567");
    EXPECT_EQ(formatThousands(2400000000), "2,400,000,000");
}

TEST(StartCheck, WorkingSpaceNeedsThreeTimesTheBatch)
{
    EXPECT_EQ(workingSpaceMessage("/tmp/", 100, 300000), "");
    EXPECT_EQ(workingSpaceMessage("/tmp/", 100, 200000), "/tmp/" + kLine1 + "100" + kLine2);
    EXPECT_EQ(workingSpaceMessage("/", 100, 299500), "/" + kLine1 + "1" + kLine2);
    EXPECT_EQ(workingSpaceMessage("/", 100, 299501), "/" + kLine1 + kLine2); // rounds to zero: no digits
    // Unknown free space counts as too little.
    EXPECT_EQ(workingSpaceMessage("/", 5, -1), "/" + kLine1 + "15" + kLine2);
    EXPECT_EQ(workingSpaceMessage("/", 0, 0), "");
}

TEST(StartCheck, BatchesBeyondThirtyTwoBitsDoNotOverflow)
{
    // 715,828 KB x 3,000 passes 2^31; 800,000 KB needs 2.4e9 bytes.
    EXPECT_EQ(workingSpaceMessage("/", 800000, 2400000000), "");
    EXPECT_EQ(workingSpaceMessage("/", 800000, 2399000000), "/" + kLine1 + "1,000" + kLine2);
    EXPECT_EQ(workingSpaceMessage("/", 4000000000000, 0), "/" + kLine1 + "12,000,000,000,000" + kLine2);
    EXPECT_FALSE(workingSpaceMessage("/", INT64_MAX, INT64_MAX - 1).empty());
}

TEST(StartCheck, ShortageNamesTheVolumeOfTheWorkingRoot)
{
    TempDir dir;
    ScopedEnv tmp("TMPDIR", dir.path().string());
    EXPECT_EQ(workingSpaceShortage(0), "");
    const std::string drive = platform::getDriveName(platform::getTempFolderName());
    ASSERT_FALSE(drive.empty());
    const std::string message = workingSpaceShortage(INT64_MAX / 4);
    EXPECT_EQ(message.rfind(drive + kLine1, 0), 0u) << message;
}

TEST(StartCheck, SingleFileSourceSizeAndMissingSource)
{
    TempDir dir;
    writeFile(dir / "a.lzh", std::string(1499, 'a'));
    writeFile(dir / "b.lzh", std::string(1500, 'b'));
    EXPECT_EQ(singleFileBatchKB((dir / "a.lzh").string()), 1);
    EXPECT_EQ(singleFileBatchKB((dir / "b.lzh").string()), 2);
    EXPECT_EQ(singleFileBatchKB((dir / "none.lzh").string()), std::nullopt);
    EXPECT_EQ(singleFileStartMessage((dir / "none.lzh").string()), kSourceMissingMessage);
    EXPECT_EQ(singleFileStartMessage(dir.path().string()), kSourceMissingMessage); // a folder
    ScopedEnv tmp("TMPDIR", dir.path().string());
    EXPECT_EQ(singleFileStartMessage((dir / "a.lzh").string()), "");
}
