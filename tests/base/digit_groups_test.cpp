#include "base/digit_groups.h"

#include <gtest/gtest.h>

#include <cstdint>

using qvo::base::groupedDigits;

TEST(DigitGroups, ThreeDigitsAGroupAndNoDigitsForZero)
{
    EXPECT_EQ(groupedDigits(0), "");
    EXPECT_EQ(groupedDigits(7), "7");
    EXPECT_EQ(groupedDigits(999), "999");
    EXPECT_EQ(groupedDigits(1000), "1,000");
    EXPECT_EQ(groupedDigits(123456789), "123,456,789");
    EXPECT_EQ(groupedDigits(2400000000), "2,400,000,000");
    EXPECT_EQ(groupedDigits(-1234), "-1,234");
    EXPECT_EQ(groupedDigits(INT64_MIN), "-9,223,372,036,854,775,808");
}
