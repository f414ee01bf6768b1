// The settings dialog on the global settings object, with a settings file
// of its own and main windows that only record what they are asked to do.
#include "ui/frmConfig.h"

#include "core/application.h"
#include "core/globals.h"
#include "core/main_windows.h"
#include "test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <vector>

using qvo::core::appSettings;
using qvo::settings::clsQvoSettings;
using qvo::ui::frmConfig;
using qvo::test::readFile;
using qvo::test::TempDir;

namespace {

class RecordingWindows : public qvo::core::MainWindowHooks {
public:
    explicit RecordingWindows(std::vector<std::string> &calls) : calls_(calls) {}
    void load(qvo::core::MainWindow) override {}
    void show(qvo::core::MainWindow w) override { calls_.push_back(std::string("show ") + name(w)); }
    void hide(qvo::core::MainWindow w) override { calls_.push_back(std::string("hide ") + name(w)); }

private:
    static const char *name(qvo::core::MainWindow w)
    {
        return w == qvo::core::MainWindow::multipleFile ? "multiple" : "single";
    }
    std::vector<std::string> &calls_;
};

std::vector<std::string> items(QComboBox *combo)
{
    std::vector<std::string> out;
    for (int i = 0; i < combo->count(); ++i)
        out.push_back(combo->itemText(i).toStdString());
    return out;
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        appSettings = std::make_unique<clsQvoSettings>(ini.string());
        qvo::core::setMainWindowHooks(std::make_unique<RecordingWindows>(calls));
    }
    void TearDown() override
    {
        qvo::core::setMainWindowHooks(nullptr);
        appSettings.reset();
    }
    // What a fresh start would read from the file.
    clsQvoSettings stored() const
    {
        clsQvoSettings s(ini.string());
        s.readINIFile();
        return s;
    }

    TempDir dir;
    std::filesystem::path ini = dir / "qvo3.ini";
    std::vector<std::string> calls;
};

} // namespace

TEST_F(SettingsDialog, DefaultsShowGeneralPageMultipleModeStandardLevelsAndMszip)
{
    frmConfig dialog(*appSettings);
    EXPECT_EQ(dialog.windowTitle().toStdString(), " 設定");
    EXPECT_EQ(dialog.size(), QSize(440, 381));
    EXPECT_EQ(items(dialog.cmbPageList), (std::vector<std::string>{" 全般設定", " LHA形式の設定", " ZIP形式の設定",
                                                                   " CAB形式の設定"}));
    EXPECT_EQ(dialog.cmbPageList->currentIndex(), 0);
    EXPECT_FALSE(dialog.framePage[0]->isHidden());
    for (int page = 1; page < 4; ++page)
        EXPECT_TRUE(dialog.framePage[size_t(page)]->isHidden());

    EXPECT_FALSE(dialog.optMode[0]->isChecked());
    EXPECT_TRUE(dialog.optMode[1]->isChecked());
    EXPECT_EQ(dialog.optMode[1]->text().toStdString(), "Multiple File Mode");
    EXPECT_EQ(dialog.selectedMode(), 1);
    for (QCheckBox *box : {dialog.chkBackGroundConvert, dialog.chkDialogAutoClose, dialog.chkDeleteBeforeFile,
                           dialog.chkUseUpperExtension, dialog.chkSameTypeConvert, dialog.chkOverWrite})
        EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(dialog.chkBackGroundConvert->text().toStdString(), "バックグラウンド変換を行う（Multiple File Modeのみ）");

    EXPECT_EQ(dialog.cmbLHACompressLevel->currentText().toStdString(), " lha5 ... 標準");
    EXPECT_EQ(items(dialog.cmbLHACompressLevel),
              (std::vector<std::string>{" lha0 ... 圧縮しない", " lha1", " lha5 ... 標準", " lha6", " lha7"}));
    EXPECT_EQ(dialog.cmbZIPCompressLevel->currentText().toStdString(), " 6 ... 標準");
    EXPECT_EQ(dialog.cmbZIPCompressLevel->count(), 10);
    EXPECT_EQ(dialog.cmbZIPCompressLevel->itemText(9).toStdString(), " 9 ... 一番遅い（圧縮率最大）");

    EXPECT_TRUE(dialog.optCabCompressLevel[1]->isChecked());
    EXPECT_EQ(dialog.optCabCompressLevel[1]->text().toStdString(), "MSZIP形式");
    EXPECT_FALSE(dialog.cmbCABCompressLevelLZX->isEnabled());
    EXPECT_EQ(dialog.cmbCABCompressLevelLZX->currentText().toStdString(), " 15 ... スピード重視（標準）");
    EXPECT_EQ(dialog.cmbCABCompressLevelLZX->count(), 7);
}

TEST_F(SettingsDialog, ListSelectsThePageInFront)
{
    frmConfig dialog(*appSettings);
    dialog.selectPage(3);
    EXPECT_TRUE(dialog.framePage[0]->isHidden());
    EXPECT_FALSE(dialog.framePage[3]->isHidden());
    dialog.cmbPageList->setCurrentIndex(1);
    EXPECT_FALSE(dialog.framePage[1]->isHidden());
    EXPECT_TRUE(dialog.framePage[3]->isHidden());
    // The list lies over the pages: it must be the topmost child.
    EXPECT_EQ(dialog.children().back(), dialog.cmbPageList);
}

TEST_F(SettingsDialog, CabEncodingsStoreAndReopen)
{
    {
        frmConfig dialog(*appSettings);
        dialog.optCabCompressLevel[0]->click();
        EXPECT_TRUE(dialog.cmbCABCompressLevelLZX->isEnabled());
        dialog.cmbCABCompressLevelLZX->setCurrentIndex(6);
        dialog.cmdOK->click();
    }
    EXPECT_EQ(appSettings->cabCompressLevel, 6);
    EXPECT_EQ(stored().cabCompressLevel, 6);
    {
        frmConfig dialog(*appSettings);
        EXPECT_TRUE(dialog.optCabCompressLevel[0]->isChecked());
        EXPECT_TRUE(dialog.cmbCABCompressLevelLZX->isEnabled());
        EXPECT_EQ(dialog.cmbCABCompressLevelLZX->currentText().toStdString(), " 21 ... 圧縮率重視");
        // " 20", then MSZIP: the position is kept with the kind.
        dialog.cmbCABCompressLevelLZX->setCurrentIndex(5);
        dialog.optCabCompressLevel[1]->click();
        EXPECT_FALSE(dialog.cmbCABCompressLevelLZX->isEnabled());
        dialog.cmdOK->click();
    }
    EXPECT_EQ(appSettings->cabCompressLevel, 15);
    {
        frmConfig dialog(*appSettings);
        EXPECT_TRUE(dialog.optCabCompressLevel[1]->isChecked());
        EXPECT_FALSE(dialog.cmbCABCompressLevelLZX->isEnabled());
        EXPECT_EQ(dialog.cmbCABCompressLevelLZX->currentText().toStdString(), " 20");
        dialog.cmbCABCompressLevelLZX->setCurrentIndex(0);
        dialog.optCabCompressLevel[2]->click();
        dialog.cmdOK->click();
    }
    EXPECT_EQ(appSettings->cabCompressLevel, 20);
    EXPECT_EQ(stored().cabCompressLevel, 20);
}

TEST_F(SettingsDialog, OkStoresEveryControlAndWritesTheFile)
{
    frmConfig dialog(*appSettings);
    for (QCheckBox *box : {dialog.chkBackGroundConvert, dialog.chkDialogAutoClose, dialog.chkDeleteBeforeFile,
                           dialog.chkUseUpperExtension, dialog.chkSameTypeConvert, dialog.chkOverWrite})
        box->click();
    dialog.cmbLHACompressLevel->setCurrentIndex(4);
    dialog.cmbZIPCompressLevel->setCurrentIndex(9);
    dialog.cmdOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    const clsQvoSettings s = stored();
    EXPECT_TRUE(s.backGroundConvert && s.dialogAutoClose && s.deleteBeforeFile && s.useUpperExtension &&
                s.sameTypeConvert && s.overWrite);
    EXPECT_EQ(s.lhaCompressLevel, 4);
    EXPECT_EQ(s.zipCompressLevel, 9);
    EXPECT_EQ(s.cabCompressLevel, 10);
    EXPECT_TRUE(calls.empty()) << "OK without a mode change must not switch windows";

    // The next opening shows what was stored.
    frmConfig again(*appSettings);
    EXPECT_TRUE(again.chkOverWrite->isChecked());
    EXPECT_EQ(again.cmbZIPCompressLevel->currentIndex(), 9);
}

TEST_F(SettingsDialog, CancelAndCloseBoxLeaveSettingsAndFileUntouched)
{
    appSettings->zipCompressLevel = 3;
    appSettings->WriteINIFile();
    const std::string before = readFile(ini);

    for (bool useCloseBox : {false, true}) {
        frmConfig dialog(*appSettings);
        dialog.show();
        dialog.optMode[0]->click();
        dialog.chkOverWrite->click();
        dialog.cmbZIPCompressLevel->setCurrentIndex(0);
        dialog.optCabCompressLevel[2]->click();
        if (useCloseBox)
            dialog.close();
        else
            dialog.cmdCancel->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_EQ(appSettings->mode, 1);
    EXPECT_FALSE(appSettings->overWrite);
    EXPECT_EQ(appSettings->zipCompressLevel, 3);
    EXPECT_EQ(appSettings->cabCompressLevel, 10);
    EXPECT_EQ(readFile(ini), before);
    EXPECT_TRUE(calls.empty());

    // Nothing of a cancelled opening survives into the next one.
    frmConfig again(*appSettings);
    EXPECT_TRUE(again.optMode[1]->isChecked());
    EXPECT_FALSE(again.chkOverWrite->isChecked());
}

TEST_F(SettingsDialog, ModeChangeIsWrittenAndSwitchesWindowsAfterClosing)
{
    frmConfig dialog(*appSettings);
    dialog.show();
    dialog.optMode[0]->click();
    EXPECT_EQ(dialog.selectedMode(), 0);
    dialog.cmdOK->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(calls, (std::vector<std::string>{"hide multiple", "show single"}));
    EXPECT_EQ(appSettings->mode, 0);
    EXPECT_EQ(stored().mode, 0);

    calls.clear();
    frmConfig back(*appSettings);
    EXPECT_TRUE(back.optMode[0]->isChecked());
    back.optMode[1]->click();
    back.cmdOK->click();
    EXPECT_EQ(calls, (std::vector<std::string>{"hide single", "show multiple"}));
    EXPECT_EQ(stored().mode, 1);
}

TEST_F(SettingsDialog, OpenShowsTheAskedPageModally)
{
    for (int page : {2, 0, 3, 1, 9}) {
        int shownPage = -1;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<frmConfig *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            modal = dialog->isModal();
            shownPage = dialog->cmbPageList->currentIndex();
            EXPECT_FALSE(dialog->framePage[size_t(shownPage)]->isHidden());
            dialog->cmdCancel->click();
        });
        EXPECT_FALSE(frmConfig::openAtPage(page));
        EXPECT_TRUE(modal);
        EXPECT_EQ(shownPage, page == 9 ? 0 : page);
    }
}

TEST_F(SettingsDialog, OutOfRangeStoredLevelsAreKeptRatherThanBroken)
{
    appSettings->lhaCompressLevel = 7;
    appSettings->cabCompressLevel = 19; // MSZIP with no LZX position
    frmConfig dialog(*appSettings);
    EXPECT_EQ(dialog.cmbLHACompressLevel->currentIndex(), -1);
    EXPECT_EQ(dialog.cmbCABCompressLevelLZX->currentIndex(), -1);
    dialog.cmdOK->click();
    EXPECT_EQ(appSettings->lhaCompressLevel, 7);
    EXPECT_EQ(appSettings->cabCompressLevel, 10);
}
