// Both windows loaded through the core, the mode switch, and a restart that
// finds both windows as they were left.
#include "ui_fixture.h"

#include "core/application.h"
#include "ui/file_list.h"
#include "ui/frmMain.h"
#include "ui/frmSingleFileMode.h"
#include "ui/main_windows_qt.h"
#include "ui/path_box.h"

#include <QCheckBox>
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace qvo::test {
namespace {

class StartEndTest : public UiTest {
protected:
    // What Main does after the globals exist.
    ui::QtMainWindows *start()
    {
        ui::QtMainWindows *windows = ui::installMainWindows();
        windows->load(core::MainWindow::multipleFile);
        windows->load(core::MainWindow::singleFile);
        windows->show(core::appSettings->mode != 0 ? core::MainWindow::multipleFile : core::MainWindow::singleFile);
        // Ending writes the settings; the process stays for the test.
        windows->multipleFileWindow()->terminate = [] { core::appSettings->WriteINIFile(); };
        return windows;
    }
    void restart()
    {
        core::setMainWindowHooks(nullptr);
        makeGlobals();
        core::appSettings->readINIFile();
    }
};

TEST_F(StartEndTest, ModeNamesTheWindowShownAndSwitchKeepsTheList)
{
    ui::QtMainWindows *windows = start();
    ui::frmMain *main = windows->multipleFileWindow();
    ui::frmSingleFileMode *single = windows->singleFileWindow();
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(single->isVisible());
    main->addFileToList(file("kept.lzh"));

    main->cmdChangeMultipleFileMode->click();
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(single->isVisible());
    EXPECT_EQ(core::appSettings->mode, 0);
    single->cmdChangeMultipleFileMode->click();
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(single->isVisible());
    EXPECT_EQ(core::appSettings->mode, 1);
    ASSERT_EQ(main->listFile->rowCount(), 1);
    EXPECT_EQ(main->listFile->fileName(0), "kept.lzh");
}

TEST_F(StartEndTest, ModeZeroOpensTheSingleFileWindow)
{
    core::appSettings->mode = 0;
    ui::QtMainWindows *windows = start();
    EXPECT_FALSE(windows->multipleFileWindow()->isVisible());
    EXPECT_TRUE(windows->singleFileWindow()->isVisible());
}

TEST_F(StartEndTest, RestartRestoresBothWindows)
{
    {
        ui::QtMainWindows *windows = start();
        ui::frmMain *main = windows->multipleFileWindow();
        ui::frmSingleFileMode *single = windows->singleFileWindow();
        main->move(120, 80);
        single->move(200, 150);
        main->txtSaveFolder->setText(QStringLiteral("/srv/out"));
        main->chkOverWrite->setChecked(true);
        main->optConvType[2]->setChecked(true);
        single->txtArchiveFileName->setText(QStringLiteral("/data/typed.lzh")); // never clicked
        single->txtConvToFileName->setText(QStringLiteral("/data/to.zip"));
        single->optConvType[1]->setChecked(true);
        single->chkSameName->setChecked(true);
        main->cmdChangeMultipleFileMode->click();
        // The close box of the single-file window ends through the other one.
        single->close();
    }
    const std::string ini = readFile(iniPath());
    EXPECT_NE(ini.find("[singlefilemode]"), std::string::npos) << ini;

    restart();
    EXPECT_EQ(core::appSettings->mode, 0);
    EXPECT_EQ(core::appSettings->top, 80 * 15);
    EXPECT_EQ(core::appSettings->left, 120 * 15);
    EXPECT_EQ(core::appSettings->singleTop, 150 * 15);
    EXPECT_EQ(core::appSettings->singleLeft, 200 * 15);
    ui::QtMainWindows *windows = start();
    ui::frmMain *main = windows->multipleFileWindow();
    ui::frmSingleFileMode *single = windows->singleFileWindow();
    EXPECT_TRUE(single->isVisible());
    EXPECT_EQ(main->pos(), QPoint(120, 80));
    EXPECT_EQ(single->pos(), QPoint(200, 150));
    EXPECT_EQ(main->txtSaveFolder->text().toStdString(), "/srv/out");
    EXPECT_TRUE(main->chkOverWrite->isChecked());
    EXPECT_TRUE(main->optConvType[2]->isChecked());
    EXPECT_EQ(single->txtArchiveFileName->text().toStdString(), "/data/typed.lzh");
    EXPECT_EQ(single->txtConvToFileName->text().toStdString(), "/data/to.zip");
    EXPECT_TRUE(single->optConvType[1]->isChecked());
    EXPECT_TRUE(single->chkSameName->isChecked());
}

TEST_F(StartEndTest, ExitFromTheMultipleFileWindowStoresBoth)
{
    ui::QtMainWindows *windows = start();
    windows->singleFileWindow()->txtConvToFileName->setText(QStringLiteral("/x/y.cab"));
    windows->multipleFileWindow()->mExit->trigger();
    restart();
    EXPECT_EQ(core::appSettings->singleConvToFileName, "/x/y.cab");
    EXPECT_EQ(core::appSettings->mode, 1);
}

TEST_F(StartEndTest, PositionOfZeroSumIsNotApplied)
{
    core::appSettings->top = 1500;
    core::appSettings->left = -1500;
    ui::frmMain main;
    EXPECT_NE(main.pos(), QPoint(-100, 100));
}

} // namespace
} // namespace qvo::test
