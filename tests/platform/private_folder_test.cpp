#include "platform/posix/private_folder.h"
#include "platform/system_folders.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using qvo::platform::ensurePrivateFolder;
using qvo::platform::privateFolderBelow;
using qvo::test::ScopedEnv;
using qvo::test::TempDir;

namespace {

mode_t modeOf(const fs::path &p)
{
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode;
}

std::string ownName() { return "qvo-" + std::to_string(::getuid()); }

} // namespace

TEST(PrivateFolder, CreatedClosedToOthersAndReused)
{
    TempDir base;
    std::string folder = privateFolderBelow(base.path().string(), ::getuid());
    EXPECT_EQ(folder, (base / ownName()).string() + "/");
    EXPECT_TRUE(S_ISDIR(modeOf(folder)));
    EXPECT_EQ(modeOf(folder) & 0777, 0700u);
    EXPECT_EQ(privateFolderBelow(base.path().string(), ::getuid()), folder);
}

TEST(PrivateFolder, PlantedNamesAreNotUsed)
{
    TempDir base, elsewhere;
    // A link planted under the name: never followed, nothing created where
    // it leads.
    fs::create_directory_symlink(elsewhere.path(), base / ownName());
    EXPECT_EQ(privateFolderBelow(base.path().string(), ::getuid()), "");
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    fs::remove(base / ownName());

    // A folder others may enter, a plain file, a folder of another account.
    fs::create_directory(base / ownName());
    ::chmod((base / ownName()).c_str(), 0755);
    EXPECT_EQ(privateFolderBelow(base.path().string(), ::getuid()), "");
    ::chmod((base / ownName()).c_str(), 0700);
    EXPECT_NE(privateFolderBelow(base.path().string(), ::getuid()), "");
    EXPECT_EQ(privateFolderBelow(base.path().string(), ::getuid() + 1), "");
    fs::remove(base / ownName());
    qvo::test::writeFile(base / ownName(), "x");
    EXPECT_EQ(privateFolderBelow(base.path().string(), ::getuid()), "");
}

TEST(PrivateFolder, NestedFallbackFolder)
{
    TempDir base;
    fs::path nested = base / "cache" / "qvo" / "tmp";
    EXPECT_TRUE(ensurePrivateFolder(nested.string() + "/", ::getuid()));
    EXPECT_EQ(modeOf(nested) & 0777, 0700u);
    EXPECT_FALSE(ensurePrivateFolder("relative/path", ::getuid()));
}

TEST(TemporaryFolder, ExplicitTmpdirOrAFolderOfTheUserAlone)
{
    TempDir base;
    {
        ScopedEnv tmp("TMPDIR", base.path().string());
        EXPECT_EQ(qvo::platform::temporaryFolder(), base.path().string() + "/");
    }
    ScopedEnv tmp("TMPDIR", nullptr);
    std::string folder = qvo::platform::temporaryFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(st.st_mode & 077, 0u);
}
