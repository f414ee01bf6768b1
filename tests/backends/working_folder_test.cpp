// ZIP and CAB creation run their library inside the working folder, and the
// previous current directory comes back however the call ends.
#include "backends/archive_cab.h"
#include "backends/archive_errors.h"
#include "backends/archive_zip.h"
#include "backends/current_directory.h"
#include "fake_archivers.h"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

using namespace qvo::backends;
using qvo::test::FakeArchivers;

namespace {

std::filesystem::path cwd()
{
    return std::filesystem::current_path();
}

// Runs the test body from a known directory and returns to the original one.
class WorkingFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        original_ = cwd();
        fakes_.addAll();
        start_ = fakes_.scratch() / "start";
        std::filesystem::create_directories(start_);
        std::filesystem::current_path(start_);
        start_ = cwd(); // canonical form, as getcwd reports it
        work_ = fakes_.scratch() / "作業 フォルダ";
        std::filesystem::create_directories(work_);
        work_ = std::filesystem::canonical(work_);
    }
    void TearDown() override { std::filesystem::current_path(original_); }

    clsArchiveActionOption option(const std::string &target) const
    {
        clsArchiveActionOption o;
        o.isSavePath(true);
        o.afterFileName((fakes_.scratch() / "out.zip").string());
        o.targetPathName(target);
        return o;
    }

    std::vector<std::unique_ptr<clsArchiveBackEnd>> creators() const
    {
        std::vector<std::unique_ptr<clsArchiveBackEnd>> v;
        v.push_back(std::make_unique<clsArchiveZIP>());
        v.push_back(std::make_unique<clsArchiveCAB>());
        return v;
    }

    FakeArchivers fakes_;
    std::filesystem::path original_, start_, work_;
};

} // namespace

TEST_F(WorkingFolderTest, LibraryRunsInsideTheWorkingFolder)
{
    for (auto &backEnd : creators()) {
        fakes_.clearCalls();
        auto o = option(work_.string() + "/");
        EXPECT_EQ(backEnd->compress(o), 0);
        const auto calls = fakes_.calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].cwd, work_.string());
        // The folder itself is never named on the command line.
        EXPECT_EQ(calls[0].cmdLine.find("作業"), std::string::npos);
        EXPECT_EQ(cwd(), start_);
    }
}

TEST_F(WorkingFolderTest, FolderIsTakenUpToTheLastSeparator)
{
    for (auto &backEnd : creators()) {
        fakes_.clearCalls();
        auto o = option(work_.string() + "/not-a-folder-name");
        EXPECT_EQ(backEnd->compress(o), 0);
        ASSERT_EQ(fakes_.calls().size(), 1u);
        EXPECT_EQ(fakes_.calls()[0].cwd, work_.string());
        EXPECT_EQ(cwd(), start_);
    }
}

TEST_F(WorkingFolderTest, RestoredWhenTheLibraryFails)
{
    qvo::test::ScopedEnv failing("QVO_FAKE_RESULT", "12");
    for (auto &backEnd : creators()) {
        auto o = option(work_.string() + "/");
        EXPECT_EQ(backEnd->compress(o), 12);
        EXPECT_EQ(cwd(), start_);
    }
}

TEST_F(WorkingFolderTest, RestoredWhenTheLibraryCannotBeReached)
{
    {
        FakeArchivers none;
        for (auto &backEnd : creators()) {
            auto o = option(work_.string() + "/");
            EXPECT_THROW(backEnd->compress(o), ArchiverUnavailable);
            EXPECT_EQ(cwd(), start_);
        }
    }
    {
        FakeArchivers noCommand;
        noCommand.add("Zip32J.so", "no-command").add("cab32.so", "no-command");
        for (auto &backEnd : creators()) {
            ASSERT_TRUE(backEnd->isValid());
            auto o = option(work_.string() + "/");
            EXPECT_THROW(backEnd->compress(o), ArchiverUnavailable);
            EXPECT_EQ(cwd(), start_);
        }
    }
}

TEST_F(WorkingFolderTest, MissingFolderIsReportedBeforeTheLibraryIsCalled)
{
    for (auto &backEnd : creators()) {
        for (const std::string &target :
             {(fakes_.scratch() / "gone/").string(), std::string("no-separator"), std::string()}) {
            auto o = option(target);
            EXPECT_THROW(backEnd->compress(o), WorkingFolderError) << target;
            EXPECT_EQ(cwd(), start_);
        }
    }
    EXPECT_TRUE(fakes_.calls().empty());
}

TEST_F(WorkingFolderTest, ScopeRestoresEvenIfTheStartFolderWasRenamed)
{
    const auto moved = fakes_.scratch() / "moved";
    {
        CurrentDirectoryScope scope(work_.string() + "/");
        std::filesystem::rename(start_, moved);
        scope.restore();
    }
    EXPECT_EQ(cwd(), std::filesystem::canonical(moved));
}

TEST(WorkingFolderOf, KeepsTheTrailingSeparator)
{
    EXPECT_EQ(workingFolderOf("/tmp/Qvo/1/"), "/tmp/Qvo/1/");
    EXPECT_EQ(workingFolderOf("/tmp/Qvo/1/x"), "/tmp/Qvo/1/");
    EXPECT_EQ(workingFolderOf("/"), "/");
    EXPECT_EQ(workingFolderOf("relative"), "");
}
