#include "settings/clsQvoSettings.h"

#include "default_settings_file.h"
#include "platform/as_unprivileged_user.h"
#include "test_support.h"

#include <sys/stat.h>

using qvo::settings::chooseIniFilePath;
using qvo::settings::clsQvoSettings;
using qvo::test::readFile;
using qvo::test::TempDir;
using qvo::test::writeFile;

namespace {

const std::string &defaultFile = qvo::test::kDefaultSettingsFile;

class Settings : public ::testing::Test {
protected:
    clsQvoSettings loaded(const std::string &content)
    {
        writeFile(file, content);
        clsQvoSettings s(file);
        s.readINIFile();
        return s;
    }

    TempDir dir;
    std::string file = (dir / "qvo3.ini").string();
};

TEST_F(Settings, FirstStartKeepsDefaultsAndWritesTheFullLayout)
{
    clsQvoSettings s(file);
    s.overWrite = true; // Booleans become false without a file
    s.saveFolder = "x";
    s.readINIFile();
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.lhaCompressLevel, 2);
    EXPECT_EQ(s.zipCompressLevel, 6);
    EXPECT_EQ(s.cabCompressLevel, 10);
    EXPECT_EQ(s.top, 0);
    EXPECT_FALSE(s.overWrite);
    EXPECT_EQ(s.saveFolder, "");
    s.WriteINIFile();
    EXPECT_EQ(readFile(file), defaultFile);
}

TEST_F(Settings, MissingKeysInAnExistingFileGiveZero)
{
    clsQvoSettings s = loaded("[system]\ntop=30\n");
    EXPECT_EQ(s.top, 30);
    EXPECT_EQ(s.mode, 0); // opens the single-file window
    EXPECT_EQ(s.lhaCompressLevel, 0);
    EXPECT_EQ(s.zipCompressLevel, 0);
    EXPECT_EQ(s.cabCompressLevel, 0);
}

TEST_F(Settings, MinusOneAndNonNumbersKeepTheDefault)
{
    clsQvoSettings s = loaded("[system]\nmode=-1\n[conv]\nlhaCompressLevel=fast\n"
                              "zipCompressLevel=99999999999\ncabCompressLevel=-1\n");
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.lhaCompressLevel, 2);
    EXPECT_EQ(s.zipCompressLevel, 6);
    EXPECT_EQ(s.cabCompressLevel, 10);
}

TEST_F(Settings, TrueIsReadAndWrittenBackAsOne)
{
    clsQvoSettings s = loaded("[conv]\noverWrite=true\n");
    EXPECT_TRUE(s.overWrite);
    s.WriteINIFile();
    EXPECT_NE(readFile(file).find("overWrite=1\n"), std::string::npos);
}

TEST_F(Settings, OutOfRangeIntegersBecomeDefaults)
{
    clsQvoSettings s = loaded("[system]\nmode=5\n[conv]\nconvType=7\nlhaCompressLevel=5\n"
                              "zipCompressLevel=10\ncabCompressLevel=35\n"
                              "[singlefilemode]\nconvType=-3\ntop=-200\nleft=-4000\n");
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.convType, 0);
    EXPECT_EQ(s.lhaCompressLevel, 2);
    EXPECT_EQ(s.zipCompressLevel, 6);
    EXPECT_EQ(s.cabCompressLevel, 10);
    EXPECT_EQ(s.singleConvType, 0);
    // Positions may be negative on a screen left of or above the primary one.
    EXPECT_EQ(s.singleTop, -200);
    EXPECT_EQ(s.singleLeft, -4000);
}

TEST_F(Settings, CabLevelKeepsEveryKindAndWindowTheDialogCanShow)
{
    for (int level : {0, 6, 10, 13, 16, 20, 26}) {
        clsQvoSettings s = loaded("[conv]\ncabCompressLevel=" + std::to_string(level) + "\n");
        EXPECT_EQ(s.cabCompressLevel, level);
    }
    for (int level : {7, 9, 17, 27, 30, 35}) {
        clsQvoSettings s = loaded("[conv]\ncabCompressLevel=" + std::to_string(level) + "\n");
        EXPECT_EQ(s.cabCompressLevel, 10) << level;
    }
}

TEST_F(Settings, EverySettingSurvivesARoundTrip)
{
    clsQvoSettings out(file);
    out.top = 1500;
    out.left = -300;
    out.mode = 0;
    out.saveFolder = "/home/user/" + std::string(280, 'z') + "/変換済み/";
    out.convType = 2;
    out.sameFolder = true;
    out.backGroundConvert = true;
    out.dialogAutoClose = true;
    out.deleteBeforeFile = true;
    out.overWrite = true;
    out.useUpperExtension = true;
    out.sameTypeConvert = true;
    out.lhaCompressLevel = 4;
    out.zipCompressLevel = 9;
    out.cabCompressLevel = 23;
    out.singleBeforeFileName = "/srv/書庫/古い.lzh";
    out.singleConvToFileName = " /tmp/a name ";
    out.singleConvType = 1;
    out.singleSameName = true;
    out.singleTop = 45;
    out.singleLeft = 60;
    out.tempFolderName = "/tmp/Qvo/1/";
    out.WriteINIFile();

    clsQvoSettings in(file);
    in.readINIFile();
    EXPECT_EQ(in.top, 1500);
    EXPECT_EQ(in.left, -300);
    EXPECT_EQ(in.mode, 0);
    EXPECT_EQ(in.saveFolder, out.saveFolder);
    EXPECT_EQ(in.convType, 2);
    EXPECT_TRUE(in.sameFolder && in.backGroundConvert && in.dialogAutoClose && in.deleteBeforeFile &&
                in.overWrite && in.useUpperExtension && in.sameTypeConvert && in.singleSameName);
    EXPECT_EQ(in.lhaCompressLevel, 4);
    EXPECT_EQ(in.zipCompressLevel, 9);
    EXPECT_EQ(in.cabCompressLevel, 23);
    EXPECT_EQ(in.singleBeforeFileName, out.singleBeforeFileName);
    EXPECT_EQ(in.singleConvToFileName, out.singleConvToFileName);
    EXPECT_EQ(in.singleConvType, 1);
    EXPECT_EQ(in.singleTop, 45);
    EXPECT_EQ(in.singleLeft, 60);
    EXPECT_EQ(in.tempFolderName, ""); // never stored
    EXPECT_EQ(readFile(file).find("Qvo/1"), std::string::npos);
}

TEST_F(Settings, WritingCreatesAPrivateSettingsFolder)
{
    std::string nested = (dir / "config" / "qvo" / "qvo3.ini").string();
    clsQvoSettings s(nested);
    s.WriteINIFile();
    EXPECT_EQ(readFile(nested), defaultFile);
    struct stat st;
    ASSERT_EQ(::stat((dir / "config" / "qvo").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(IniFilePath, ProgramFolderWhenPortableElseUserSettingsFolder)
{
    TempDir dir;
    std::string program = (dir / "bin").string() + "/";
    std::string config = (dir / "config").string() + "/";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(dir / "bin2");
    std::string program2 = (dir / "bin2").string() + "/";
    writeFile(program2 + "qvo3.ini", "[system]\n");

    // Writable: portable use beside the program.
    EXPECT_EQ(chooseIniFilePath(program, config), program + "qvo3.ini");

    ASSERT_EQ(::chmod(program.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(program2.c_str(), 0555), 0);
    EXPECT_TRUE(qvo::test::asUnprivilegedUser(dir.path(), [&] {
        // An installed program: its folder is not writable.
        bool ok = chooseIniFilePath(program, config) == config + "qvo/qvo3.ini" &&
                  // A file placed beside it is still used.
                  chooseIniFilePath(program2, config) == program2 + "qvo3.ini";
        if (!ok)
            std::fprintf(stderr, "wrong settings file for a read-only program folder\n");
        return ok;
    }));
}

TEST(IniFilePath, SystemProgramFoldersNeverHoldSettingsEvenForRoot)
{
    // Writable for root, but a file there would belong to no package.
    EXPECT_EQ(chooseIniFilePath("/usr/bin/", "/root/.config/"), "/root/.config/qvo/qvo3.ini");
    EXPECT_EQ(chooseIniFilePath("/usr/local/bin/", "/root/.config/"), "/root/.config/qvo/qvo3.ini");
    EXPECT_EQ(chooseIniFilePath("/bin/", "/root/.config/"), "/root/.config/qvo/qvo3.ini");
}

TEST(IniFilePath, EnvironmentOverrideWins)
{
    ::setenv("QVO_INI_FILE", "/somewhere/else.ini", 1);
    EXPECT_EQ(chooseIniFilePath(), "/somewhere/else.ini");
    EXPECT_EQ(clsQvoSettings().iniFilePath(), "/somewhere/else.ini");
    ::unsetenv("QVO_INI_FILE");
    std::string chosen = chooseIniFilePath();
    EXPECT_TRUE(chosen.ends_with("/qvo3.ini")) << chosen;
}

} // namespace

TEST_F(Settings, NamesEncodingIsStoredAfterTheStoredLayout)
{
    clsQvoSettings s(file);
    s.archiveNameCharset = "GB18030";
    s.WriteINIFile();
    EXPECT_EQ(readFile(file), qvo::test::kStoredSettingsLayout + "[names]\narchiveNameEncoding=GB18030\n");
    EXPECT_EQ(loaded(readFile(file)).archiveNameCharset, "GB18030");
    // Other spellings of an offered encoding read as it; "auto", a missing
    // key and an encoding not offered all mean: judged per archive.
    EXPECT_EQ(loaded("[names]\narchiveNameEncoding=shift_jis\n").archiveNameCharset, "CP932");
    EXPECT_EQ(loaded("[names]\narchiveNameEncoding=auto\n").archiveNameCharset, "");
    EXPECT_EQ(loaded("[names]\narchiveNameEncoding=EBCDIC\n").archiveNameCharset, "");
    EXPECT_EQ(loaded("[system]\nmode=1\n").archiveNameCharset, "");
}
