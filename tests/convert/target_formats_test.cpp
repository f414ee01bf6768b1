// The target table against the libraries that write its formats: every
// level a row names makes an archive of that method, and what a row says
// the format holds is what comes back out of an archive of it.
#include "backends/format_backends.h"
#include "backends/target_formats.h"
#include "convert/member_list.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

using namespace qvo;
using namespace qvo::test;
namespace fs = std::filesystem;

namespace {

class TargetTable : public ::testing::Test {
protected:
    TargetTable() { backends::registerFormatBackEnds(controller); }

    // Packs `folder` into `archive` as the conversion run does.
    int32_t pack(const backends::TargetFormat &format, int32_t level, const fs::path &folder,
                 const fs::path &archive, bool cp932Names = false)
    {
        backends::clsArchiveActionOption option;
        option.convTypeKey(std::string(format.key));
        option.compressLevel(level);
        option.isSavePath(true);
        option.cp932Names(cp932Names);
        option.afterFileName(archive.string());
        option.targetPathName(folder.string() + "/");
        return controller.compress(option);
    }

    // What the archive hands over when a conversion extracts it.
    convert::MemberList unpack(const fs::path &archive)
    {
        TempDir out;
        backends::clsArchiveActionOption option;
        option.beforeFileName(archive.string());
        option.targetPathName(out.path().string() + "/");
        option.isRestorePath(true);
        option.isConversion(true);
        option.memberListFile((dir / ("members" + std::to_string(++lists))).string());
        EXPECT_EQ(controller.extract(option), 0) << archive;
        std::optional<convert::MemberList> list = convert::readMemberList(option.memberListFile());
        fs::remove(option.memberListFile());
        EXPECT_TRUE(list) << archive;
        return list.value_or(convert::MemberList{});
    }

    ScopedEnv libraries{"QVO_LIBRARY_DIR", QVO_LIBRARY_DIR};
    backends::clsArchiveCtrl controller;
    TempDir dir;
    int lists = 0;
};

// The methods 7-Zip lists for the files of `archive`.
std::set<std::string> methodsOfFiles(const fs::path &archive)
{
    std::string listing;
    EXPECT_EQ(runCommand("7zz l -slt " + sh(archive), &listing), 0) << listing;
    std::set<std::string> methods;
    std::istringstream lines(listing);
    std::string line, method;
    bool folder = false;
    while (std::getline(lines, line)) {
        if (line.rfind("Method = ", 0) == 0)
            method = line.substr(9);
        else if (line.rfind("Folder = ", 0) == 0)
            folder = line == "Folder = +";
        else if (line.empty() && !method.empty()) {
            if (!folder)
                methods.insert(method);
            method.clear();
            folder = false;
        }
    }
    if (!method.empty() && !folder)
        methods.insert(method);
    return methods;
}

// How 7-Zip names the method a level names: -lh5- for lh5, LZX:21 for
// lzx:21, None for none; a ZIP level stores (0) or deflates.
bool sameMethod(const backends::TargetFormat &format, std::string_view level, const std::string &listed)
{
    const std::string name(level);
    std::string lower = listed;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (format.writer == archivers::ArchiverId::zip32j)
        return name == "0" ? listed == "Store" : listed.rfind("Deflate", 0) == 0;
    return lower == name || lower == "-" + name + "-";
}

} // namespace

TEST_F(TargetTable, EveryLevelARowNamesIsWrittenWithThatMethod)
{
    writeFile(dir / "tree" / "sub" / "text.txt", randomBytes(3000, 1) + std::string(40000, 'a'));
    for (const backends::TargetFormat &format : backends::targetFormats()) {
        for (const backends::NamedLevel &level : format.levels) {
            const fs::path archive = dir / (std::string(level.name.substr(0, level.name.find(':'))) +
                                            std::to_string(level.value) + "." + std::string(format.extension()));
            ASSERT_EQ(pack(format, level.value, dir / "tree", archive), 0) << format.key << " " << level.name;
            EXPECT_EQ(controller.checkArchive(archive.string(), backends::SUPPORT_EXTRACT), format.key);
            const std::set<std::string> methods = methodsOfFiles(archive);
            ASSERT_EQ(methods.size(), 1u) << archive;
            EXPECT_TRUE(sameMethod(format, level.name, *methods.begin()))
                << format.key << " " << level.name << ": " << *methods.begin();
        }
    }
}

TEST_F(TargetTable, WhatARowSaysItHoldsComesBack)
{
    const fs::path tree = dir / "tree";
    writeFile(tree / "data.txt", "data\n");
    fs::create_directories(tree / "keep" / "empty");
    fs::create_symlink("data.txt", tree / "to-data");
    // Japanese names that CP932 holds, and Korean that only UTF-8 does.
    writeFile(tree / "日本語.txt", "ja\n");
    writeFile(dir / "korean" / "한국어.txt", "ko\n");

    for (const backends::TargetFormat &format : backends::targetFormats()) {
        SCOPED_TRACE(std::string(format.key));
        const fs::path archive = dir / ("tree." + std::string(format.extension()));
        ASSERT_EQ(pack(format, format.defaultLevel, tree, archive, format.holds.cp932Names), 0);
        const convert::MemberList members = unpack(archive);
        const auto kindOf = [&](const std::string &name) {
            for (const convert::ListedMember &m : members)
                if (m.name == name)
                    return m.kind;
            return convert::ListedMember::Kind::LinkLeadingOutside; // absent
        };
        EXPECT_EQ(kindOf("keep/empty") == convert::ListedMember::Kind::Folder, format.holds.folders);
        EXPECT_EQ(kindOf("to-data") == convert::ListedMember::Kind::Link, format.holds.links);
        EXPECT_EQ(kindOf("日本語.txt"), convert::ListedMember::Kind::File);

        const fs::path korean = dir / ("korean." + std::string(format.extension()));
        if (format.holds.utf8Names) {
            ASSERT_EQ(pack(format, format.defaultLevel, dir / "korean", korean), 0);
            const convert::MemberList back = unpack(korean);
            ASSERT_EQ(back.size(), 1u);
            EXPECT_EQ(back[0].name, "한국어.txt");
        }
        if (format.holds.cp932Names) {
            EXPECT_EQ(pack(format, format.defaultLevel, dir / "korean", korean, true), archivers::kErrNameEncoding);
        }
    }
}
