#include "platform/path_helpers.h"

#include "as_unprivileged_user.h"
#include "platform/folder_tree.h"
#include "test_support.h"

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <sys/stat.h>

using namespace qvo::platform;
using qvo::test::readFile;
using qvo::test::TempDir;
using qvo::test::writeFile;
namespace fs = std::filesystem;

namespace {

using qvo::test::ScopedEnv;

TEST(PathHelpers, AppendBackslashAddsOneSeparator)
{
    EXPECT_EQ(appendBackslash("/data/out"), "/data/out/");
    EXPECT_EQ(appendBackslash("/data/out/"), "/data/out/");
    EXPECT_EQ(appendBackslash(""), "/");
}

bool isPrivateFolderOfMine(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

TEST(PathHelpers, TempFolderIsAPrivateQvoFolderBelowTheSystemTemporaryFolder)
{
    TempDir dir;
    {
        ScopedEnv env("TMPDIR", (dir / "user").c_str());
        EXPECT_EQ(getTempFolderName(), (dir / "user" / "Qvo").string() + "/");
        EXPECT_TRUE(isPrivateFolderOfMine((dir / "user" / "Qvo").string()));
    }
    {
        // Made by an earlier version with the umask's mode: ours, so kept
        // and closed to others.
        fs::create_directories(dir / "old" / "Qvo");
        fs::permissions(dir / "old" / "Qvo", fs::perms(0755));
        ScopedEnv env("TMPDIR", (dir / "old").string() + "/");
        EXPECT_EQ(getTempFolderName(), (dir / "old" / "Qvo").string() + "/");
        EXPECT_TRUE(isPrivateFolderOfMine((dir / "old" / "Qvo").string()));
    }
    {
        ScopedEnv env("TMPDIR", nullptr);
        EXPECT_EQ(getTempFolderName(), "/tmp/qvo-" + std::to_string(::getuid()) + "/Qvo/");
    }
    {
        // A relative TMPDIR would move with the current folder.
        ScopedEnv env("TMPDIR", "relative");
        EXPECT_EQ(getTempFolderName(), "/tmp/qvo-" + std::to_string(::getuid()) + "/Qvo/");
    }
}

// Anyone may create names in a shared temporary folder.  A link planted at
// $TMPDIR/Qvo, or a folder of another account there, is never taken for the
// working root (whose contents a run removes): a private folder of the
// user below $TMPDIR holds the root instead.
TEST(PathHelpers, TempFolderNeverTakesALinkOrAnotherUsersFolder)
{
    TempDir dir;
    fs::create_directories(dir / "shared" / "documents");
    writeFile(dir / "shared" / "documents" / "letter.txt", "keep me");
    fs::create_symlink(dir / "shared" / "documents", dir / "shared" / "Qvo");
    {
        ScopedEnv env("TMPDIR", (dir / "shared").c_str());
        const std::string root = getTempFolderName();
        EXPECT_EQ(root, (dir / "shared").string() + "/qvo-" + std::to_string(::getuid()) + "/Qvo/");
        EXPECT_TRUE(isPrivateFolderOfMine(root));
        EXPECT_EQ(readFile(dir / "shared" / "documents" / "letter.txt"), "keep me");
        EXPECT_EQ(fs::status(dir / "shared" / "documents").permissions() & fs::perms::others_read,
                  fs::perms::others_read);
    }
    // A real folder of another account (here: made by the test as root or
    // as this user, then checked as "nobody").
    fs::create_directories(dir / "other" / "Qvo");
    fs::permissions(dir.path(), fs::perms(0755));
    fs::permissions(dir / "other", fs::perms(0777));
    if (::geteuid() == 0) {
        const std::string other = (dir / "other").string();
        fs::create_directories(dir / "nobody");
        EXPECT_TRUE(qvo::test::asUnprivilegedUser(dir / "nobody", [&] {
            ::setenv("TMPDIR", other.c_str(), 1);
            const std::string root = getTempFolderName();
            const std::string want = other + "/qvo-" + std::to_string(::getuid()) + "/Qvo/";
            if (root != want)
                std::fprintf(stderr, "root %s, wanted %s\n", root.c_str(), want.c_str());
            return root == want;
        }));
    }
}

TEST(PathHelpers, FilesAndFoldersAreToldApart)
{
    TempDir dir;
    writeFile(dir / "file", "x");
    fs::create_symlink(dir / "file", dir / "link");
    EXPECT_TRUE(fileExists((dir / "file").string()));
    EXPECT_TRUE(fileExists((dir / "link").string()));
    EXPECT_FALSE(fileExists(dir.path().string()));
    EXPECT_FALSE(fileExists((dir / "missing").string()));
    EXPECT_TRUE(folderExists(dir.path().string()));
    EXPECT_TRUE(folderExists(dir.path().string() + "/"));
    EXPECT_FALSE(folderExists((dir / "file").string()));
    EXPECT_FALSE(folderExists(""));
}

TEST(PathHelpers, CreateFolderMakesEveryMissingLevel)
{
    TempDir dir;
    std::string deep = (dir / "a" / "b" / "c").string() + "/";
    createFolder(deep);
    EXPECT_TRUE(folderExists(deep));
    writeFile(dir / "a" / "b" / "c" / "keep", "x");
    createFolder(deep); // again: nothing changes
    EXPECT_EQ(readFile(dir / "a" / "b" / "c" / "keep"), "x");
    // Without a trailing separator the last component is a folder too.
    createFolder((dir / "d" / "e").string());
    EXPECT_TRUE(folderExists((dir / "d" / "e").string()));
}

// Jobs of one batch make the save folder at the same moment: a level that
// another made meanwhile is no failure.
TEST(PathHelpers, CreateFolderRacingItselfSucceeds)
{
    TempDir dir;
    for (int round = 0; round < 20; ++round) {
        const std::string deep = (dir / std::to_string(round) / "b" / "c" / "d").string();
        std::atomic<bool> go{false};
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int k = 0; k < 4; ++k)
            threads.emplace_back([&] {
                while (!go)
                    std::this_thread::yield();
                try {
                    createFolder(deep);
                } catch (const FolderCreationError &) {
                    ++failures;
                }
            });
        go = true;
        for (std::thread &t : threads)
            t.join();
        EXPECT_EQ(failures, 0) << deep;
        EXPECT_TRUE(folderExists(deep));
    }
}

TEST(PathHelpers, CreateFolderThrowsNamingTheLevelThatFailed)
{
    TempDir dir;
    writeFile(dir / "file", "x");
    try {
        createFolder((dir / "file" / "sub").string());
        FAIL() << "no exception";
    } catch (const FolderCreationError &e) {
        EXPECT_EQ(e.path(), (dir / "file").string() + "/");
        EXPECT_NE(std::string(e.what()).find(e.path()), std::string::npos);
    }

    fs::create_directory(dir / "locked");
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0555), 0);
    std::string target = (dir / "locked" / "x" / "y").string();
    EXPECT_TRUE(qvo::test::asUnprivilegedUser(dir.path(), [&] {
        try {
            createFolder(target);
        } catch (const FolderCreationError &e) {
            return e.path() == (dir / "locked" / "x").string() + "/";
        }
        std::fprintf(stderr, "created below a read-only folder\n");
        return false;
    }));
}

TEST(PathHelpers, DeleteFolderRemovesReadOnlyTrees)
{
    TempDir dir;
    fs::path root = dir / "work";
    writeFile(root / "a.txt", "x");
    writeFile(root / "sub" / "b.txt", "y");
    writeFile(root / "sub" / "deeper" / "c.txt", "z");
    writeFile(root / "closed" / "d.txt", "w");
    ASSERT_EQ(::chmod((root / "a.txt").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((root / "sub" / "b.txt").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((root / "sub" / "deeper").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((root / "sub").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((root / "closed").c_str(), 0), 0);
    ASSERT_EQ(::chmod(root.c_str(), 0555), 0);
    EXPECT_TRUE(qvo::test::asUnprivilegedUser(dir.path(), [&] {
        bool ok = deleteFolder(root.string() + "/") && !fs::exists(root);
        if (!ok)
            std::fprintf(stderr, "the read-only tree was not deleted\n");
        return ok;
    }));
    EXPECT_FALSE(fs::exists(root));
}

TEST(PathHelpers, DeleteFolderNeverFollowsLinksOutOfTheTree)
{
    TempDir dir;
    writeFile(dir / "outside" / "precious.txt", "keep");
    writeFile(dir / "outside.txt", "keep too");
    writeFile(dir / "work" / "in.txt", "x");
    fs::create_directory_symlink(dir / "outside", dir / "work" / "dirlink");
    fs::create_symlink(dir / "outside.txt", dir / "work" / "filelink");
    fs::create_symlink(dir / "nowhere", dir / "work" / "dangling");

    EXPECT_TRUE(deleteFolder((dir / "work").string()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "work")));
    EXPECT_EQ(readFile(dir / "outside" / "precious.txt"), "keep");
    EXPECT_EQ(readFile(dir / "outside.txt"), "keep too");

    // A link given as the folder itself: the link goes, its target stays.
    fs::create_directory_symlink(dir / "outside", dir / "alias");
    EXPECT_TRUE(deleteFolder((dir / "alias").string() + "/"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "alias")));
    EXPECT_EQ(readFile(dir / "outside" / "precious.txt"), "keep");
}

TEST(PathHelpers, DeleteFolderRemovesWideAndDeepTreesButNothingOutside)
{
    // More folders than are ever queued at once, so that threads share the
    // work and also sweep folders themselves; links to the outside and
    // read-only folders scattered through it.
    TempDir dir;
    writeFile(dir / "outside" / "precious.txt", "keep");
    fs::path root = dir / "work";
    for (int a = 0; a < 12; ++a) {
        for (int b = 0; b < 10; ++b) {
            fs::path folder = root / ("a" + std::to_string(a)) / ("b" + std::to_string(b));
            for (int f = 0; f < 5; ++f)
                writeFile(folder / ("f" + std::to_string(f)), "data");
            writeFile(folder / "deeper" / "deepest" / "x", "x");
            if (b % 3 == 0)
                fs::create_directory_symlink(dir / "outside", folder / "out");
            if (b % 4 == 0) {
                fs::create_symlink(dir / "outside" / "precious.txt", folder / "deeper" / "file-out");
                ASSERT_EQ(::chmod((folder / "deeper").c_str(), 0555), 0);
            }
        }
    }
    EXPECT_TRUE(qvo::test::asUnprivilegedUser(dir.path(), [&] {
        return deleteFolder(root.string()) && !fs::exists(fs::symlink_status(root));
    }));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_EQ(readFile(dir / "outside" / "precious.txt"), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "outside"), fs::directory_iterator()), 1);
}

TEST(PathHelpers, SpreadSubfoldersMarksTheFolderItselfNeverALinksTarget)
{
    TempDir dir;
    fs::create_directories(dir / "root");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "link");
    auto flagsOf = [](const fs::path &p) {
        int flags = -1;
        const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
                flags = -1;
            ::close(fd);
        }
        return flags;
    };
    if (qvo::platform::spreadSubfolders((dir / "root").string())) {
        EXPECT_TRUE(flagsOf(dir / "root") & FS_TOPDIR_FL);
        EXPECT_TRUE(qvo::platform::spreadSubfolders((dir / "root").string())); // already set
    } else {
        // No such flag on this volume (tmpfs, ...): nothing changed.
        const int flags = flagsOf(dir / "root");
        EXPECT_TRUE(flags == -1 || !(flags & FS_TOPDIR_FL));
    }
    EXPECT_FALSE(qvo::platform::spreadSubfolders((dir / "link").string()));
    const int target = flagsOf(dir / "elsewhere");
    EXPECT_TRUE(target == -1 || !(target & FS_TOPDIR_FL));
    EXPECT_FALSE(qvo::platform::spreadSubfolders((dir / "missing").string()));
}

TEST(PathHelpers, DeleteFolderReportsWhatItCannotDo)
{
    TempDir dir;
    EXPECT_FALSE(deleteFolder((dir / "missing").string()));
    writeFile(dir / "file", "x");
    EXPECT_FALSE(deleteFolder((dir / "file").string()));
    EXPECT_TRUE(fs::exists(dir / "file"));
    EXPECT_FALSE(deleteFolder(""));
    EXPECT_FALSE(deleteFolder("/"));

    // A folder whose parent is read-only cannot go; the run must learn it.
    writeFile(dir / "locked" / "work" / "f", "x");
    ASSERT_EQ(::chmod((dir / "locked").c_str(), 0555), 0);
    EXPECT_TRUE(qvo::test::asUnprivilegedUser(dir.path(), [&] {
        return !deleteFolder((dir / "locked" / "work").string());
    }));
}

TEST(PathHelpers, FreeSpaceIsMeasuredOnTheNearestExistingAncestor)
{
    TempDir dir;
    int64_t here = getDiskFreeSpace(dir.path().string());
    ASSERT_GT(here, 0);
    int64_t missing = getDiskFreeSpace((dir / "not" / "yet" / "made").string() + "/");
    ASSERT_GT(missing, 0);
    // Same volume; other programs may write meanwhile, so allow some drift.
    EXPECT_LT(std::llabs(here - missing), int64_t(256) << 20);
    EXPECT_GT(getDiskFreeSpace(""), 0); // the current folder
    writeFile(dir / "file", "x");
    EXPECT_GT(getDiskFreeSpace((dir / "file").string()), 0); // measured on its folder
}

TEST(PathHelpers, DriveNameIsTheMountPointOfTheVolume)
{
    TempDir dir;
    std::string drive = getDriveName((dir / "missing" / "x").string());
    ASSERT_FALSE(drive.empty());
    EXPECT_EQ(drive.back(), '/');
    EXPECT_EQ(drive, getDriveName(dir.path().string()));
    EXPECT_TRUE((fs::canonical(dir.path()).string() + "/").starts_with(drive)) << drive;
    EXPECT_EQ(getDriveName("/"), "/");
    EXPECT_EQ(getDriveName("/proc/self"), "/proc/");
}

} // namespace
