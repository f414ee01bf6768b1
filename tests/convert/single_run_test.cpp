// The single-file run: four steps, a visible outcome, no target after a
// failed step.
#include "convert/working_folder.h"
#include "engine_fixture.h"

using namespace qvo;
using namespace qvo::test;
using convert::SingleFileOutcome;
namespace fs = std::filesystem;

namespace {

class SingleRunTest : public RunTest {
protected:
    SingleRunTest()
    {
        settings.mode = 0;
        settings.singleConvType = 1;
        settings.singleBeforeFileName = source("in/photos.lzh").string();
        settings.singleConvToFileName = path("out/new.zip").string();
        fs::create_directories(path("out"));
    }

    SingleFileOutcome runSingle()
    {
        steps.clear();
        convert::ConversionEngine *self = nullptr;
        convert::ConversionEngine engine(settings, fakes.controller, nullptr,
                                         [&] { steps.push_back(self->counters().doneCount); });
        self = &engine;
        engine.run();
        EXPECT_EQ(engine.counters().totalCount, 4);
        EXPECT_EQ(engine.counters().doneCount, 4);
        EXPECT_TRUE(engine.counters().finished);
        target = engine.singleFileTarget();
        return engine.singleFileOutcome();
    }

    std::vector<int32_t> steps;
    std::string target;
};

} // namespace

TEST_F(SingleRunTest, ConvertsInFourStepsIntoTheNamedTarget)
{
    std::string folder;
    fakes.lha->state.onExtract = [&](const qvo::backends::clsArchiveActionOption &o) { folder = o.targetPathName(); };
    EXPECT_EQ(runSingle(), SingleFileOutcome::Succeeded);
    EXPECT_EQ(target, path("out/new.zip").string());
    EXPECT_TRUE(readFakeArchive(path("out/new.zip")));
    EXPECT_EQ(steps, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(folder, (workingRoot() / "photos").string() + "/");
    EXPECT_TRUE(fs::is_empty(workingRoot()));
    EXPECT_TRUE(fs::exists(settings.singleBeforeFileName)); // never deleted here
}

TEST_F(SingleRunTest, DerivedTargetNames)
{
    settings.singleConvType = 0;
    settings.singleConvToFileName = path("out/new.lz").string();
    EXPECT_EQ(runSingle(), SingleFileOutcome::Succeeded);
    EXPECT_EQ(target, path("out/new.lzh").string());
    EXPECT_TRUE(fs::exists(path("out/new.lzh")));

    settings.singleConvToFileName = path("out/new.dat").string();
    runSingle();
    EXPECT_TRUE(fs::exists(path("out/new.dat")));

    settings.singleSameName = true;
    settings.useUpperExtension = true;
    settings.singleConvType = 2;
    runSingle();
    EXPECT_EQ(target, path("in/photos.CAB").string());
}

TEST_F(SingleRunTest, FailedStepStopsTheRunAndWritesNoTarget)
{
    fakes.lha->state.extractResult = 0x8004;
    EXPECT_EQ(runSingle(), SingleFileOutcome::ExtractFailed);
    EXPECT_FALSE(fs::exists(path("out/new.zip")));
    EXPECT_TRUE(fakes.zip->state.compresses.empty());
    EXPECT_TRUE(fs::is_empty(workingRoot()));

    fakes.lha->state.extractResult.reset();
    fakes.zip->state.compressResult = 0x8008;
    EXPECT_EQ(runSingle(), SingleFileOutcome::CompressFailed);
    EXPECT_FALSE(fs::exists(path("out/new.zip")));

    fakes.zip->state.compressResult.reset();
    fakes.zip->state.throwOnCompress = true;
    EXPECT_EQ(runSingle(), SingleFileOutcome::Failed);
}

TEST_F(SingleRunTest, MissingOrUnknownSourceIsReportedNotConverted)
{
    settings.singleBeforeFileName = path("in/none.lzh").string();
    EXPECT_EQ(runSingle(), SingleFileOutcome::SourceMissing);
    writeFile(path("in/notes.txt"), "text");
    settings.singleBeforeFileName = path("in/notes.txt").string();
    EXPECT_EQ(runSingle(), SingleFileOutcome::Failed);
    EXPECT_FALSE(fs::exists(path("out/new.zip")));
}

TEST_F(SingleRunTest, AgreedOverwriteReplacesTheTargetAndSameNameIsSafe)
{
    writeFile(path("out/new.zip"), fakeArchive({{"stale.txt", "old member"}}));
    EXPECT_EQ(runSingle(), SingleFileOutcome::Succeeded);
    EXPECT_FALSE(readFakeArchive(path("out/new.zip"))->count("stale.txt"));

    // Source and target one file: extracted first, replaced when complete.
    settings.singleConvType = 0;
    settings.singleSameName = true;
    EXPECT_EQ(runSingle(), SingleFileOutcome::Succeeded);
    EXPECT_EQ(readFakeArchive(settings.singleBeforeFileName)->at("a.txt"), "hello");
}

TEST_F(SingleRunTest, BusyWorkingFolderNameFallsBackToBaseN)
{
    // Another conversion of a photos.lzh holds <root>/photos/ right now.
    fs::create_directories(workingRoot());
    convert::WorkingFolder other(workingRoot().string(), "photos", "photos");
    ASSERT_EQ(other.path(), (workingRoot() / "photos").string() + "/");
    std::string folder;
    fakes.lha->state.onExtract = [&](const qvo::backends::clsArchiveActionOption &o) { folder = o.targetPathName(); };
    EXPECT_EQ(runSingle(), SingleFileOutcome::Succeeded);
    EXPECT_NE(folder, other.path());
    EXPECT_EQ(folder.rfind((workingRoot() / "photos_").string(), 0), 0u) << folder;
    EXPECT_TRUE(fs::exists(other.path()));
}
