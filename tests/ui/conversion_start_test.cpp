// The batch size measured before a run.
#include "ui/conversion_start.h"

#include "test_support.h"

using qvo::settings::clsQvoSettings;
using qvo::ui::conversionBatchKB;

TEST(ConversionStart, ListTotalInMultipleFileMode)
{
    clsQvoSettings settings{std::string("/nonexistent/qvo3.ini")};
    settings.mode = 1;
    EXPECT_EQ(conversionBatchKB(settings, [] { return int64_t(100); }), 100);
    EXPECT_EQ(conversionBatchKB(settings, {}), 0);
    // Beyond the 32-bit range of the old arithmetic.
    EXPECT_EQ(conversionBatchKB(settings, [] { return int64_t(5'000'000'000); }), 5'000'000'000);
}

TEST(ConversionStart, SingleFileSourceRoundsToWholeKilobytes)
{
    qvo::test::TempDir dir;
    clsQvoSettings settings{std::string("/nonexistent/qvo3.ini")};
    settings.mode = 0;
    const auto source = dir / "photos.lzh";
    settings.singleBeforeFileName = source.string();
    EXPECT_EQ(conversionBatchKB(settings, {}), std::nullopt) << "missing source";
    qvo::test::writeFile(source, std::string(1499, 'x'));
    EXPECT_EQ(conversionBatchKB(settings, {}), 1);
    qvo::test::writeFile(source, std::string(1500, 'x'));
    EXPECT_EQ(conversionBatchKB(settings, {}), 2);
    qvo::test::writeFile(source, "");
    EXPECT_EQ(conversionBatchKB(settings, {}), 0);
    settings.singleBeforeFileName = dir.path().string();
    EXPECT_EQ(conversionBatchKB(settings, {}), std::nullopt) << "a folder is no source";
    settings.singleBeforeFileName.clear();
    EXPECT_EQ(conversionBatchKB(settings, {}), std::nullopt);
}
