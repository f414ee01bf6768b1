// The multiple-file convert command: its checks and messages, the hand-over
// and the removal of converted rows.
#include "ui_fixture.h"

#include "platform/path_helpers.h"
#include "ui/file_list.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <filesystem>

namespace qvo::test {
namespace {

using ui::frmMain;

constexpr const char *kTargetUnusable = "指定した形式には変換できません。変換形式を確認してください";
constexpr const char *kSaveFolderMissing = "指定したフォルダには保存できません。保存フォルダ名を確認してください";

class ConvertCommandTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        core::appSettings->saveFolder = dir.path().string();
        openWindow();
    }
    void TearDown() override
    {
        window.reset();
        UiTest::TearDown();
    }
    void openWindow()
    {
        window = std::make_unique<frmMain>();
        window->startConversion = [this](convert::ConversionRows *rows, int64_t batchKB) {
            ++runs;
            lastBatchKB = batchKB;
            if (rows && outcome)
                outcome(*rows);
        };
    }
    void add(const std::string &path)
    {
        window->addFileToList(path);
        window->updateCommandState();
    }

    std::unique_ptr<frmMain> window;
    std::function<void(convert::ConversionRows &)> outcome;
    int runs = 0;
    int64_t lastBatchKB = -1;
};

TEST_F(ConvertCommandTest, EmptyListIsRefused)
{
    window->convertFiles();
    window->mConvert->trigger();
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ConvertCommandTest, TargetWithoutLibraryStaysChosenButIsRefused)
{
    window.reset();
    makeGlobals(/*zipValid=*/false);
    core::appSettings->saveFolder = dir.path().string();
    core::appSettings->convType = 1;
    openWindow();
    EXPECT_TRUE(window->optConvType[1]->isChecked());
    EXPECT_FALSE(window->optConvType[1]->isEnabled());
    add(file("a.lzh"));
    window->convertFiles();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kTargetUnusable);
    EXPECT_EQ(prompts.messages[0].buttons, ui::MessageButtons::Ok);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(window->listFile->rowCount(), 1);
}

TEST_F(ConvertCommandTest, StoredFormatOutOfRangeCountsAsUnusable)
{
    window.reset();
    core::appSettings->convType = 7;
    openWindow();
    for (QRadioButton *button : window->optConvType)
        EXPECT_FALSE(button->isChecked());
    add(file("a.lzh"));
    window->convertFiles();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kTargetUnusable);
    EXPECT_EQ(runs, 0);
}

TEST_F(ConvertCommandTest, MissingOrEmptySaveFolderIsRefused)
{
    add(file("a.lzh"));
    window->txtSaveFolder->setText(QString::fromStdString((dir / "nowhere").string()));
    EXPECT_EQ(core::appSettings->saveFolder, (dir / "nowhere").string());
    window->convertFiles();
    window->txtSaveFolder->clear();
    window->convertFiles();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, kSaveFolderMissing);
    EXPECT_EQ(prompts.messages[1].text, kSaveFolderMissing);
    EXPECT_EQ(runs, 0);
}

TEST_F(ConvertCommandTest, SavingNextToSourcesSkipsFolderAndSpaceChecks)
{
    add(file("a.lzh", 2500));
    window->txtSaveFolder->setText(QString::fromStdString((dir / "nowhere").string()));
    window->chkSameFolder->setChecked(true);
    EXPECT_TRUE(core::appSettings->sameFolder);
    EXPECT_FALSE(window->txtSaveFolder->isEnabled());
    EXPECT_FALSE(window->cmdShowSaveFolderDlg->isEnabled());
    window->convertFiles();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lastBatchKB, 3);
}

TEST_F(ConvertCommandTest, SaveDriveTooSmallNamesItsMountPoint)
{
    // A sparse terabyte: far more than twice the free space of any test
    // machine, without using any.
    const std::filesystem::path big = dir / "big.lzh";
    writeFile(big, "");
    std::filesystem::resize_file(big, 1'000'000'000'000ull);
    add(big.string());
    ASSERT_EQ(window->listFile->rowCount(), 1);
    const std::string drive = platform::getDriveName(dir.path().string());
    const int64_t freeBefore = platform::getDiskFreeSpace(drive);
    window->convertFiles();
    EXPECT_EQ(runs, 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    const std::string &text = prompts.messages[0].text;
    const std::string head = "保存先の " + drive + " の空き容量が不足しています。変換を行うことができません\r\nあと ";
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    ASSERT_TRUE(text.ends_with(" KBの空き容量が必要です")) << text;
    std::string figure = text.substr(head.size(), text.size() - head.size() - std::string(" KBの空き容量が必要です").size());
    std::erase(figure, ',');
    const double expected = 3e9 - static_cast<double>(freeBefore) / 1000.0;
    EXPECT_NEAR(std::stod(figure), expected, 1e6); // the disk is shared
}

TEST(SaveDriveMessage, FigureIsRoundedAndGrouped)
{
    EXPECT_EQ(ui::saveDriveShortageMessage("/mnt/d/", 3000.0 - 1999.999),
              "保存先の /mnt/d/ の空き容量が不足しています。変換を行うことができません\r\nあと 1,000 KBの空き容量が必要です");
}

TEST_F(ConvertCommandTest, ConvertedRowsLeaveTheOthersStay)
{
    add(file("ok1.lzh", 1000));
    add(file("bad.lzh", 2000));
    add(file("ok2.cab", 3000));
    add(file("exists.zip", 4000));
    outcome = [](convert::ConversionRows &rows) {
        rows.setStatus(0, convert::kStatusSucceeded);
        rows.setStatus(1, convert::kStatusFailed);
        rows.setStatus(2, convert::kStatusSucceeded);
        rows.setStatus(3, convert::kStatusTargetExists);
    };
    window->convertFiles();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lastBatchKB, 10);
    ASSERT_EQ(window->listFile->rowCount(), 2);
    EXPECT_EQ(window->listFile->fileName(0), "bad.lzh");
    EXPECT_EQ(window->listFile->topLevelItem(0)->text(4).toStdString(), "変換失敗");
    EXPECT_EQ(window->listFile->fileName(1), "exists.zip");
    EXPECT_EQ(window->listFile->topLevelItem(1)->text(4).toStdString(), "同名ファイルが存在");
    EXPECT_EQ(window->lblSumFileSize->text().toStdString(), "合計サイズ: 6 KB");
    EXPECT_TRUE(window->cmdConv->isEnabled());

    outcome = [](convert::ConversionRows &rows) {
        for (int r = 0; r < rows.rowCount(); ++r)
            rows.setStatus(r, convert::kStatusSucceeded);
    };
    window->tbConvert->trigger();
    EXPECT_EQ(window->listFile->rowCount(), 0);
    EXPECT_EQ(window->lblSumFileSize->text().toStdString(), "合計サイズ:  KB");
    EXPECT_FALSE(window->cmdConv->isEnabled());
    EXPECT_FALSE(window->tbDeleteList->isEnabled());
    EXPECT_FALSE(window->tbConvert->isEnabled());
}

TEST_F(ConvertCommandTest, OptionsAreWrittenAtOnce)
{
    window->optConvType[2]->setChecked(true);
    EXPECT_EQ(core::appSettings->convType, 2);
    window->chkOverWrite->setChecked(true);
    EXPECT_TRUE(core::appSettings->overWrite);
    window->chkSameTypeConvert->setChecked(true);
    EXPECT_TRUE(core::appSettings->sameTypeConvert);
    window->txtSaveFolder->setText(QStringLiteral("/srv/out"));
    EXPECT_EQ(core::appSettings->saveFolder, "/srv/out");
}

TEST_F(ConvertCommandTest, FilledFromSettingsAtCreationAndAfterTheDialog)
{
    window.reset();
    core::appSettings->sameFolder = true;
    core::appSettings->overWrite = true;
    core::appSettings->sameTypeConvert = true;
    core::appSettings->convType = 2;
    core::appSettings->saveFolder = "/srv/out";
    openWindow();
    EXPECT_TRUE(window->chkSameFolder->isChecked());
    EXPECT_FALSE(window->txtSaveFolder->isEnabled());
    EXPECT_EQ(window->txtSaveFolder->text().toStdString(), "/srv/out");
    EXPECT_TRUE(window->chkOverWrite->isChecked());
    EXPECT_TRUE(window->chkSameTypeConvert->isChecked());
    EXPECT_TRUE(window->optConvType[2]->isChecked());

    // What the settings dialog may have changed is read back when it closes.
    core::appSettings->overWrite = false;
    core::appSettings->sameFolder = false;
    core::appSettings->convType = 0;
    // The dialog is modal: cancel it once it is up.
    QTimer::singleShot(0, [] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    window->mShowSettingPage_Click(0);
    EXPECT_FALSE(window->chkOverWrite->isChecked());
    EXPECT_FALSE(window->chkSameFolder->isChecked());
    EXPECT_TRUE(window->txtSaveFolder->isEnabled());
    EXPECT_TRUE(window->optConvType[0]->isChecked());
}

TEST_F(ConvertCommandTest, MenusCarryTheirCaptionsAndShortcuts)
{
    EXPECT_EQ(window->mFile->title().toStdString(), "ファイル(&F)");
    EXPECT_EQ(window->mAddFile->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_EQ(window->mAddFolder->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_FALSE(window->mSaveList->isEnabled());
    EXPECT_EQ(window->mConvert->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(window->mExit->text().toStdString(), "Qvo を終了する(&E)");
    EXPECT_EQ(window->mExit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_EQ(window->mShowSettings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(window->mShowSettingPage[3]->text().toStdString(), "CAB形式(&C)");
    EXPECT_EQ(window->mVersion->text().toStdString(), "バージョン情報(&V)");
    EXPECT_EQ(window->toolbar->actions().size(), 7);
    EXPECT_EQ(window->windowTitle().toStdString(), "Qvo");
}

// Settings changed while the window was hidden (the settings dialog used
// from the single-file window) show when it comes back: the run uses them,
// so the boxes must not say otherwise.
TEST_F(ConvertCommandTest, BoxesShowSettingsChangedWhileHidden)
{
    window->show();
    window->hide();
    core::appSettings->overWrite = !window->chkOverWrite->isChecked();
    core::appSettings->sameTypeConvert = !window->chkSameTypeConvert->isChecked();
    core::appSettings->sameFolder = !window->chkSameFolder->isChecked();
    core::appSettings->convType = 2;
    window->show();
    EXPECT_EQ(window->chkOverWrite->isChecked(), core::appSettings->overWrite);
    EXPECT_EQ(window->chkSameTypeConvert->isChecked(), core::appSettings->sameTypeConvert);
    EXPECT_EQ(window->chkSameFolder->isChecked(), core::appSettings->sameFolder);
    EXPECT_TRUE(window->optConvType[2]->isChecked());
    window->hide();
}

} // namespace
} // namespace qvo::test
