// The safety rules once more, through the real archiver libraries and read
// by independent tools.
#include "backends/archive_cab.h"
#include "backends/archive_lha.h"
#include "backends/archive_rar.h"
#include "backends/archive_zip.h"
#include "archivers/archive_builders.h"
#include "engine_fixture.h"

using namespace qvo;
using namespace qvo::test;
namespace fs = std::filesystem;

namespace {

class RealLibraryRun : public RunTest {
protected:
    RealLibraryRun()
    {
        controller.addArchive(std::make_shared<archive::clsArchiveLHA>());
        controller.addArchive(std::make_shared<archive::clsArchiveZIP>());
        controller.addArchive(std::make_shared<archive::clsArchiveCAB>());
        controller.addArchive(std::make_shared<archive::clsArchiveRAR>());
    }

    // An LZH of a.txt and sub/b.txt, from the corpus-independent jlha.
    fs::path makeLzh(const std::string &rel)
    {
        writeFile(path("tree/a.txt"), "alpha\n");
        writeFile(path("tree/sub/b.txt"), std::string(20000, 'b'));
        const fs::path out = path(rel);
        fs::create_directories(out.parent_path());
        EXPECT_EQ(runCommand("cd " + sh(path("tree")) + " && lha aq " + sh(out) + " a.txt sub"), 0);
        return out;
    }

    void runEngine()
    {
        convert::ConversionEngine engine(settings, controller, &rows);
        engine.run();
        outcome = engine.singleFileOutcome();
    }

    ScopedEnv libraries{"QVO_LIBRARY_DIR", QVO_LIBRARY_DIR};
    archive::clsArchiveCtrl controller;
    convert::SingleFileOutcome outcome = convert::SingleFileOutcome::NotRun;
};

} // namespace

TEST_F(RealLibraryRun, DeletesTheSourceOnlyAfterReadingTheNewArchiveBack)
{
    const fs::path src = makeLzh("in/photos.lzh");
    rows.add(src);
    settings.deleteBeforeFile = true;
    runEngine();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_FALSE(fs::exists(src));
    std::string listing;
    EXPECT_EQ(runCommand("unzip -Z1 " + sh(path("out/photos.zip")), &listing), 0) << listing;
    EXPECT_NE(listing.find("sub/b.txt"), std::string::npos) << listing;
}

TEST_F(RealLibraryRun, SameFormatInPlaceKeepsAValidArchive)
{
    const fs::path src = makeLzh("in/photos.lzh");
    rows.add(src);
    settings.convType = 0;
    settings.lhaCompressLevel = 4; // lh7
    settings.sameTypeConvert = settings.sameFolder = settings.overWrite = settings.deleteBeforeFile = true;
    runEngine();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    ASSERT_TRUE(fs::exists(src));
    std::string out;
    EXPECT_EQ(runCommand("lhasa t " + sh(src), &out), 0) << out;
    EXPECT_EQ(runCommand("lhasa v " + sh(src) + " | grep -c lh7", &out), 0) << out;
}

TEST_F(RealLibraryRun, SingleFileFailedExtractionWritesNoTarget)
{
    settings.mode = 0;
    settings.singleConvType = 1;
    fs::create_directories(path("out"));
    fs::create_directories(path("in"));
    fs::copy_file(fs::path(QVO_CORPUS_DIR) / "bad/lhasa/regression/truncated.lzh", path("in/truncated.lzh"));
    settings.singleBeforeFileName = path("in/truncated.lzh").string();
    settings.singleConvToFileName = path("out/new.zip").string();
    runEngine();
    EXPECT_EQ(outcome, convert::SingleFileOutcome::ExtractFailed);
    EXPECT_FALSE(fs::exists(path("out/new.zip")));
}

TEST_F(RealLibraryRun, SingleFileOverwriteReplacesInsteadOfAdding)
{
    settings.mode = 0;
    settings.singleConvType = 0;
    settings.singleBeforeFileName = makeLzh("in/photos.lzh").string();
    fs::create_directories(path("out"));
    writeFile(path("old/stale.txt"), "from the old archive");
    ASSERT_EQ(runCommand("cd " + sh(path("old")) + " && lha aq " + sh(path("out/new.lzh")) + " stale.txt"), 0);
    settings.singleConvToFileName = path("out/new.lzh").string();
    runEngine();
    EXPECT_EQ(outcome, convert::SingleFileOutcome::Succeeded);
    std::string listing;
    EXPECT_EQ(runCommand("lhasa l " + sh(path("out/new.lzh")), &listing), 0);
    EXPECT_EQ(listing.find("stale.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("a.txt"), std::string::npos) << listing;
}

TEST_F(RealLibraryRun, FailedCompressionWithOverwriteKeepsTheOldTarget)
{
    // Folders alone: a cabinet has nothing to hold, the CAB library fails.
    fs::create_directories(path("in"));
    fs::copy_file(fs::path(QVO_CORPUS_DIR) / "lzh/lhasa/regression/dir.lzh", path("in/dir.lzh"));
    rows.add(path("in/dir.lzh"));
    const std::string old = "an old archive the user still has";
    writeFile(path("out/dir.cab"), old);
    settings.convType = 2;
    settings.overWrite = true;
    runEngine();
    EXPECT_EQ(rows.status(0), convert::kStatusFailed);
    EXPECT_EQ(readFile(path("out/dir.cab")), old);
}

// Overwriting is about targets: inside one archive, a later member of a
// name must not replace an earlier one, or the new archive (and its
// read-back) would lack it and the source would go with the only copy.
TEST_F(RealLibraryRun, ArchiveWhoseMembersShareANameIsRefusedAndKept)
{
    const std::map<std::string, std::string> hostile = {
        {"twice.zip", buildZip({zipFile("x.txt", "first"), zipFile("x.txt", "second")})},
        {"dot.zip", buildZip({zipFile("x.txt", "plain"), zipFile("./x.txt", "dotted")})},
        {"link.zip", buildZip({zipFile("x.txt", "data"), zipFile("y.txt", "other"), zipLink("x.txt", "y.txt")})},
        {"repeat.lzh", buildLha({lhaFile("x.txt", "d\xFF", "first"), lhaFile("x.txt", "d\xFF", "second")})},
    };
    for (const auto &[name, bytes] : hostile) {
        writeFile(path("in/" + name), bytes);
        rows.add(path("in/" + name));
    }
    const fs::path normal = makeLzh("in/normal.lzh");
    rows.add(normal);
    settings.convType = 0; // LHA, so that ZIP sources are no same-format case
    settings.sameTypeConvert = true;
    settings.overWrite = true;
    settings.deleteBeforeFile = true;
    runEngine();
    int row = 0;
    for (const auto &[name, bytes] : hostile) {
        SCOPED_TRACE(name);
        EXPECT_EQ(rows.status(row++), convert::kStatusFailed);
        EXPECT_EQ(readFile(path("in/" + name)), bytes);
    }
    EXPECT_EQ(rows.status(row), convert::kStatusSucceeded);
    EXPECT_FALSE(fs::exists(normal));
}

// The new archive is checked against the members the source handed over.
// A cabinet cannot hold folders or links: an empty folder may be missing
// and a link to a file comes back as that file's content; anything else
// must be there, or the source stays.
TEST_F(RealLibraryRun, CabinetIsCheckedAgainstWhatItCanHold)
{
    const std::string bytes = buildZip({zipFile("empty/", ""), zipFile("d/a.txt", "alpha"), zipLink("d/l", "a.txt")});
    writeFile(path("in/fine.zip"), bytes);
    writeFile(path("in/dangling.zip"), buildZip({zipFile("d/a.txt", "alpha"), zipLink("d/l", "gone.txt")}));
    rows.add(path("in/fine.zip"));
    rows.add(path("in/dangling.zip"));
    settings.convType = 2;
    settings.deleteBeforeFile = true;
    runEngine();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_FALSE(fs::exists(path("in/fine.zip")));
    std::string listing;
    EXPECT_EQ(runCommand("cabextract -l " + sh(path("out/fine.cab")), &listing), 0) << listing;
    EXPECT_NE(listing.find("d/l"), std::string::npos) << listing;
    // A link to nothing has no content a cabinet could keep: left out.
    EXPECT_EQ(rows.status(1), convert::kStatusSucceeded);
    EXPECT_FALSE(fs::exists(path("in/dangling.zip")));
}
