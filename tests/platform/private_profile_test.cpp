#include "platform/private_profile.h"

#include "platform/as_unprivileged_user.h"
#include "test_support.h"

#include <sys/stat.h>

using namespace qvo::platform;
using qvo::test::readFile;
using qvo::test::TempDir;
using qvo::test::writeFile;

namespace {

std::string get(const std::string &file, const std::string &section, const std::string &key)
{
    return getPrivateProfileString(section, key, "<default>", file);
}

class PrivateProfile : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = (dir / "test.ini").string();
};

TEST_F(PrivateProfile, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(get(ini, "system", "top"), "<default>");
    writeFile(ini, "[system]\ntop=5\n");
    EXPECT_EQ(get(ini, "conv", "top"), "<default>");
    EXPECT_EQ(get(ini, "system", "left"), "<default>");
    EXPECT_EQ(get(ini, "system", "top"), "5");
    // A folder of that name is no file.
    EXPECT_EQ(get(dir.path().string(), "system", "top"), "<default>");
}

TEST_F(PrivateProfile, NamesMatchWithoutRegardToCase)
{
    writeFile(ini, "[System]\nTop=5\n");
    EXPECT_EQ(get(ini, "SYSTEM", "tOP"), "5");
    ASSERT_TRUE(writePrivateProfileString("system", "top", "7", ini));
    // The file's own spelling stays; no second section or key appears.
    EXPECT_EQ(readFile(ini), "[System]\nTop=7\n");
}

TEST_F(PrivateProfile, WritingCreatesTheFileAndAppendsSectionsAndKeys)
{
    ASSERT_TRUE(writePrivateProfileString("system", "top", "1", ini));
    ASSERT_TRUE(writePrivateProfileString("system", "left", "2", ini));
    ASSERT_TRUE(writePrivateProfileString("conv", "saveFolder", "/data/out/", ini));
    ASSERT_TRUE(writePrivateProfileString("system", "mode", "0", ini));
    EXPECT_EQ(readFile(ini), "[system]\ntop=1\nleft=2\nmode=0\n[conv]\nsaveFolder=/data/out/\n");
}

TEST_F(PrivateProfile, EveryOtherLineIsKeptByteForByte)
{
    const std::string before = "; written by hand\n"
                               "orphan=before any section\n"
                               "[system]\n"
                               "  top = 5  \n"
                               "unknown=keep me\n"
                               "# another comment\n"
                               "\n"
                               "[extra]\n"
                               "x=1\n"
                               "\n"
                               "[conv]\n"
                               "convType=2"; // no final line break
    writeFile(ini, before);
    ASSERT_TRUE(writePrivateProfileString("system", "top", "9", ini));
    ASSERT_TRUE(writePrivateProfileString("system", "mode", "1", ini));
    ASSERT_TRUE(writePrivateProfileString("conv", "zipCompressLevel", "6", ini));
    ASSERT_TRUE(writePrivateProfileString("singlefilemode", "top", "3", ini));
    EXPECT_EQ(readFile(ini), "; written by hand\n"
                             "orphan=before any section\n"
                             "[system]\n"
                             "  top=9\n"
                             "unknown=keep me\n"
                             "# another comment\n"
                             "mode=1\n"
                             "\n"
                             "[extra]\n"
                             "x=1\n"
                             "\n"
                             "[conv]\n"
                             "convType=2\n"
                             "zipCompressLevel=6\n"
                             "[singlefilemode]\n"
                             "top=3\n");
    EXPECT_EQ(get(ini, "system", "orphan"), "<default>");
}

TEST_F(PrivateProfile, CrlfFilesStayCrlf)
{
    writeFile(ini, "\xEF\xBB\xBF[system]\r\ntop=5\r\n; note\r\n\r\n[conv]\r\nconvType=1\r\n");
    EXPECT_EQ(get(ini, "system", "top"), "5");
    EXPECT_EQ(get(ini, "conv", "convType"), "1");
    ASSERT_TRUE(writePrivateProfileString("system", "top", "6", ini));
    ASSERT_TRUE(writePrivateProfileString("system", "left", "4", ini));
    ASSERT_TRUE(writePrivateProfileString("singlefilemode", "sameName", "1", ini));
    EXPECT_EQ(readFile(ini), "\xEF\xBB\xBF[system]\r\ntop=6\r\n; note\r\nleft=4\r\n\r\n"
                             "[conv]\r\nconvType=1\r\n[singlefilemode]\r\nsameName=1\r\n");
}

TEST_F(PrivateProfile, LongAndJapaneseValuesComeBackWhole)
{
    std::string longPath = "/home/user/" + std::string(300, 'a') + "/";
    std::string japanese = "/home/user/書庫/変換済み ファイル/";
    ASSERT_TRUE(writePrivateProfileString("conv", "saveFolder", longPath, ini));
    ASSERT_TRUE(writePrivateProfileString("singlefilemode", "beforeFileName", japanese, ini));
    EXPECT_EQ(get(ini, "conv", "saveFolder"), longPath);
    EXPECT_EQ(get(ini, "singlefilemode", "beforeFileName"), japanese);
}

TEST_F(PrivateProfile, BlanksAndQuotesAtTheEdgesSurviveARoundTrip)
{
    for (std::string value : {" leading", "trailing ", "\"quoted\"", "'single'", "\"", "", "a=b;c"}) {
        ASSERT_TRUE(writePrivateProfileString("conv", "saveFolder", value, ini)) << value;
        EXPECT_EQ(get(ini, "conv", "saveFolder"), value);
    }
    // Hand-written files may put blanks around the '=' and quotes around a value.
    writeFile(ini, "[conv]\nsaveFolder =  /x/y  \nconvToFileName=\"/a b/\"\n");
    EXPECT_EQ(get(ini, "conv", "saveFolder"), "/x/y");
    EXPECT_EQ(get(ini, "conv", "convToFileName"), "/a b/");
}

TEST_F(PrivateProfile, FirstOfDuplicateSectionsAndKeysCounts)
{
    writeFile(ini, "[conv]\nconvType=1\nconvType=2\n[conv]\nconvType=3\nlha=4\n");
    EXPECT_EQ(get(ini, "conv", "convType"), "1");
    ASSERT_TRUE(writePrivateProfileString("conv", "convType", "0", ini));
    EXPECT_EQ(readFile(ini), "[conv]\nconvType=0\nconvType=2\n[conv]\nconvType=3\nlha=4\n");
}

TEST_F(PrivateProfile, TextThatWouldForgeLinesIsRefused)
{
    writeFile(ini, "[conv]\nsaveFolder=/a/\n");
    EXPECT_FALSE(writePrivateProfileString("conv", "saveFolder", "/x\n[system]\nmode=0", ini));
    EXPECT_FALSE(writePrivateProfileString("conv", "saveFolder", "/x\r", ini));
    EXPECT_FALSE(writePrivateProfileString("co]nv", "a", "1", ini));
    EXPECT_FALSE(writePrivateProfileString("conv", "a=b", "1", ini));
    EXPECT_FALSE(writePrivateProfileString("conv", "", "1", ini));
    EXPECT_FALSE(writePrivateProfileString("conv", ";x", "1", ini));
    EXPECT_EQ(readFile(ini), "[conv]\nsaveFolder=/a/\n");
}

TEST_F(PrivateProfile, WritesReplaceTheFileWholeAndKeepItsPermissionsAndLinks)
{
    writeFile(dir / "real" / "settings.ini", "[system]\ntop=1\n");
    std::string real = (dir / "real" / "settings.ini").string();
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink(real, ini);

    ASSERT_TRUE(writePrivateProfileString("system", "top", "2", ini));
    EXPECT_TRUE(std::filesystem::is_symlink(ini));
    EXPECT_EQ(readFile(real), "[system]\ntop=2\n");
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // No temporary file is left beside it.
    size_t entries = 0;
    for ([[maybe_unused]] auto &e : std::filesystem::directory_iterator(dir / "real"))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(PrivateProfile, UnwritableFilesFailQuietlyAndStayAsTheyWere)
{
    // A path below a file cannot be written by anyone.
    writeFile(dir / "plain", "x");
    EXPECT_FALSE(writePrivateProfileString("system", "top", "1", (dir / "plain" / "a.ini").string()));
    EXPECT_FALSE(writePrivateProfileString("system", "top", "1", (dir / "missing" / "a.ini").string()));
    EXPECT_EQ(get((dir / "plain" / "a.ini").string(), "system", "top"), "<default>");

    writeFile(ini, "[system]\ntop=1\n");
    ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    std::filesystem::create_directory(dir / "locked");
    std::string locked = (dir / "locked" / "a.ini").string();
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0555), 0);
    EXPECT_TRUE(qvo::test::asUnprivilegedUser(dir.path(), [&] {
        bool ok = !writePrivateProfileString("system", "top", "2", ini) &&
                  !writePrivateProfileString("system", "top", "2", locked) &&
                  get(ini, "system", "top") == "1" && !std::filesystem::exists(locked);
        if (!ok)
            std::fprintf(stderr, "a read-only file or folder was written\n");
        return ok;
    }));
    EXPECT_EQ(readFile(ini), "[system]\ntop=1\n");
}

} // namespace
