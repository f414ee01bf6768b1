#include "convert/target_names.h"

#include <gtest/gtest.h>

using namespace qvo;
using namespace qvo::convert;

// Settings files store the index: what each one names stays.
TEST(TargetNames, FormatByIndexWithItsLevelSetting)
{
    settings::clsQvoSettings s("/dev/null/qvo3.ini");
    s.lhaCompressLevel = 4;
    s.zipCompressLevel = 9;
    s.cabCompressLevel = 20;
    EXPECT_EQ(chosenTarget(s, 0).key, "LHA");
    EXPECT_EQ(chosenTarget(s, 0).compressLevel, 4);
    EXPECT_EQ(chosenTarget(s, 1).extension, "zip");
    EXPECT_EQ(chosenTarget(s, 1).compressLevel, 9);
    EXPECT_EQ(chosenTarget(s, 2).key, "CAB");
    EXPECT_EQ(chosenTarget(s, 2).compressLevel, 20);
    EXPECT_EQ(chosenTarget(s, 3).format, nullptr);
    EXPECT_EQ(chosenTarget(s, 3).key, "");
    EXPECT_EQ(chosenTarget(s, -1).extension, "");
    s.useUpperExtension = true;
    EXPECT_EQ(chosenTarget(s, 0).extension, "LZH");
}

TEST(TargetNames, MultipleFileNames)
{
    EXPECT_EQ(multipleTargetFileName("photos.lzh", "zip"), "photos.zip");
    EXPECT_EQ(multipleTargetFileName("a.tar.lzh", "CAB"), "a.tar.CAB");
    EXPECT_EQ(multipleTargetFileName("写真.LZH", "zip"), "写真.zip");
    EXPECT_EQ(multipleTargetFileName("lzh", "zip"), "lzh.zip");
    EXPECT_EQ(workingBaseName("photos.tar.lzh"), "photos.tar");
    EXPECT_EQ(workingBaseName(".lzh"), "");
}

TEST(TargetNames, SingleFileNames)
{
    EXPECT_EQ(singleFileTargetName("/in/a.lzh", false, "/out/new.lz", "lzh"), "/out/new.lzh");
    EXPECT_EQ(singleFileTargetName("/in/a.lzh", false, "/out/new.dat", "lzh"), "/out/new.dat");
    EXPECT_EQ(singleFileTargetName("/in/a.lzh", false, "/out/new.", "zip"), "/out/new.zip");
    EXPECT_EQ(singleFileTargetName("/in/a.lzh", false, "/out.dir/new", "zip"), "/out.dir/new");
    EXPECT_EQ(singleFileTargetName("/in/a.lzh", false, "/out/new.あい", "zip"), "/out/new.zip");
    EXPECT_EQ(singleFileTargetName("/in/a.lzh", false, "/out/new.あいう", "zip"), "/out/new.あいう");
    EXPECT_EQ(singleFileTargetName("/in/a.lzh", true, "/ignored.x", "ZIP"), "/in/a.ZIP");
    // The extension of the file name, never a "." of a folder: the target
    // stays beside its source.
    EXPECT_EQ(singleFileTargetName("/data/v1.2/old", true, "", "cab"), "/data/v1.2/old.cab");
}

// The file a single-file run writes, as the window asks about it.
TEST(TargetNames, SingleRunTargetTakesEverySettingTheRunReads)
{
    settings::clsQvoSettings s("/dev/null/qvo3.ini");
    s.singleBeforeFileName = "/data/old.zip";
    s.singleConvType = 0;
    s.singleSameName = true;
    EXPECT_EQ(singleRunTarget(s), "/data/old.lzh");
    s.useUpperExtension = true;
    EXPECT_EQ(singleRunTarget(s), "/data/old.LZH");
    s.singleSameName = false;
    s.singleConvToFileName = "/out/new.lz";
    EXPECT_EQ(singleRunTarget(s), "/out/new.LZH");
    s.useUpperExtension = false;
    s.singleConvType = 1;
    EXPECT_EQ(singleRunTarget(s), "/out/new.zip");
}

TEST(TargetNames, SingleFileWorkingFolderName)
{
    EXPECT_EQ(singleWorkingName("photos.lzh"), "photos");
    EXPECT_EQ(singleWorkingName("x.lzh"), "x");
    EXPECT_EQ(singleWorkingName(".lzh"), "");
    EXPECT_EQ(singleWorkingName("...lzh"), "");
    // The extension goes whatever its length: self-extractors and other
    // names the content identifies.
    EXPECT_EQ(singleWorkingName("写真x.z"), "写真x");
    EXPECT_EQ(singleWorkingName("game.exe"), "game");
    EXPECT_EQ(singleWorkingName("a.x"), "a");
    EXPECT_EQ(singleWorkingName("x.lha"), "x");
    EXPECT_EQ(singleWorkingName("test_read_format_zip_sfx"), "test_read_format_zip_sfx");
    EXPECT_EQ(multipleTargetFileName("game.exe", "zip"), "game.zip");
    EXPECT_EQ(multipleTargetFileName("a.x", "zip"), "a.zip");
    EXPECT_EQ(multipleTargetFileName("x.lha", "lzh"), "x.lzh");
}
