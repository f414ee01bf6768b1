// Probing at construction: a missing library file makes a format invalid,
// a present but unusable one does not; calls into an unreachable library
// throw instead of inventing a result code.
#include "backends/archive_cab.h"
#include "backends/archive_errors.h"
#include "backends/archive_lha.h"
#include "backends/archive_rar.h"
#include "backends/archive_zip.h"
#include "fake_archivers.h"

#include <gtest/gtest.h>

using namespace qvo::backends;
using qvo::test::FakeArchivers;

namespace {

clsArchiveActionOption someExtraction()
{
    clsArchiveActionOption o;
    o.beforeFileName("/in/a");
    o.targetPathName("/tmp/Qvo/1/");
    return o;
}

ArchiverUnavailable::Reason reasonOf(clsArchiveBackEnd &backEnd)
{
    auto option = someExtraction();
    try {
        backEnd.extract(option);
    } catch (const ArchiverUnavailable &e) {
        return e.reason();
    }
    ADD_FAILURE() << "no ArchiverUnavailable";
    return ArchiverUnavailable::Reason::NotFound;
}

} // namespace

TEST(FormatRecords, FilledAlsoWhenTheLibraryIsMissing)
{
    FakeArchivers noLibraries;
    clsArchiveLHA lha;
    clsArchiveZIP zip;
    clsArchiveCAB cab;
    clsArchiveRAR rar;
    struct Expected {
        clsArchiveBackEnd *backEnd;
        const char *name, *ext;
        int32_t mode;
    } rows[] = {{&lha, "LHA", "lzh", 3}, {&zip, "ZIP", "zip", 3}, {&cab, "CAB", "cab", 3},
                {&rar, "RAR", "rar", 2}};
    for (const auto &row : rows) {
        auto record = row.backEnd->GetProperties();
        EXPECT_EQ(record->getName(), row.name);
        EXPECT_EQ(record->getKeyID(), row.name);
        EXPECT_EQ(record->getExtension(), row.ext);
        EXPECT_EQ(record->getSupportMode(), row.mode);
        EXPECT_FALSE(record->getValid());
        EXPECT_FALSE(row.backEnd->isValid());
        EXPECT_EQ(row.backEnd->getLibVersion(), -3);
        EXPECT_EQ(row.backEnd->getLibVersionString(), "");
        // The record is shared, not copied.
        EXPECT_EQ(record.get(), row.backEnd->GetProperties().get());
    }
    EXPECT_EQ(rar.GetProperties()->getSupportMode() & SUPPORT_COMPRESS, 0);
    EXPECT_NE(rar.GetProperties()->getSupportMode() & SUPPORT_EXTRACT, 0);
}

TEST(FormatRecords, NameSetsTheKeyButNotTheOtherWayRound)
{
    clsArchiveProperties p;
    EXPECT_FALSE(p.getValid());
    EXPECT_EQ(p.getSupportMode(), 0);
    p.setName("LHA");
    EXPECT_EQ(p.getKeyID(), "LHA");
    p.setKeyID("OTHER");
    EXPECT_EQ(p.getName(), "LHA");
    EXPECT_EQ(p.getKeyID(), "OTHER");
}

TEST(FormatRecords, NewActionOptionIsEmpty)
{
    clsArchiveActionOption o;
    EXPECT_FALSE(o.isSavePath() || o.isShowDialog() || o.isRestorePath() || o.isOverWrite() ||
                 o.isUpperExtension());
    EXPECT_EQ(o.beforeFileName() + o.afterFileName() + o.targetPathName() + o.convTypeKey(), "");
    EXPECT_EQ(o.compressLevel(), 0);
}

TEST(LibraryBinding, PresentLibrariesReportTheirVersions)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveLHA lha;
    clsArchiveCAB cab;
    clsArchiveRAR rar;
    clsArchiveZIP zip;
    EXPECT_TRUE(lha.isValid() && cab.isValid() && rar.isValid() && zip.isValid());
    EXPECT_EQ(lha.getLibVersion(), 101);
    EXPECT_EQ(lha.getLibVersionString(), "Unlha32.dll : 101");
    EXPECT_EQ(cab.getLibVersionString(), "cab32.dll : 105");
    EXPECT_EQ(rar.getLibVersionString(), "Unrar32.dll : 106");
    EXPECT_EQ(zip.getLibVersion(), 0);
    EXPECT_EQ(zip.getLibVersionString(), "Unzip32.dll : 102\r\nZip32.dll : 103\r\n7Zip.dll : 104");
}

TEST(LibraryBinding, FoundButUnusableStaysValid)
{
    FakeArchivers fakes;
    fakes.addBroken("unlha32.so").add("cab32.so", "no-version").add("unrar32.so", "no-command");
    clsArchiveLHA lha;
    clsArchiveCAB cab;
    clsArchiveRAR rar;
    EXPECT_TRUE(lha.isValid());
    EXPECT_EQ(lha.getLibVersion(), 0);
    EXPECT_EQ(lha.getLibVersionString(), "Unlha32.dll : 0");
    EXPECT_EQ(reasonOf(lha), ArchiverUnavailable::Reason::Unusable);

    // No version query, but the command function works.
    EXPECT_TRUE(cab.isValid());
    EXPECT_EQ(cab.getLibVersion(), 0);
    auto option = someExtraction();
    EXPECT_EQ(cab.extract(option), 0);
    EXPECT_EQ(fakes.calls().size(), 1u);

    // A version but no command function: valid, and the call throws.
    EXPECT_TRUE(rar.isValid());
    EXPECT_EQ(rar.getLibVersion(), 106);
    EXPECT_EQ(reasonOf(rar), ArchiverUnavailable::Reason::Unusable);
}

TEST(LibraryBinding, VersionZeroStillCountsAsPresent)
{
    FakeArchivers fakes;
    fakes.addAll();
    qvo::test::ScopedEnv zero("QVO_FAKE_VERSION", "0");
    clsArchiveLHA lha;
    clsArchiveCAB cab;
    clsArchiveRAR rar;
    EXPECT_TRUE(lha.isValid() && cab.isValid() && rar.isValid());
}

TEST(LibraryBinding, CallsIntoAMissingLibraryThrow)
{
    FakeArchivers noLibraries;
    clsArchiveLHA lha;
    clsArchiveCAB cab;
    clsArchiveRAR rar;
    clsArchiveZIP zip;
    for (clsArchiveBackEnd *backEnd : std::initializer_list<clsArchiveBackEnd *>{&lha, &cab, &rar, &zip})
        EXPECT_EQ(reasonOf(*backEnd), ArchiverUnavailable::Reason::NotFound);
    auto option = someExtraction();
    try {
        lha.extract(option);
    } catch (const ArchiverUnavailable &e) {
        EXPECT_EQ(e.libraryFile(), "unlha32.so");
        EXPECT_NE(std::string(e.what()).find("unlha32.so"), std::string::npos);
    }
}

TEST(LibraryBinding, BoundLibraryStaysBound)
{
    clsArchiveActionOption option = someExtraction();
    std::unique_ptr<clsArchiveLHA> lha;
    {
        FakeArchivers fakes;
        fakes.add("unlha32.so");
        lha = std::make_unique<clsArchiveLHA>();
        ASSERT_TRUE(lha->isValid());
    }
    // The folder is gone and QVO_LIBRARY_DIR no longer names it.
    FakeArchivers elsewhere;
    EXPECT_EQ(lha->extract(option), 0);
    EXPECT_EQ(lha->getLibVersion(), 101);
}

TEST(LibraryBinding, LibraryFolderDefaultsBesideTheProgram)
{
    const char *saved = std::getenv("QVO_LIBRARY_DIR");
    const std::string restore = saved ? saved : "";
    ::unsetenv("QVO_LIBRARY_DIR");
    const auto folder = archiverLibraryFolder();
    if (saved)
        ::setenv("QVO_LIBRARY_DIR", restore.c_str(), 1);
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(folder, exe.parent_path() / ".." / "lib" / "qvo");

    qvo::test::ScopedEnv empty("QVO_LIBRARY_DIR", "");
    EXPECT_EQ(archiverLibraryFolder(), exe.parent_path() / ".." / "lib" / "qvo");
    qvo::test::ScopedEnv set("QVO_LIBRARY_DIR", "/opt/x");
    EXPECT_EQ(archiverLibraryFolder(), std::filesystem::path("/opt/x"));
}

TEST(ZipLibraries, AnyOneOfThreeMakesTheFormatValid)
{
    {
        FakeArchivers fakes;
        fakes.add("Zip32J.so");
        clsArchiveZIP zip;
        EXPECT_TRUE(zip.isValid());
        EXPECT_FALSE(zip.useSevenZip());
        EXPECT_EQ(zip.getLibVersionString(), "Unzip32.dll : 0\r\nZip32.dll : 103\r\n7Zip.dll : 0");
        // Creation works; extraction has no library to go to.
        EXPECT_EQ(reasonOf(zip), ArchiverUnavailable::Reason::NotFound);
    }
    {
        FakeArchivers fakes;
        fakes.add("7-zip32.so");
        clsArchiveZIP zip;
        EXPECT_TRUE(zip.isValid());
        EXPECT_TRUE(zip.useSevenZip());
        auto option = someExtraction();
        EXPECT_EQ(zip.extract(option), 0);
        EXPECT_EQ(fakes.calls().at(0).library, "7-zip32");
    }
    {
        FakeArchivers fakes;
        fakes.add("unzip32.so").addBroken("7-zip32.so");
        clsArchiveZIP zip;
        EXPECT_TRUE(zip.isValid());
        EXPECT_FALSE(zip.useSevenZip()); // 7-zip32 did not answer
        auto option = someExtraction();
        EXPECT_EQ(zip.extract(option), 0);
        EXPECT_EQ(fakes.calls().at(0).library, "unzip32");
    }
    {
        // Present but unusable everywhere: nothing answered, so invalid.
        FakeArchivers fakes;
        fakes.addBroken("unzip32.so").add("Zip32J.so", "no-version").addBroken("7-zip32.so");
        clsArchiveZIP zip;
        EXPECT_FALSE(zip.isValid());
        EXPECT_EQ(zip.getLibVersionString(), "");
    }
}

TEST(ZipLibraries, SevenZipChoiceIsKeptOnceMade)
{
    FakeArchivers fakes;
    fakes.add("7-zip32.so").add("unzip32.so");
    clsArchiveZIP zip;
    ASSERT_TRUE(zip.useSevenZip());
    qvo::test::ScopedEnv zero("QVO_FAKE_VERSION", "0");
    EXPECT_EQ(zip.getLibVersion(), -3); // every library now answers 0
    EXPECT_TRUE(zip.useSevenZip());
}
