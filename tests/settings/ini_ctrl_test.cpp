#include "settings/clsINICtrl.h"

#include "test_support.h"

using qvo::settings::clsINICtrl;
using qvo::settings::parseStoredLong;
using qvo::test::readFile;
using qvo::test::TempDir;
using qvo::test::writeFile;

namespace {

class INICtrl : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = (dir / "qvo3.ini").string();
    clsINICtrl ini;
};

TEST_F(INICtrl, WordsTrueAndFalseInAnyCase)
{
    writeFile(file, "[conv]\noverWrite=TRUE\nsameFolder=False\nuseUpperExtension=5\nsameTypeConvert=-5\n");
    ini.setFile(file);
    EXPECT_EQ(ini.getLong("conv", "overWrite"), 1);
    EXPECT_TRUE(ini.getBool("conv", "overWrite"));
    EXPECT_EQ(ini.getLong("conv", "sameFolder"), 0);
    EXPECT_FALSE(ini.getBool("conv", "sameFolder"));
    EXPECT_TRUE(ini.getBool("conv", "useUpperExtension"));
    EXPECT_FALSE(ini.getBool("conv", "sameTypeConvert"));
}

TEST_F(INICtrl, SettersWriteDecimalTextAndOneOrZero)
{
    ini.setFile(file);
    ini.setBool("conv", "overWrite", true);
    ini.setBool("conv", "sameFolder", false);
    ini.setLong("system", "top", -1);
    ini.setLong("system", "left", -2147483647 - 1);
    ini.setString("conv", "saveFolder", "/data/");
    EXPECT_EQ(readFile(file), "[conv]\noverWrite=1\nsameFolder=0\nsaveFolder=/data/\n"
                              "[system]\ntop=-1\nleft=-2147483648\n");
    EXPECT_TRUE(ini.getBool("conv", "overWrite"));
    EXPECT_FALSE(ini.getBool("conv", "sameFolder"));
    EXPECT_EQ(ini.getLong("system", "top"), -1);
    EXPECT_EQ(ini.getLong("system", "left"), -2147483647 - 1);
}

TEST_F(INICtrl, MissingKeysMissingFilesAndNoFile)
{
    writeFile(file, "[conv]\nother=1\n");
    ini.setFile(file);
    EXPECT_EQ(ini.getLong("conv", "convType"), 0);
    EXPECT_EQ(ini.getString("conv", "convType"), "");
    EXPECT_FALSE(ini.getBool("conv", "convType"));
    EXPECT_EQ(ini.getLong("nosection", "x"), 0);

    clsINICtrl missing;
    missing.setFile((dir / "absent.ini").string());
    EXPECT_EQ(missing.getVersion(), -1);
    EXPECT_FALSE(missing.isFile());
    EXPECT_EQ(missing.getLong("conv", "convType"), -1);
    EXPECT_EQ(missing.getString("conv", "convType"), "");
    EXPECT_FALSE(missing.getBool("conv", "convType"));

    clsINICtrl unset;
    EXPECT_EQ(unset.getLong("conv", "convType"), -1);
    EXPECT_EQ(unset.getString("conv", "convType"), "");
    unset.setLong("conv", "convType", 1); // nowhere to write: nothing happens
    EXPECT_FALSE(unset.isFile());

    clsINICtrl folder;
    folder.setFile(dir.path().string());
    EXPECT_FALSE(folder.isFile());
    EXPECT_EQ(folder.getLong("conv", "convType"), -1);
}

TEST_F(INICtrl, VersionRecord)
{
    writeFile(file, "[conv]\nconvType=1\n");
    ini.setFile(file);
    EXPECT_EQ(ini.getVersion(), 0);
    ini.setVersion(3);
    EXPECT_EQ(ini.getVersion(), 3);
    clsINICtrl again;
    again.setFile(file);
    EXPECT_EQ(again.getVersion(), 3);
    EXPECT_EQ(readFile(file), "[conv]\nconvType=1\n[Public]\nIniVersion=3\n");
}

TEST_F(INICtrl, LongValuesAreReadWhole)
{
    std::string value = std::string(150, 'x') + "/書庫/" + std::string(150, 'y');
    ini.setFile(file);
    ini.setString("conv", "saveFolder", value);
    EXPECT_GT(value.size(), 300u);
    EXPECT_EQ(ini.getString("conv", "saveFolder"), value);
}

TEST(StoredLong, TextThatIsNoThirtyTwoBitIntegerReadsAsMinusOne)
{
    EXPECT_EQ(parseStoredLong(""), 0);
    EXPECT_EQ(parseStoredLong("6"), 6);
    EXPECT_EQ(parseStoredLong("+7"), 7);
    EXPECT_EQ(parseStoredLong("-1"), -1);
    EXPECT_EQ(parseStoredLong("2147483647"), 2147483647);
    EXPECT_EQ(parseStoredLong("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(parseStoredLong("tRuE"), 1);
    EXPECT_EQ(parseStoredLong("FALSE"), 0);
    for (const char *bad : {"abc", "12abc", "1.5", "2147483648", "-2147483649", "99999999999",
                            "+", "-", "+-3", "0x10", "yes"})
        EXPECT_EQ(parseStoredLong(bad), -1) << bad;
}

} // namespace
