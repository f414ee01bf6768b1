// The controller routes by extension and key over real back-ends whose
// libraries are fakes, present or missing.
#include "backends/format_backends.h"
#include "backends/target_formats.h"
#include "base/ascii.h"
#include "fake_archivers.h"

#include <gtest/gtest.h>

using namespace qvo::backends;
using qvo::test::FakeArchivers;

namespace {

// .lha, .lzs and .pma are LHA's too, .zipx is ZIP's.
const std::string kAllFormats = "対応するすべての形式書庫ファイル(*.lzh;*.lha;*.lzs;*.pma;*.zip;*.zipx;*.cab;*.rar)|"
                                "*.lzh;*.lha;*.lzs;*.pma;*.zip;*.zipx;*.cab;*.rar|"
                                "LHA形式書庫ファイル (*.lzh;*.lha;*.lzs;*.pma)|*.lzh;*.lha;*.lzs;*.pma|"
                                "ZIP形式書庫ファイル (*.zip;*.zipx)|*.zip;*.zipx|"
                                "CAB形式書庫ファイル (*.cab)|*.cab|"
                                "RAR形式書庫ファイル (*.rar)|*.rar|"
                                "すべてのファイル(*.*)|*.*";

// The start-up registration.
void registerAll(clsArchiveCtrl &ctrl)
{
    registerFormatBackEnds(ctrl);
}

} // namespace

TEST(ArchiveCtrl, DialogFiltersWithEveryLibrary)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveCtrl ctrl;
    registerAll(ctrl);

    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_EXTRACT, ""), kAllFormats);
    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_COMPRESS, ""),
              "対応するすべての形式書庫ファイル(*.lzh;*.lha;*.lzs;*.pma;*.zip;*.zipx;*.cab)|"
              "*.lzh;*.lha;*.lzs;*.pma;*.zip;*.zipx;*.cab|"
              "LHA形式書庫ファイル (*.lzh;*.lha;*.lzs;*.pma)|*.lzh;*.lha;*.lzs;*.pma|"
              "ZIP形式書庫ファイル (*.zip;*.zipx)|*.zip;*.zipx|"
              "CAB形式書庫ファイル (*.cab)|*.cab|"
              "すべてのファイル(*.*)|*.*");
    // A key bypasses mode and validity, and is found in any letter case.
    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_COMPRESS, "RAR"), "RAR形式書庫ファイル (*.rar)|*.rar");
    EXPECT_EQ(ctrl.getDialogFilter(0, "lha"), "LHA形式書庫ファイル (*.lzh;*.lha;*.lzs;*.pma)|*.lzh;*.lha;*.lzs;*.pma");
    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_EXTRACT, "TAR"), "");
}

TEST(ArchiveCtrl, MissingLibraryLeavesItsFormatOut)
{
    FakeArchivers fakes;
    fakes.add("unlha32.so").add("unzip32.so").add("unrar32.so");
    clsArchiveCtrl ctrl;
    registerAll(ctrl);

    EXPECT_FALSE(ctrl.isValid("CAB"));
    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_EXTRACT, ""),
              "対応するすべての形式書庫ファイル(*.lzh;*.lha;*.lzs;*.pma;*.zip;*.zipx;*.rar)|"
              "*.lzh;*.lha;*.lzs;*.pma;*.zip;*.zipx;*.rar|"
              "LHA形式書庫ファイル (*.lzh;*.lha;*.lzs;*.pma)|*.lzh;*.lha;*.lzs;*.pma|"
              "ZIP形式書庫ファイル (*.zip;*.zipx)|*.zip;*.zipx|"
              "RAR形式書庫ファイル (*.rar)|*.rar|"
              "すべてのファイル(*.*)|*.*");
    EXPECT_EQ(ctrl.checkArchive("/data/x.cab", SUPPORT_EXTRACT), "");
    EXPECT_EQ(ctrl.checkArchive("/data/x.zip", SUPPORT_EXTRACT), "ZIP");
    // Even an invalid back-end is reached by its key.
    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_EXTRACT, "CAB"), "CAB形式書庫ファイル (*.cab)|*.cab");
}

TEST(ArchiveCtrl, NoValidBackEndAtAll)
{
    FakeArchivers noLibraries;
    clsArchiveCtrl ctrl;
    registerAll(ctrl);
    for (const char *key : {"LHA", "ZIP", "CAB", "RAR"})
        EXPECT_FALSE(ctrl.isValid(key)) << key;
    const std::string empty = "対応するすべての形式書庫ファイル()||すべてのファイル(*.*)|*.*";
    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_EXTRACT, ""), empty);
    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_COMPRESS, ""), empty);

    // An empty registry gives the same text.
    clsArchiveCtrl bare;
    EXPECT_EQ(bare.getDialogFilter(SUPPORT_EXTRACT, ""), empty);
}

TEST(ArchiveCtrl, CheckArchiveByLowerCaseExtensionAndMode)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveCtrl ctrl;
    registerAll(ctrl);

    EXPECT_EQ(ctrl.checkArchive("/old/OLD.LZH", SUPPORT_EXTRACT), "LHA");
    EXPECT_EQ(ctrl.checkArchive("/old/a.tar.lzh", SUPPORT_EXTRACT), "LHA");
    EXPECT_EQ(ctrl.checkArchive("/old/Backup.Zip", SUPPORT_COMPRESS), "ZIP");
    EXPECT_EQ(ctrl.checkArchive("/old/setup.cab", SUPPORT_COMPRESS | SUPPORT_EXTRACT), "CAB");
    EXPECT_EQ(ctrl.checkArchive("/old/backup.rar", SUPPORT_EXTRACT), "RAR");
    EXPECT_EQ(ctrl.checkArchive("/old/backup.rar", SUPPORT_COMPRESS), "");
    EXPECT_EQ(ctrl.checkArchive("/old/lzh", SUPPORT_EXTRACT), "");
    EXPECT_EQ(ctrl.checkArchive("/old/a.lzh.bak", SUPPORT_EXTRACT), "");
    EXPECT_EQ(ctrl.checkArchive("/old/a.", SUPPORT_EXTRACT), "");
    EXPECT_EQ(ctrl.checkArchive("/old/a.lzh", 0), "");
    // The further extensions, for files that cannot be read: the name alone.
    EXPECT_EQ(ctrl.checkArchive("/amiga/Game.LHA", SUPPORT_EXTRACT), "LHA");
    EXPECT_EQ(ctrl.checkArchive("/dos/larc.lzs", SUPPORT_EXTRACT), "LHA");
    EXPECT_EQ(ctrl.checkArchive("/dos/pmarc.pma", SUPPORT_EXTRACT), "LHA");
    EXPECT_EQ(ctrl.checkArchive("/new/big.zipx", SUPPORT_COMPRESS), "ZIP");
    EXPECT_EQ(ctrl.checkArchive("/old/setup.exe", SUPPORT_EXTRACT), "");
}

TEST(ArchiveCtrl, ExtensionFromFileName)
{
    EXPECT_EQ(clsArchiveCtrl::getExtensionFromFileName("/a/b/OLD.LZH"), "lzh");
    EXPECT_EQ(clsArchiveCtrl::getExtensionFromFileName("a.tar.Gz"), "gz");
    EXPECT_EQ(clsArchiveCtrl::getExtensionFromFileName("README"), "readme");
    EXPECT_EQ(clsArchiveCtrl::getExtensionFromFileName("name."), "");
    EXPECT_EQ(clsArchiveCtrl::getExtensionFromFileName(""), "");
    // Only ASCII letters change case; other UTF-8 text passes untouched.
    EXPECT_EQ(clsArchiveCtrl::getExtensionFromFileName("書庫.ＬＺＨ"), "ＬＺＨ");
}

TEST(ArchiveCtrl, KeysAreFoundWithoutRegardToCase)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveCtrl ctrl;
    registerAll(ctrl);
    EXPECT_TRUE(ctrl.isValid("zip"));
    EXPECT_TRUE(ctrl.isValid("Lha"));
    EXPECT_FALSE(ctrl.isValid("TAR"));
    EXPECT_THROW(ctrl.addArchive(std::make_shared<clsArchiveZIP>()), std::invalid_argument);
    EXPECT_THROW(ctrl.addArchive(nullptr), std::invalid_argument);
}

TEST(ArchiveCtrl, CompressRoutesByTargetKey)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveCtrl ctrl;
    registerAll(ctrl);
    const std::string folder = fakes.scratch().string() + "/work/";
    std::filesystem::create_directories(folder);

    clsArchiveActionOption option;
    option.isSavePath(true);
    option.afterFileName("/out/a.lzh");
    option.targetPathName(folder);

    EXPECT_EQ(ctrl.compress(option), -1); // no key
    option.convTypeKey("RAR");
    EXPECT_EQ(ctrl.compress(option), -1);
    option.convTypeKey("TAR");
    EXPECT_EQ(ctrl.compress(option), -1);
    EXPECT_TRUE(fakes.calls().empty());

    // Each target goes to the library its row says writes it, by its key
    // in any letter case.
    for (const TargetFormat &format : targetFormats()) {
        fakes.clearCalls();
        option.convTypeKey(qvo::base::asciiLower(std::string(format.key)));
        EXPECT_EQ(ctrl.compress(option), 0);
        const auto calls = fakes.calls();
        ASSERT_EQ(calls.size(), 1u) << format.key;
        EXPECT_EQ(calls[0].library + ".so", archiverName(format.writer).file) << format.key;
    }
}

TEST(ArchiveCtrl, TheTargetsAreTheTableRowsInTheirOrderWithTheirExtensions)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveCtrl ctrl;
    registerAll(ctrl);
    const DialogFilter targets = ctrl.dialogFilter(SUPPORT_COMPRESS);
    ASSERT_EQ(targets.formats.size(), targetFormats().size());
    for (const TargetFormat &format : targetFormats()) {
        const DialogFilter::Format &offered = targets.formats[size_t(format.index)];
        EXPECT_EQ(offered.name, format.key);
        ASSERT_EQ(offered.patterns.size(), format.extensions.size()) << format.key;
        for (size_t k = 0; k < format.extensions.size(); ++k)
            EXPECT_EQ(offered.patterns[k], "*." + std::string(format.extensions[k]));
    }
}

TEST(ArchiveCtrl, ExtractRoutesByExtension)
{
    FakeArchivers fakes;
    fakes.add("unlha32.so").add("unzip32.so").add("cab32.so").add("unrar32.so");
    clsArchiveCtrl ctrl;
    registerAll(ctrl);

    clsArchiveActionOption option;
    option.targetPathName("/tmp/Qvo/1/");
    option.convTypeKey("CAB"); // the target key plays no part in extraction
    const std::pair<const char *, const char *> routes[] = {{"/in/a.LZH", "unlha32"},
                                                            {"/in/a.zip", "unzip32"},
                                                            {"/in/a.cab", "cab32"},
                                                            {"/in/a.rar", "unrar32"}};
    for (const auto &[file, library] : routes) {
        fakes.clearCalls();
        option.beforeFileName(file);
        EXPECT_EQ(ctrl.extract(option), 0);
        const auto calls = fakes.calls();
        ASSERT_EQ(calls.size(), 1u) << file;
        EXPECT_EQ(calls[0].library, library);
    }
}

TEST(ArchiveCtrl, ExtractOfAnUnknownExtensionCallsNothing)
{
    FakeArchivers fakes;
    fakes.add("unlha32.so");
    qvo::test::ScopedEnv failing("QVO_FAKE_RESULT", "9");
    clsArchiveCtrl ctrl;
    registerAll(ctrl);
    clsArchiveActionOption option;
    option.targetPathName("/tmp/Qvo/1/");
    for (const char *file : {"/in/a.tar", "/in/a.cab", "/in/noext"}) {
        option.beforeFileName(file);
        EXPECT_EQ(ctrl.extract(option), 0) << file;
    }
    EXPECT_TRUE(fakes.calls().empty());
    option.beforeFileName("/in/a.lzh");
    EXPECT_EQ(ctrl.extract(option), 9);
}

TEST(ArchiveCtrl, RegistryKeepsRegistrationOrder)
{
    FakeArchivers fakes;
    fakes.addAll();
    clsArchiveCtrl ctrl;
    ctrl.addArchive(std::make_shared<clsArchiveRAR>());
    ctrl.addArchive(std::make_shared<clsArchiveLHA>());
    EXPECT_EQ(ctrl.getDialogFilter(SUPPORT_EXTRACT, ""),
              "対応するすべての形式書庫ファイル(*.rar;*.lzh;*.lha;*.lzs;*.pma)|*.rar;*.lzh;*.lha;*.lzs;*.pma|"
              "RAR形式書庫ファイル (*.rar)|*.rar|"
              "LHA形式書庫ファイル (*.lzh;*.lha;*.lzs;*.pma)|*.lzh;*.lha;*.lzs;*.pma|"
              "すべてのファイル(*.*)|*.*");
}
