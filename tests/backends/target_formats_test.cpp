// Finding a target format by the names users and settings give it.
#include "backends/target_formats.h"

#include "base/ascii.h"

#include <gtest/gtest.h>

#include <string>

using namespace qvo::backends;
using qvo::base::asciiLower;
using qvo::base::asciiUpper;

TEST(TargetFormats, FoundByIndexKeyAndExtensionInAnyLetterCase)
{
    for (const TargetFormat &format : targetFormats()) {
        const std::string key(format.key), extension(format.extension());
        EXPECT_EQ(targetFormatAt(format.index), &format);
        EXPECT_EQ(targetFormatByKey(asciiLower(key)), &format);
        EXPECT_EQ(targetFormatByExtension(asciiUpper(extension)), &format);
        EXPECT_EQ(targetFormatNamed(extension), &format);
        EXPECT_EQ(targetFormatNamed(asciiLower(key)), &format);
        // Extensions only read as the format name no target of their own.
        for (const std::string_view further : format.extensions.subspan(1))
            EXPECT_EQ(targetFormatByExtension(further), nullptr) << further;
    }
    EXPECT_EQ(targetFormatAt(-1), nullptr);
    EXPECT_EQ(targetFormatAt(int32_t(targetFormats().size())), nullptr);
    EXPECT_EQ(targetFormatNamed("rar"), nullptr);
    EXPECT_EQ(targetFormatNamed(""), nullptr);
}

TEST(TargetFormats, LevelsByTheirExactNames)
{
    for (const TargetFormat &format : targetFormats()) {
        for (const NamedLevel &level : format.levels) {
            const NamedLevel *named = levelNamed(format, level.name);
            ASSERT_NE(named, nullptr) << level.name;
            EXPECT_EQ(named->value, level.value);
            EXPECT_EQ(levelName(format, level.value), level.name);
            // A level is named as listed, not in another letter case.
            if (asciiUpper(std::string(level.name)) != level.name) {
                EXPECT_EQ(levelNamed(format, asciiUpper(std::string(level.name))), nullptr);
            }
        }
        EXPECT_EQ(levelNamed(format, ""), nullptr);
        EXPECT_EQ(levelName(format, -1), "");
    }
}
