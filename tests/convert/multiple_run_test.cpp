// The multiple-file run against fake back-ends: statuses, skips, names,
// and the safety rules around targets and sources.
#include "convert/working_folder.h"
#include "engine_fixture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace qvo;
using namespace qvo::test;
using convert::RowOutcome;
namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> contentsOf(const fs::path &archive)
{
    auto entries = readFakeArchive(archive);
    EXPECT_TRUE(entries) << archive;
    return entries ? *entries : std::map<std::string, std::string>{};
}

const std::map<std::string, std::string> kSourceTree = {
    {"a.txt", "hello"}, {"sub/", ""}, {"sub/b.bin", std::string(3000, 'x')}};

} // namespace

TEST_F(RunTest, ConvertsEachRowIntoTheSaveFolderAndCountsEveryRow)
{
    source("in/photos.lzh");
    source("in/music.cab");
    const auto reports = run();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_EQ(rows.status(1), convert::kStatusSucceeded);
    EXPECT_EQ(contentsOf(path("out/photos.zip")), kSourceTree);
    EXPECT_EQ(contentsOf(path("out/music.zip")), kSourceTree);
    EXPECT_EQ(reports[0].target, path("out/photos.zip").string());
    ASSERT_EQ(fakes.zip->state.compresses.size(), 2u);
    const auto &option = fakes.zip->state.compresses[0];
    EXPECT_EQ(option.beforeFileName(), path("in/photos.lzh").string());
    EXPECT_EQ(option.convTypeKey(), "ZIP");
    EXPECT_EQ(option.compressLevel(), settings.zipCompressLevel);
    EXPECT_TRUE(option.isRestorePath());
    EXPECT_TRUE(option.isSavePath());
    EXPECT_FALSE(option.isShowDialog());
    EXPECT_GT(yields, 2);
    // Sources stay unless asked; working folders and their locks are gone.
    EXPECT_TRUE(fs::exists(path("in/photos.lzh")));
    EXPECT_TRUE(fs::is_empty(workingRoot()));
}

TEST_F(RunTest, EmptyListFinishesAtOnce)
{
    convert::ConversionEngine engine(settings, fakes.controller, &rows);
    engine.run();
    EXPECT_EQ(engine.counters().totalCount, 0);
    EXPECT_EQ(engine.counters().doneCount, 0);
    EXPECT_TRUE(engine.counters().finished);
}

TEST_F(RunTest, SkipsKeepOrSetTheirStatusAndCallNoLibrary)
{
    source("in/gone.lzh");
    fs::remove(path("in/gone.lzh"));
    source("in/exists.lzh");
    writeFile(path("out/exists.zip"), "old target");
    source("in/same.zip");
    const auto reports = run();
    EXPECT_EQ(rows.status(0), convert::kStatusWaiting);
    EXPECT_EQ(reports[0].outcome, RowOutcome::SourceMissing);
    EXPECT_EQ(rows.status(1), convert::kStatusTargetExists);
    EXPECT_EQ(readFile(path("out/exists.zip")), "old target");
    EXPECT_EQ(rows.status(2), convert::kStatusWaiting);
    EXPECT_EQ(reports[2].outcome, RowOutcome::SameFormat);
    EXPECT_FALSE(fs::exists(path("out/same.zip")));
    EXPECT_TRUE(fakes.lha->state.extracts.empty());
    EXPECT_TRUE(fakes.zip->state.extracts.empty());
    EXPECT_TRUE(fakes.zip->state.compresses.empty());
}

TEST_F(RunTest, SameFormatConvertsWhenAskedAndMeetsItselfInTheSameFolder)
{
    source("in/photos.lzh");
    settings.convType = 0;
    settings.sameTypeConvert = true;
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_EQ(contentsOf(path("out/photos.lzh")), kSourceTree);

    settings.sameFolder = true;
    rows.setStatus(0, convert::kStatusWaiting);
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusTargetExists);
}

TEST_F(RunTest, UpperCaseExtensionSameFolderAndNewSaveFolder)
{
    source("in/photos.lzh");
    settings.useUpperExtension = true;
    settings.saveFolder = path("new/deeper").string(); // created by the run
    run();
    EXPECT_TRUE(fs::exists(path("new/deeper/photos.ZIP")));

    settings.sameFolder = true;
    settings.saveFolder = "/proc/no-such-folder"; // unused when saving next to the source
    settings.useUpperExtension = false;
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_TRUE(fs::exists(path("in/photos.zip")));
}

TEST_F(RunTest, FailedRowsAreMarkedAndTheRunGoesOn)
{
    source("in/broken.lzh");
    writeFile(path("in/broken.lzh"), "not an archive");
    source("in/thrown.cab");
    fakes.cab->state.throwOnExtract = true;
    writeFile(path("in/notes.txt"), "plain text");
    rows.add(path("in/notes.txt"));
    source("in/good.rar");
    const auto reports = run();
    EXPECT_EQ(rows.status(0), convert::kStatusFailed);
    EXPECT_EQ(rows.status(1), convert::kStatusFailed);
    EXPECT_NE(reports[1].detail.find("not installed"), std::string::npos);
    // A file of no known format would "extract" as an empty success.
    EXPECT_EQ(rows.status(2), convert::kStatusFailed);
    EXPECT_FALSE(fs::exists(path("out/notes.zip")));
    EXPECT_EQ(rows.status(3), convert::kStatusSucceeded);
    EXPECT_FALSE(fs::exists(path("out/broken.zip")));
}

TEST_F(RunTest, UnusableSaveFolderOrTargetIndexFailsTheRow)
{
    source("in/a.lzh");
    writeFile(path("blocker"), "a file where the save folder should be");
    settings.saveFolder = path("blocker/out").string();
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusFailed);

    settings.saveFolder = path("out").string();
    settings.convType = 7;
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusFailed);
}

TEST_F(RunTest, FailedCompressionWithOverwriteKeepsTheOldTarget)
{
    source("in/photos.lzh");
    const std::string old = fakeArchive({{"old.txt", "precious"}});
    writeFile(path("out/photos.zip"), old);
    settings.overWrite = true;
    fakes.zip->state.compressResult = 0x8008;
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusFailed);
    EXPECT_EQ(readFile(path("out/photos.zip")), old);

    fakes.zip->state.compressResult.reset();
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_EQ(contentsOf(path("out/photos.zip")), kSourceTree);
}

TEST_F(RunTest, SourcesAreDeletedOnlyAfterTheNewArchiveReadsBackTheSame)
{
    settings.deleteBeforeFile = true;
    source("in/ok.lzh");
    source("in/fails.cab");
    fakes.cab->state.extractResult = 0x8004;
    run();
    EXPECT_FALSE(fs::exists(path("in/ok.lzh")));
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_TRUE(fs::exists(path("in/fails.cab")));
    // The new archive was read back by the target's own back-end.
    ASSERT_EQ(fakes.zip->state.extracts.size(), 1u);
    EXPECT_EQ(fakes.zip->state.extracts[0].beforeFileName(), path("out/ok.zip").string());
}

TEST_F(RunTest, ArchiveThatDoesNotMatchOrCannotBeReadKeepsItsSource)
{
    settings.deleteBeforeFile = true;
    source("in/lossy.lzh");
    fakes.zip->state.dropOneFileOnCompress = true;
    const auto reports = run();
    EXPECT_EQ(rows.status(0), convert::kStatusFailed);
    EXPECT_TRUE(fs::exists(path("in/lossy.lzh")));
    EXPECT_NE(reports[0].detail.find("a.txt"), std::string::npos) << reports[0].detail;

    // A target format that nothing here can read back: never verified.
    FakeArchiveLayer writeOnly;
    writeOnly.zip->GetProperties()->setSupportMode(qvo::backends::SUPPORT_COMPRESS);
    settings.overWrite = true;
    convert::ConversionEngine engine(settings, writeOnly.controller, &rows);
    engine.run();
    EXPECT_EQ(rows.status(0), convert::kStatusFailed);
    EXPECT_TRUE(fs::exists(path("in/lossy.lzh")));
}

// The new archive is checked against what the source itself handed over,
// not against the working folder: a member the extraction lost would be
// missing from both.
TEST_F(RunTest, SourceIsKeptWhenItsExtractionLostAMember)
{
    settings.deleteBeforeFile = true;
    source("in/lossy.lzh");
    fakes.lha->state.dropOneFileOnExtract = true;
    const auto reports = run();
    EXPECT_EQ(rows.status(0), convert::kStatusFailed);
    EXPECT_TRUE(fs::exists(path("in/lossy.lzh")));
    EXPECT_NE(reports[0].detail.find("missing in the new archive: a.txt"), std::string::npos) << reports[0].detail;
    // The lists lie apart from the working folders and go with the run.
    ASSERT_EQ(fakes.lha->state.extracts.size(), 1u);
    const std::string list = fakes.lha->state.extracts[0].memberListFile();
    EXPECT_EQ(list.rfind(workingRoot().string() + "/members_", 0), 0u) << list;
    EXPECT_TRUE(fs::is_empty(workingRoot()));

    // Runs that delete nothing ask for no list.
    settings.deleteBeforeFile = false;
    settings.overWrite = true;
    fakes.lha->state.extracts.clear();
    run();
    ASSERT_EQ(fakes.lha->state.extracts.size(), 1u);
    EXPECT_EQ(fakes.lha->state.extracts[0].memberListFile(), "");
}

TEST_F(RunTest, SourceThatIsItsOwnTargetIsReplacedAndNeverDeleted)
{
    const auto src = source("in/photos.lzh");
    settings.convType = 0;
    settings.sameTypeConvert = true;
    settings.sameFolder = true;
    settings.overWrite = true;
    settings.deleteBeforeFile = true;
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    ASSERT_TRUE(fs::exists(src));
    EXPECT_EQ(contentsOf(src), kSourceTree);

    // Reached through a link to its folder: still the same file.
    fs::create_directory_symlink(path("in"), path("alias"));
    VectorRows aliased;
    aliased.add(path("alias/photos.lzh"));
    settings.sameFolder = false;
    settings.saveFolder = path("in").string();
    convert::ConversionEngine engine(settings, fakes.controller, &aliased);
    engine.run();
    EXPECT_EQ(aliased.status(0), convert::kStatusSucceeded);
    EXPECT_EQ(contentsOf(src), kSourceTree);
}

TEST_F(RunTest, WorkingFoldersHaveTheBaseNShapeAndAreDistinct)
{
    for (int k = 0; k < 6; ++k)
        source("in" + std::to_string(k) + "/photos.lzh");
    std::vector<std::string> folders;
    fakes.lha->state.onExtract = [&](const qvo::backends::clsArchiveActionOption &option) {
        folders.push_back(option.targetPathName());
        // In use: locked against the clean-up of other runs.
        const int fd = ::open(option.targetPathName().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        ::close(fd);
    };
    settings.overWrite = true;
    run();
    ASSERT_EQ(folders.size(), 6u);
    // <root>/photos_N/ with N from 1 to 9999, no leading zero.
    const std::string prefix = workingRoot().string() + "/photos_";
    for (const std::string &folder : folders) {
        ASSERT_EQ(folder.rfind(prefix, 0), 0u) << folder;
        const std::string n = folder.substr(prefix.size(), folder.size() - prefix.size() - 1);
        EXPECT_EQ(folder.back(), '/');
        EXPECT_TRUE(!n.empty() && n.size() <= 4 && n[0] != '0' &&
                    n.find_first_not_of("0123456789") == std::string::npos)
            << folder;
    }
    EXPECT_TRUE(fs::is_empty(workingRoot()));
}

// Working folders are emptied and reused by the next archive of the run:
// every extraction and read-back must still start empty and locked, and
// nothing of one archive may reach the next.
TEST_F(RunTest, ReusedWorkingFoldersStartEmptyAndLocked)
{
    source("in/a.lzh", "first");
    source("in/b.lzh", "second");
    source("in/c.lzh", "third");
    settings.deleteBeforeFile = true; // a read-back folder for each archive too
    size_t folders = 0;
    auto check = [&](const qvo::backends::clsArchiveActionOption &option) {
        ++folders;
        const std::string folder = option.targetPathName();
        EXPECT_TRUE(fs::is_empty(folder)) << folder;
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0) << folder;
        ::close(fd);
    };
    fakes.lha->state.onExtract = check;
    fakes.zip->state.onExtract = check;
    run();
    EXPECT_EQ(folders, 6u);
    for (const char *name : {"a", "b", "c"}) {
        EXPECT_EQ(rows.status(int(name[0] - 'a')), convert::kStatusSucceeded);
        EXPECT_FALSE(fs::exists(path(std::string("in/") + name + ".lzh")));
    }
    EXPECT_EQ(contentsOf(path("out/b.zip")).at("a.txt"), "second");
    EXPECT_EQ(contentsOf(path("out/c.zip")).size(), kSourceTree.size());
    EXPECT_TRUE(fs::is_empty(workingRoot()));
}

TEST_F(RunTest, ClearingAFolderNeverFollowsLinksAndRenamingKeepsTheLock)
{
    writeFile(path("outside/keep.txt"), "keep");
    writeFile(workingRoot() / "music_6" / "theirs.txt", "someone else's");
    convert::WorkingFolder folder(workingRoot().string(), "", "photos", [] { return 5; });
    const fs::path first = folder.path();
    writeFile(first / "top.txt", "t");
    writeFile(first / "ro/deep/f.txt", "x");
    fs::permissions(first / "ro/deep", fs::perms::owner_read | fs::perms::owner_exec);
    fs::permissions(first / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_directory_symlink(path("outside"), first / "link");
    EXPECT_TRUE(folder.clear());
    EXPECT_TRUE(fs::is_empty(first));
    EXPECT_EQ(readFile(path("outside/keep.txt")), "keep");

    // music_6 is taken: the next draw is used.
    std::vector<int> draws = {6, 8};
    size_t next = 0;
    EXPECT_TRUE(folder.rename("music", [&] { return draws[std::min(next++, draws.size() - 1)]; }));
    EXPECT_EQ(folder.path(), (workingRoot() / "music_8").string() + "/");
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(readFile(workingRoot() / "music_6" / "theirs.txt"), "someone else's");
    const int fd = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
    EXPECT_TRUE(folder.remove());
    EXPECT_FALSE(fs::exists(workingRoot() / "music_8"));
}

TEST_F(RunTest, StartOfRunRemovesOnlyWhatNoRunningConversionOwns)
{
    fs::create_directories(workingRoot() / "stale_12" / "x");
    writeFile(workingRoot() / "stale_12" / "x" / "f", "left by a crash");
    writeFile(workingRoot() / "orphan_3.lock", "");
    writeFile(workingRoot() / "debris.txt", "");
    convert::WorkingFolder owned(workingRoot().string(), "", "owned");
    writeFile(fs::path(owned.path()) / "inside.txt", "in use");
    // A folder of an earlier version, whose lock file beside it is held.
    writeFile(workingRoot() / "older_9" / "inside.txt", "in use");
    const int olderLock = ::open((workingRoot() / "older_9.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(olderLock, LOCK_EX | LOCK_NB), 0);
    run();
    EXPECT_EQ(readFile(workingRoot() / "older_9" / "inside.txt"), "in use");
    ::close(olderLock);
    fs::remove_all(workingRoot() / "older_9");
    fs::remove(workingRoot() / "older_9.lock");
    EXPECT_FALSE(fs::exists(workingRoot() / "stale_12"));
    EXPECT_FALSE(fs::exists(workingRoot() / "orphan_3.lock"));
    EXPECT_FALSE(fs::exists(workingRoot() / "debris.txt"));
    EXPECT_EQ(readFile(fs::path(owned.path()) / "inside.txt"), "in use");
    EXPECT_TRUE(owned.remove());
    EXPECT_TRUE(fs::is_empty(workingRoot()));
}

// Another local user can plant a link at $TMPDIR/Qvo toward a folder of
// the victim's (TMPDIR=/tmp): the start of a run must not empty that
// folder, and the run works in a private folder of its own instead.
TEST_F(RunTest, LinkPlantedAtTheWorkingRootLeadsNowhere)
{
    writeFile(path("victim/letter.txt"), "keep me");
    writeFile(path("victim/photos/p.jpg"), "jpeg");
    fs::create_symlink(path("victim"), workingRoot());
    source("in/photos.lzh");
    run();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_EQ(contentsOf(path("out/photos.zip")), kSourceTree);
    EXPECT_EQ(readFile(path("victim/letter.txt")), "keep me");
    EXPECT_EQ(readFile(path("victim/photos/p.jpg")), "jpeg");
    EXPECT_TRUE(fs::is_symlink(workingRoot()));
    const fs::path own = path("tmp") / ("qvo-" + std::to_string(::getuid())) / "Qvo";
    EXPECT_TRUE(fs::is_directory(own));
    EXPECT_TRUE(fs::is_empty(own));
}

TEST_F(RunTest, WorkingFolderNeverReusesAnExistingFolder)
{
    // photos_5 is left by a run that died (not yet cleaned); a draw that
    // hits it again must draw anew, and a run of bad luck must still end.
    writeFile(workingRoot() / "photos_5" / "theirs.txt", "someone else's");
    std::vector<int> draws = {5, 5, 6};
    size_t next = 0;
    convert::WorkingFolder folder(workingRoot().string(), "", "photos",
                                  [&] { return draws[std::min(next++, draws.size() - 1)]; });
    EXPECT_EQ(folder.path(), (workingRoot() / "photos_6").string() + "/");
    EXPECT_TRUE(fs::is_empty(folder.path()));
    EXPECT_EQ(readFile(workingRoot() / "photos_5" / "theirs.txt"), "someone else's");
    convert::WorkingFolder unlucky(workingRoot().string(), "", "photos", [] { return 5; });
    EXPECT_EQ(unlucky.path(), (workingRoot() / "photos_10000").string() + "/");
}
