#include "core/mdlMain.h"

#include "test_support.h"

#include <cstdlib>
#include <vector>

using namespace qvo::core;
using qvo::test::readFile;
using qvo::test::TempDir;
using qvo::test::writeFile;

namespace {

// Records what the core asks of the windows.
class RecordingWindows : public MainWindowHooks {
public:
    explicit RecordingWindows(std::vector<std::string> &log) : log_(log) {}
    void load(MainWindow w) override { log_.push_back("load " + name(w)); }
    void show(MainWindow w) override { log_.push_back("show " + name(w)); }
    void hide(MainWindow w) override { log_.push_back("hide " + name(w)); }

private:
    static std::string name(MainWindow w) { return w == MainWindow::multipleFile ? "multi" : "single"; }
    std::vector<std::string> &log_;
};

class Application : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("QVO_INI_FILE", ini.c_str(), 1);
        setMainWindowHooks(std::make_unique<RecordingWindows>(log));
    }
    void TearDown() override
    {
        releaseGlobalObjects();
        setMainWindowHooks(nullptr);
        ::unsetenv("QVO_INI_FILE");
    }

    TempDir dir;
    std::string ini = (dir / "qvo3.ini").string();
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(Application, FirstStartLoadsBothWindowsAndShowsTheMultipleFileWindow)
{
    Main();
    ASSERT_TRUE(appSettings);
    EXPECT_EQ(appSettings->iniFilePath(), ini);
    EXPECT_EQ(appSettings->mode, 1);
    EXPECT_EQ(log, (Log{"load multi", "load single", "show multi"}));
}

TEST_F(Application, StoredModeChoosesTheWindow)
{
    writeFile(ini, "[system]\nmode=0\n");
    Main();
    EXPECT_EQ(log, (Log{"load multi", "load single", "show single"}));
    releaseGlobalObjects();
    log.clear();

    writeFile(ini, "[system]\nmode=2\n");
    Main();
    EXPECT_EQ(log.back(), "show multi");
}

TEST_F(Application, ChangeModeSwapsWindowsAndStoresEveryValue)
{
    Main();
    log.clear();
    changeMode(0);
    EXPECT_EQ(log, (Log{"hide multi", "show single"}));
    EXPECT_EQ(appSettings->mode, 0);
    changeMode(1);
    EXPECT_EQ(log, (Log{"hide multi", "show single", "hide single", "show multi"}));
    log.clear();
    changeMode(2);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(appSettings->mode, 2);
}

TEST_F(Application, ReleaseDropsTheGlobals)
{
    createGlobalObjects();
    EXPECT_TRUE(appSettings);
    releaseGlobalObjects();
    EXPECT_FALSE(appSettings);
}

TEST_F(Application, TerminateSavesTheSettingsAndEndsTheProcess)
{
    Main();
    changeMode(0);
    appSettings->saveFolder = "/data/変換/";
    EXPECT_EXIT(terminateApplication(), ::testing::ExitedWithCode(0), "");
    std::string saved = readFile(ini);
    EXPECT_NE(saved.find("\nmode=0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\nsaveFolder=/data/変換/\n"), std::string::npos) << saved;

    // The next start opens the window last used.
    releaseGlobalObjects();
    log.clear();
    Main();
    EXPECT_EQ(log.back(), "show single");
    EXPECT_EQ(appSettings->saveFolder, "/data/変換/");
}

TEST_F(Application, RunsWithoutWindows)
{
    setMainWindowHooks(nullptr);
    Main();
    changeMode(0);
    EXPECT_EQ(appSettings->mode, 0);
}

} // namespace

TEST_F(Application, BackEndsAreRegisteredInOrderAndMarkedByTheirLibraries)
{
    // An empty library folder: every format is registered but none is valid.
    TempDir libs;
    ::setenv("QVO_LIBRARY_DIR", libs.path().c_str(), 1);
    createGlobalObjects();
    ::unsetenv("QVO_LIBRARY_DIR");
    ASSERT_TRUE(archiveCtrl && archiveLHA && archiveZIP && archiveCAB && archiveRAR);
    for (const char *key : {"LHA", "ZIP", "CAB", "RAR"})
        EXPECT_FALSE(archiveCtrl->isValid(key)) << key;
    EXPECT_EQ(archiveCtrl->getDialogFilter(1, "RAR"), "RAR形式書庫ファイル (*.rar)|*.rar");
    releaseGlobalObjects();
    EXPECT_FALSE(archiveCtrl || archiveLHA || archiveZIP || archiveCAB || archiveRAR);
}
