// The safety rules once more, through the real archiver libraries and read
// by independent tools.
#include "backends/format_backends.h"
#include "archivers/archive_builders.h"
#include "engine_fixture.h"

using namespace qvo;
using namespace qvo::test;
namespace fs = std::filesystem;

namespace {

class RealLibraryRun : public RunTest {
protected:
    RealLibraryRun() { qvo::backends::registerFormatBackEnds(controller); }

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
    qvo::backends::clsArchiveCtrl controller;
    convert::SingleFileOutcome outcome = convert::SingleFileOutcome::NotRun;
};

// The symbolic links `command` makes when it extracts `archive` into a
// fresh folder (run there), by name, with their targets as text.
std::map<std::string, std::string> linksExtractedBy(const std::string &command, const fs::path &archive)
{
    TempDir out;
    std::string log;
    EXPECT_EQ(runCommand("cd " + sh(out.path()) + " && " + command + " " + sh(archive) + " 2>&1", &log), 0)
        << command << " " << archive << ": " << log;
    std::map<std::string, std::string> links;
    for (auto it = fs::recursive_directory_iterator(out.path()); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_symlink())
            links[it->path().lexically_relative(out.path()).string()] = fs::read_symlink(it->path()).string();
    }
    return links;
}

// Archives of the corpus holding links that lead outside the folder they
// are extracted to (an absolute path, or "..").
const char *const kLinksLeadingOutside[] = {
    "rar/rarfile/rar3-symlink-unix.rar",       "rar/rarfile/rar5-symlink-unix.rar",
    "rar/rarfile/rar5-symlink-win.rar",        "zip/libarchive/test_symlink_1.zip",
    "lzh/lhasa/lha_unix114i/h1_symlink3.lzh", "lzh/lhasa/lha_unix114i/h2_symlink3.lzh",
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

// For a conversion a link is data: one that leads outside the archive's
// folder is carried into the new archive as it was stored, where the
// format holds links.
TEST_F(RealLibraryRun, LinksLeadingOutsideAreCarriedAsLinks)
{
    for (const char *rel : kLinksLeadingOutside) {
        const fs::path copy = path("in/" + fs::path(rel).filename().string());
        fs::create_directories(copy.parent_path());
        fs::copy_file(fs::path(QVO_CORPUS_DIR) / rel, copy);
        rows.add(copy);
    }
    settings.sameTypeConvert = true;
    settings.overWrite = true;
    for (const int target : {1, 0}) {
        SCOPED_TRACE(target == 1 ? "ZIP" : "LHA");
        settings.convType = target;
        runEngine();
        for (int row = 0; row < rows.rowCount(); ++row) {
            const fs::path source = path("in/" + rows.fileName(row));
            SCOPED_TRACE(source.filename().string());
            EXPECT_EQ(rows.status(row), convert::kStatusSucceeded);
            const fs::path made = path("out/" + source.stem().string() + (target == 1 ? ".zip" : ".lzh"));
            const auto links = linksExtractedBy("bsdtar -xf", source);
            ASSERT_FALSE(links.empty());
            EXPECT_EQ(linksExtractedBy("bsdtar -xf", made), links);
            if (target == 0) {
                // lhasa makes every link of the LHA archive, by name.
                std::map<std::string, std::string> names;
                for (const auto &[name, linkTarget] : linksExtractedBy("lhasa xq", made))
                    names[name] = "";
                std::map<std::string, std::string> expected;
                for (const auto &[name, linkTarget] : links)
                    expected[name] = "";
                EXPECT_EQ(names, expected);
            }
        }
    }
}

// A cabinet holds no links: one leading outside is left out (never the
// file it points to), and the row says so.
TEST_F(RealLibraryRun, CabinetLeavesOutLinksLeadingOutsideAndSaysSo)
{
    for (const char *rel : kLinksLeadingOutside) {
        const fs::path copy = path("in/" + fs::path(rel).filename().string());
        fs::create_directories(copy.parent_path());
        fs::copy_file(fs::path(QVO_CORPUS_DIR) / rel, copy);
        rows.add(copy);
    }
    settings.convType = 2;
    std::vector<convert::RowReport> reports;
    convert::ConversionEngine engine(settings, controller, &rows);
    engine.setRowFinishedHook([&](const convert::RowReport &r) { reports.push_back(r); });
    engine.run();
    ASSERT_EQ(reports.size(), std::size(kLinksLeadingOutside));
    const std::string note = "leading outside the archive left out: a CAB archive holds no links";
    for (const convert::RowReport &report : reports) {
        SCOPED_TRACE(report.source);
        if (report.source.find("symlink3.lzh") != std::string::npos) {
            // A link and nothing else: nothing for a cabinet to hold.
            EXPECT_EQ(report.outcome, convert::RowOutcome::Failed);
            EXPECT_NE(report.detail.find("0x800C"), std::string::npos) << report.detail;
            EXPECT_NE(report.detail.find(note), std::string::npos) << report.detail;
            continue;
        }
        EXPECT_EQ(report.outcome, convert::RowOutcome::Converted) << report.detail;
        EXPECT_NE(report.note.find(note), std::string::npos) << report.note;
        std::string listing;
        EXPECT_EQ(runCommand("cabextract -l " + sh(report.target), &listing), 0) << listing;
        for (const char *leadsOut : {"random_link", "insecure.link", "bad_link"})
            EXPECT_EQ(listing.find(leadsOut), std::string::npos) << listing;
    }
}

// Whatever an archive's links point to stays where it is: no file outside
// the working folder is packed, read back or touched, in any format, and
// with delete-source on the source goes once the new archive holds its
// links (or, in a cabinet, lacks only them).
TEST_F(RealLibraryRun, FilesOutsideTheWorkingFolderAreNeverPacked)
{
    const std::string secret = "CANARY-SECRET-CONTENT-0123456789";
    writeFile(path("canary.txt"), secret);
    // The working folder is <dir>/tmp/Qvo/<name>_N/: three levels up is <dir>.
    const std::string bytes =
        buildZip({zipFile("a.txt", "alpha"), zipLink("abs", path("canary.txt").string()),
                  zipLink("rel", "../../../canary.txt"), zipLink("d/rel", "../../../../canary.txt")});
    settings.zipCompressLevel = 0;
    settings.lhaCompressLevel = 0;
    settings.cabCompressLevel = 20; // stored: packed bytes would show as they are
    settings.deleteBeforeFile = true;
    settings.sameTypeConvert = true;
    for (const int target : {1, 0, 2}) {
        SCOPED_TRACE(target);
        writeFile(path("in/links.zip"), bytes);
        VectorRows one;
        one.add(path("in/links.zip"));
        settings.convType = target;
        convert::ConversionEngine engine(settings, controller, &one);
        engine.run();
        EXPECT_EQ(one.status(0), convert::kStatusSucceeded);
        EXPECT_FALSE(fs::exists(path("in/links.zip")));
        const fs::path made = path(std::string("out/links.") + (target == 0 ? "lzh" : target == 1 ? "zip" : "cab"));
        const std::string packed = readFile(made);
        EXPECT_NE(packed.find("alpha"), std::string::npos);
        EXPECT_EQ(packed.find(secret), std::string::npos);
        if (target != 2) {
            EXPECT_EQ(linksExtractedBy("bsdtar -xf", made),
                      (std::map<std::string, std::string>{{"abs", path("canary.txt").string()},
                                                          {"d/rel", "../../../../canary.txt"},
                                                          {"rel", "../../../canary.txt"}}));
        }
    }
    EXPECT_EQ(readFile(path("canary.txt")), secret);
    std::set<std::string> top;
    for (const auto &entry : fs::directory_iterator(dir_.path()))
        top.insert(entry.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{"canary.txt", "in", "out", "tmp"}));
}

namespace {

// "が", "デ" and "パ" as a Mac writes them: letter, then the combining mark.
const std::string kGaNfd = "\xE3\x81\x8B\xE3\x82\x99";
const std::string kDeNfd = "\xE3\x83\x86\xE3\x82\x99";
const std::string kPaNfd = "\xE3\x83\x8F\xE3\x82\x9A";

// A ZIP as macOS makes it: decomposed UTF-8 names, made-by Unix, no flag.
fs::path macZip(const fs::path &at, std::vector<std::pair<std::string, std::string>> files)
{
    std::vector<ZipMember> members;
    for (auto &[name, data] : files) {
        members.push_back(zipFile(name, data));
        members.back().unixMode = 0100644;
    }
    writeFile(at, buildZip(members));
    return at;
}

std::map<std::string, std::string> extractedFiles(const std::string &command, const fs::path &archive)
{
    TempDir out;
    std::string log;
    EXPECT_EQ(runCommand("cd " + sh(out.path()) + " && " + command + " " + sh(archive), &log), 0) << log;
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(out.path()); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file())
            files[it->path().lexically_relative(out.path()).generic_string()] = readFile(it->path());
    return files;
}

} // namespace

// A Mac ZIP with decomposed Japanese names becomes an LZH with the composed
// names in CP932 (what the LHA tools of Japanese Windows read) and a ZIP
// with them composed in UTF-8; the source goes only after the new archive,
// read back, held every member under its composed name.
TEST_F(RealLibraryRun, MacNamesAreComposedInLzhAndZip)
{
    const fs::path src = macZip(path("in/mac.zip"), {{kDeNfd + "ータ/" + kGaNfd + "ぞう.txt", "image\n"},
                                                     {kPaNfd + "ン.txt", "pan\n"}});
    fs::copy_file(src, path("in/mac-copy.zip"));
    rows.add(src);
    settings.convType = 0;
    settings.deleteBeforeFile = true;
    runEngine();
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    EXPECT_FALSE(fs::exists(src));
    const std::map<std::string, std::string> lhasaWants = {
        {"\x83\x66\x81\x5B\x83\x5E/\x82\xAA\x82\xBC\x82\xA4.txt", "image\n"}, // データ/がぞう.txt
        {"\x83\x70\x83\x93.txt", "pan\n"}};                                  // パン.txt
    EXPECT_EQ(extractedFiles("lhasa xq", path("out/mac.lzh")), lhasaWants);

    VectorRows zipRows;
    zipRows.add(path("in/mac-copy.zip"));
    settings.convType = 1;
    settings.saveFolder = path("zip").string();
    settings.deleteBeforeFile = false;
    settings.sameTypeConvert = true;
    convert::ConversionEngine engine(settings, controller, &zipRows);
    engine.run();
    EXPECT_EQ(zipRows.status(0), convert::kStatusSucceeded);
    const std::map<std::string, std::string> composed = {{"データ/がぞう.txt", "image\n"}, {"パン.txt", "pan\n"}};
    EXPECT_EQ(extractedFiles("unzip -q", path("zip/mac-copy.zip")), composed);
}

// Both forms of one name in one archive: composing would make them one, so
// every name is kept as it is, and the row's note says so.
TEST_F(RealLibraryRun, BothFormsOfANameAreKeptAndTheNoteSaysSo)
{
    const fs::path src = macZip(path("in/both.zip"), {{kGaNfd + ".txt", "nfd\n"}, {"が.txt", "nfc\n"}});
    rows.add(src);
    settings.convType = 0;
    settings.deleteBeforeFile = true;
    convert::ConversionEngine engine(settings, controller, &rows);
    std::vector<convert::RowReport> reports;
    engine.setRowFinishedHook([&](const convert::RowReport &r) { reports.push_back(r); });
    engine.run();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].outcome, convert::RowOutcome::Converted) << reports[0].detail;
    EXPECT_NE(reports[0].note.find("differ only in composition"), std::string::npos) << reports[0].note;
    const std::map<std::string, std::string> both = {{kGaNfd + ".txt", "nfd\n"}, {"が.txt", "nfc\n"}};
    EXPECT_EQ(extractedFiles("lhasa xq", path("out/both.lzh")), both);
}
