// Archives and folders from the command line or a later start: where each
// window puts them, and that nothing enters while a modal window is up.
#include "ui_fixture.h"

#include "core/application.h"
#include "ui/file_list.h"
#include "ui/frmMain.h"
#include "ui/frmSingleFileMode.h"
#include "ui/main_windows_qt.h"
#include "ui/open_paths.h"
#include "ui/path_box.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace qvo::test {
namespace {

class OpenPathsTest : public UiTest {
protected:
    ui::QtMainWindows &start(int mode)
    {
        core::appSettings->mode = mode;
        windows = ui::installMainWindows();
        windows->load(core::MainWindow::multipleFile);
        windows->load(core::MainWindow::singleFile);
        windows->show(mode != 0 ? core::MainWindow::multipleFile : core::MainWindow::singleFile);
        windows->multipleFileWindow()->terminate = [] {};
        return *windows;
    }
    ui::frmMain &main() const { return *windows->multipleFileWindow(); }
    ui::frmSingleFileMode &single() const { return *windows->singleFileWindow(); }
    std::vector<std::string> listed() const
    {
        std::vector<std::string> paths;
        for (int r = 0; r < main().listFile->rowCount(); ++r)
            paths.push_back(main().listFile->folderName(r) + main().listFile->fileName(r));
        return paths;
    }
    ui::QtMainWindows *windows = nullptr;
};

TEST_F(OpenPathsTest, MultipleFileWindowAddsFilesAndScansFoldersRefusingTheRestSilently)
{
    start(1);
    const std::string a = file("a.lzh");
    const std::string b = file("b.zip");
    const std::string inFolder = file("shelf/c.cab");
    file("shelf/deeper/d.rar");
    file("readme.txt");
    ui::openPaths(*windows, {a, b, (dir / "shelf").string(), (dir / "readme.txt").string(),
                             (dir / "missing.lzh").string(), a});
    EXPECT_EQ(listed(), (std::vector<std::string>{a, b, inFolder}));
    EXPECT_TRUE(main().cmdConv->isEnabled());
    EXPECT_EQ(main().lblSumFileSize->text().toStdString(), "合計サイズ:  KB");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(main().isVisible());
}

TEST_F(OpenPathsTest, SingleFileWindowTakesOneFileIntoItsSourceBox)
{
    start(0);
    const std::string a = file("a.lzh");
    ui::openPaths(*windows, {a});
    EXPECT_EQ(single().txtArchiveFileName->text().toStdString(), a);
    EXPECT_EQ(core::appSettings->singleBeforeFileName, a);
    EXPECT_TRUE(single().isVisible());
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(main().listFile->rowCount(), 0);
}

TEST_F(OpenPathsTest, SingleFileWindowSwitchesForSeveralFilesOrAFolder)
{
    start(0);
    const std::string a = file("a.lzh");
    const std::string b = file("b.zip");
    ui::openPaths(*windows, {a, b});
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(single().isVisible());
    EXPECT_EQ(core::appSettings->mode, 1);
    EXPECT_EQ(listed(), (std::vector<std::string>{a, b}));
    EXPECT_TRUE(single().txtArchiveFileName->text().isEmpty());

    main().cmdChangeMultipleFileMode->click();
    const std::string c = file("shelf/c.cab");
    ui::openPaths(*windows, {(dir / "shelf").string()});
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(listed(), (std::vector<std::string>{a, b, c}));
}

TEST_F(OpenPathsTest, NothingEntersWhileAModalWindowIsUp)
{
    start(1);
    ui::OpenRequests requests(*windows);
    QDialog progress(&main());
    progress.setModal(true);
    progress.show();
    const std::string a = file("a.lzh");
    requests.open({a});
    EXPECT_EQ(main().listFile->rowCount(), 0);
    progress.hide();
    requests.openWaiting();
    EXPECT_EQ(listed(), std::vector<std::string>{a});
}

} // namespace
} // namespace qvo::test
