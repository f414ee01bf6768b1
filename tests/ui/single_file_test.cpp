// The single-file window: path boxes, the target controls, its checks and
// the overwrite question.
#include "ui_fixture.h"

#include "ui/frmSingleFileMode.h"
#include "ui/path_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

namespace qvo::test {
namespace {

using ui::frmSingleFileMode;

constexpr const char *kTargetUnusable = "指定した形式には変換できません。変換形式を確認してください";
constexpr const char *kSourceMissing = "変換対象のファイルは存在しません。ファイル名を確認してください";
constexpr const char *kSourceUnsupported =
    "変換対象のファイルの形式に対応していません。対応した形式のファイルを指定してください";
constexpr const char *kTargetExists = "変換先ファイル名と同名のファイルが存在しています。上書きして変換しますか？";
constexpr const char *kTargetMissing = "変換先ファイル名を指定してください";

class SingleFileTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        openWindow();
    }
    void TearDown() override
    {
        window.reset();
        UiTest::TearDown();
    }
    void openWindow()
    {
        window = std::make_unique<frmSingleFileMode>();
        window->startConversion = [this](convert::ConversionRows *rows, int64_t batchKB) {
            ++runs;
            EXPECT_EQ(rows, nullptr);
            lastBatchKB = batchKB;
        };
    }
    void setSource(const std::string &path)
    {
        window->txtArchiveFileName->setText(QString::fromStdString(path));
    }
    void drop(QWidget *target, const QStringList &paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(p);
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    std::unique_ptr<frmSingleFileMode> window;
    int runs = 0;
    int64_t lastBatchKB = -1;
};

TEST_F(SingleFileTest, SameNameTargetAsksBeforeOverwriting)
{
    const std::string source = file("data/old.lzh", 1500);
    window->chkSameName->setChecked(true);
    window->optConvType[1]->setChecked(true);
    setSource(source);
    window->convertSingleFile();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lastBatchKB, 2);

    file("data/old.zip");
    prompts.answers = {false};
    window->convertSingleFile();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kTargetExists);
    EXPECT_EQ(prompts.messages[0].buttons, ui::MessageButtons::OkCancel);
    EXPECT_EQ(runs, 1);
    prompts.answers = {true};
    window->convertSingleFile();
    EXPECT_EQ(runs, 2);
}

TEST_F(SingleFileTest, NamedTargetIsAskedAboutWhenItExists)
{
    setSource(file("a.cab"));
    window->txtConvToFileName->setText(QString::fromStdString(file("out/b.lzh")));
    prompts.answers = {false};
    window->convertSingleFile();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kTargetExists);
    EXPECT_EQ(runs, 0);
}

// The question is about the file the run will write: with upper-case
// extensions that is old.LZH (another file than old.lzh here), and a typed
// name with a short extension gets the format's one.
TEST_F(SingleFileTest, OverwriteQuestionNamesTheFileTheRunWrites)
{
    core::appSettings->useUpperExtension = true;
    window->chkSameName->setChecked(true);
    window->optConvType[0]->setChecked(true);
    setSource(file("data/old.zip"));
    file("data/old.lzh");
    window->convertSingleFile();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(runs, 1);

    file("data/old.LZH");
    prompts.answers = {false};
    window->convertSingleFile();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kTargetExists);
    EXPECT_EQ(runs, 1);

    core::appSettings->useUpperExtension = false;
    window->chkSameName->setChecked(false);
    file("out/new.lzh");
    window->txtConvToFileName->setText(QString::fromStdString((dir / "out/new.lz").string()));
    prompts.answers = {false};
    window->convertSingleFile();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, kTargetExists);
    EXPECT_EQ(runs, 1);
}

// An empty target box names no file: refused before any work, instead of
// writing a hidden ".lzh" into the current folder.
TEST_F(SingleFileTest, EmptyTargetIsRefused)
{
    window->chkSameName->setChecked(false);
    setSource(file("a.lzh"));
    window->txtConvToFileName->setText("");
    window->convertSingleFile();
    window->txtConvToFileName->setText(QString::fromStdString((dir / "out").string() + "/"));
    window->convertSingleFile();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, kTargetMissing);
    EXPECT_EQ(prompts.messages[1].text, kTargetMissing);
    EXPECT_EQ(runs, 0);
}

TEST_F(SingleFileTest, ChecksInOrderWithTheirMessages)
{
    window->convertSingleFile(); // empty source
    setSource((dir / "missing.lzh").string());
    window->convertSingleFile();
    setSource(file("notes.txt"));
    window->convertSingleFile();
    ASSERT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(prompts.messages[0].text, kSourceMissing);
    EXPECT_EQ(prompts.messages[1].text, kSourceMissing);
    EXPECT_EQ(prompts.messages[2].text, kSourceUnsupported);
    EXPECT_EQ(runs, 0);
}

TEST_F(SingleFileTest, MissingLibraryKeepsChoiceButRefuses)
{
    window.reset();
    makeGlobals(/*zipValid=*/false);
    core::appSettings->singleConvType = 1;
    openWindow();
    EXPECT_TRUE(window->optConvType[1]->isChecked());
    EXPECT_FALSE(window->optConvType[1]->isEnabled());
    setSource(file("a.lzh"));
    window->convertSingleFile();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kTargetUnusable);
}

TEST_F(SingleFileTest, SourceLargerThanTheDriveIsRefused)
{
    const std::filesystem::path big = dir / "big.lzh";
    writeFile(big, "");
    std::filesystem::resize_file(big, 1'000'000'000'000ull);
    setSource(big.string());
    window->chkSameName->setChecked(true);
    window->convertSingleFile();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text.rfind("保存先の /", 0), 0u) << prompts.messages[0].text;
    EXPECT_TRUE(prompts.messages[0].text.ends_with(" KBの空き容量が必要です"));
    EXPECT_EQ(runs, 0);
}

TEST_F(SingleFileTest, SameNameSwitchesTheTargetControls)
{
    window->chkSameName->setChecked(true);
    EXPECT_TRUE(core::appSettings->singleSameName);
    EXPECT_FALSE(window->txtConvToFileName->isEnabled());
    EXPECT_FALSE(window->cmdConvToFileDlg->isEnabled());
    EXPECT_FALSE(window->frameConvToFile->isEnabled());
    EXPECT_TRUE(window->chkSameName->isEnabled());
    window->chkSameName->setChecked(false);
    EXPECT_FALSE(core::appSettings->singleSameName);
    EXPECT_TRUE(window->txtConvToFileName->isEnabled());
    EXPECT_TRUE(window->frameConvToFile->isEnabled());

    window.reset();
    core::appSettings->singleSameName = true;
    openWindow();
    EXPECT_TRUE(window->chkSameName->isChecked());
    EXPECT_FALSE(window->txtConvToFileName->isEnabled());
}

TEST_F(SingleFileTest, DropTakesFirstFileOnTheSourceBoxOnly)
{
    const QString first = QString::fromStdString(file("1.lzh"));
    drop(window->txtArchiveFileName, {first, QString::fromStdString(file("2.lzh")), QString::fromStdString(file("3.lzh"))});
    EXPECT_EQ(window->txtArchiveFileName->text(), first);
    EXPECT_EQ(core::appSettings->singleBeforeFileName, first.toStdString());
    drop(window->txtConvToFileName, {first});
    EXPECT_TRUE(window->txtConvToFileName->text().isEmpty());
    EXPECT_TRUE(core::appSettings->singleConvToFileName.empty());
}

TEST_F(SingleFileTest, BoxesReachTheSettingsOnClickAndDialogs)
{
    window->show();
    setSource("/typed/a.lzh");
    EXPECT_TRUE(core::appSettings->singleBeforeFileName.empty());
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(window->txtArchiveFileName, &click);
    EXPECT_EQ(core::appSettings->singleBeforeFileName, "/typed/a.lzh");

    prompts.openNames.push_back("/picked/b.rar");
    window->cmdArchiveFileDlg_Click();
    EXPECT_EQ(window->txtArchiveFileName->text().toStdString(), "/picked/b.rar");
    EXPECT_EQ(core::appSettings->singleBeforeFileName, "/picked/b.rar");
    prompts.saveNames.push_back("/picked/c.cab");
    window->cmdConvToFileDlg_Click();
    EXPECT_EQ(core::appSettings->singleConvToFileName, "/picked/c.cab");
    window->cmdConvToFileDlg_Click(); // cancelled
    EXPECT_EQ(core::appSettings->singleConvToFileName, "/picked/c.cab");
    ASSERT_EQ(prompts.filters.size(), 3u);
    EXPECT_EQ(prompts.filters[0], ui::qtFileFilter(core::archiveCtrl->dialogFilter(2)).toStdString());
    EXPECT_EQ(prompts.filters[1], ui::qtFileFilter(core::archiveCtrl->dialogFilter(1)).toStdString());
    window->hide();
}

TEST_F(SingleFileTest, FormatChoiceIsStoredAtOnce)
{
    window->optConvType[2]->setChecked(true);
    EXPECT_EQ(core::appSettings->singleConvType, 2);
    EXPECT_EQ(window->windowTitle().toStdString(), "Qvo(Single File Mode)");
    EXPECT_EQ(window->mFile->title().toStdString(), "表示(&W)");
}

} // namespace
} // namespace qvo::test
