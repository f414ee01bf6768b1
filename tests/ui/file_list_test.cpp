// The multiple-file list: what it accepts, how it shows sizes and totals,
// and which commands follow its rows.
#include "ui_fixture.h"

#include "ui/file_list.h"
#include "ui/frmMain.h"
#include "ui/size_text.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include <filesystem>
#include <thread>

namespace qvo::test {
namespace {

using ui::frmMain;

class FileListTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        window = std::make_unique<frmMain>();
    }
    void TearDown() override
    {
        window.reset();
        UiTest::TearDown();
    }
    void add(const std::string &path)
    {
        window->addFileToList(path);
        window->updateCommandState();
    }
    std::string label() const { return window->lblSumFileSize->text().toStdString(); }
    int rows() const { return window->listFile->rowCount(); }
    void dropOn(QWidget *target, const QStringList &paths)
    {
        auto *data = new QMimeData;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        delete data;
    }

    std::unique_ptr<frmMain> window;
};

TEST(SizeText, ThousandsOfBytesRoundedHalfAwayFromZero)
{
    EXPECT_EQ(ui::sizeText(1500), "2 KB");
    EXPECT_EQ(ui::sizeText(2500), "3 KB");
    EXPECT_EQ(ui::sizeText(1234567), "1,235 KB");
    EXPECT_EQ(ui::sizeText(499), " KB");
    EXPECT_EQ(ui::sizeText(500), "1 KB");
    EXPECT_EQ(ui::sizeText(999'999'500), "1,000,000 KB");
    EXPECT_EQ(ui::sizeTextKB("1,235 KB"), 1235);
    EXPECT_EQ(ui::sizeTextKB(" KB"), 0);
}

TEST_F(FileListTest, StartsEmptyWithCommandsOff)
{
    EXPECT_EQ(label(), "合計サイズ: 0 KB");
    EXPECT_FALSE(window->cmdConv->isEnabled());
    EXPECT_FALSE(window->tbDeleteList->isEnabled());
    EXPECT_FALSE(window->tbConvert->isEnabled());
    EXPECT_TRUE(window->tbAddFile->isEnabled());
    EXPECT_EQ(window->listFile->columnCount(), 5);
    EXPECT_EQ(window->listFile->headerItem()->text(3).toStdString(), "サイズ");
    EXPECT_EQ(window->listFile->columnWidth(0), 120);
    EXPECT_EQ(window->listFile->columnWidth(4), 105);
}

TEST_F(FileListTest, RowHoldsNameFolderTypeSizeAndStatus)
{
    const std::string path = file("in/old.lzh", 1234567);
    add(path);
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(window->listFile->fileName(0), "old.lzh");
    EXPECT_EQ(window->listFile->folderName(0), (dir / "in").string() + "/");
    EXPECT_EQ(window->listFile->folderName(0) + window->listFile->fileName(0), path);
    EXPECT_EQ(window->listFile->typeKey(0), "LHA");
    const QTreeWidgetItem *item = window->listFile->topLevelItem(0);
    EXPECT_EQ(item->text(3).toStdString(), "1,235 KB");
    EXPECT_EQ(item->text(4).toStdString(), "変換待ち");
    EXPECT_TRUE(item->textAlignment(3) & Qt::AlignRight);
    EXPECT_TRUE(item->textAlignment(2) & Qt::AlignHCenter);
    EXPECT_EQ(label(), "合計サイズ: 1,235 KB");
    EXPECT_TRUE(window->cmdConv->isEnabled());
}

TEST_F(FileListTest, DuplicatesRefusedExactlyButCaseCounts)
{
    const std::string upper = file("A.lzh", 1500);
    const std::string lower = file("a.lzh", 2500);
    add(upper);
    add(upper);
    dropOn(window->listFile->viewport(), {QString::fromStdString(upper)});
    window->addFilesInFolder(dir.path().string());
    prompts.openNames.push_back(upper);
    window->addFileFromDialog();
    EXPECT_EQ(rows(), 2); // a.lzh came with the folder scan
    EXPECT_EQ(label(), "合計サイズ: 5 KB");
    add(lower);
    EXPECT_EQ(rows(), 2);
}

TEST_F(FileListTest, ExtensionComparedInLowerCase)
{
    add(file("x.LZH"));
    add(file("y.Rar"));
    add(file("notes.txt"));
    add(file("noextension"));
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(window->listFile->typeKey(0), "LHA");
    EXPECT_EQ(window->listFile->typeKey(1), "RAR");
}

TEST_F(FileListTest, FormatsWithoutLibraryAreRefused)
{
    window.reset();
    makeGlobals(/*zipValid=*/false);
    window = std::make_unique<frmMain>();
    add(file("a.zip"));
    EXPECT_EQ(rows(), 0);
    EXPECT_FALSE(window->optConvType[1]->isEnabled());
    EXPECT_TRUE(window->optConvType[2]->isEnabled());
}

TEST_F(FileListTest, MissingFilesAndFoldersNamedLikeArchivesAreLeftOut)
{
    add((dir / "gone.lzh").string());
    std::filesystem::create_directories(dir / "backup");
    std::filesystem::create_directories(dir / "disguised.zip");
    dropOn(window->listFile->viewport(),
           {QString::fromStdString((dir / "backup").string()), QString::fromStdString((dir / "disguised.zip").string())});
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(FileListTest, DroppedFolderAddsTheArchivesDirectlyInsideAsTheScanDoes)
{
    const std::string inside = file("shelf/inside.lzh");
    file("shelf/notes.txt");
    file("shelf/deeper/below.zip");
    const std::string loose = file("loose.cab");
    dropOn(window->listFile->viewport(),
           {QString::fromStdString((dir / "shelf").string()), QString::fromStdString(loose)});
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(window->listFile->folderName(0) + window->listFile->fileName(0), inside);
    EXPECT_EQ(window->listFile->folderName(1) + window->listFile->fileName(1), loose);
    EXPECT_TRUE(window->cmdConv->isEnabled());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(FileListTest, TotalAddsTheShownFigures)
{
    add(file("one.lzh", 1499));
    add(file("two.lzh", 1499));
    EXPECT_EQ(window->listFile->topLevelItem(0)->text(3).toStdString(), "1 KB");
    EXPECT_EQ(window->calcAllFileSize(), 2);
    EXPECT_EQ(label(), "合計サイズ: 2 KB");
    add(file("tiny.lzh", 499));
    EXPECT_EQ(window->calcAllFileSize(), 2);
}

TEST_F(FileListTest, RemovingTheLastRowTurnsCommandsOff)
{
    add(file("only.lzh", 3000));
    window->listFile->topLevelItem(0)->setSelected(true);
    window->mRemoveFile_Click();
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(label(), "合計サイズ:  KB");
    EXPECT_FALSE(window->cmdConv->isEnabled());
    EXPECT_FALSE(window->tbDeleteList->isEnabled());
    EXPECT_FALSE(window->tbConvert->isEnabled());
}

TEST_F(FileListTest, RemoveWithoutSelectionAndClear)
{
    add(file("a.lzh"));
    add(file("b.cab"));
    window->listFile->clearSelection();
    window->mRemoveFile_Click();
    EXPECT_EQ(rows(), 2);
    window->listFile->topLevelItem(1)->setSelected(true);
    window->mRemoveFile->trigger(); // the Delete shortcut's action
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(window->listFile->fileName(0), "a.lzh");
    window->mInitializeList_Click();
    EXPECT_EQ(rows(), 0);
    EXPECT_FALSE(window->cmdConv->isEnabled());
    EXPECT_EQ(window->mRemoveFile->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(window->mListPopup->title().toStdString(), "popup_List");
}

TEST_F(FileListTest, PressOnEmptyListDisablesThePopupItem)
{
    window->show();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 200), QPointF(20, 200), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(window->listFile->viewport(), &press);
    EXPECT_FALSE(window->mRemoveFile->isEnabled());
    window->mListPopup->hide();
    window->hide();
}

TEST_F(FileListTest, FolderScanTakesOnlyDirectArchives)
{
    file("scan/a.lzh");
    file("scan/b.ZIP");
    file("scan/readme.txt");
    file("scan/sub/deep.lzh");
    window->addFilesInFolder((dir / "scan").string());
    EXPECT_EQ(rows(), 2);
    window->addFilesInFolder((dir / "absent").string());
    window->addFilesInFolder("");
    EXPECT_EQ(rows(), 2);
}

TEST_F(FileListTest, SelfExtractorsJoinByContentDocumentsOnlyWhenNamed)
{
    const auto corpusCopy = [&](const std::string &from, const std::string &to) {
        std::filesystem::create_directories((dir / to).parent_path());
        std::filesystem::copy_file(std::filesystem::path(QVO_CORPUS_DIR) / from, dir / to);
        return (dir / to).string();
    };
    corpusCopy("lzh/lhasa/lha213/sfx.exe", "shelf/setup.exe");
    corpusCopy("zip/dotnet-runtime-assets/compat/excel.xlsx", "shelf/report.xlsx");
    corpusCopy("zip/libarchive/test_read_format_zip_jar.jar", "shelf/tool.jar");
    corpusCopy("rar/libarchive/test_rar_multivolume_single_file.part1.rar", "shelf/set.part1.rar");
    const std::string later = corpusCopy("rar/libarchive/test_rar_multivolume_single_file.part2.rar", "shelf/set.part2.rar");
    window->addFilesInFolder((dir / "shelf").string());
    ASSERT_EQ(rows(), 2);
    for (int row = 0; row < rows(); ++row) {
        const std::string name = window->listFile->fileName(row);
        EXPECT_TRUE(name == "setup.exe" || name == "set.part1.rar") << name;
        EXPECT_EQ(window->listFile->typeKey(row), name == "setup.exe" ? "LHA" : "RAR");
    }
    // Named by the user, a document is taken by its content; a later
    // volume never is.
    add((dir / "shelf" / "report.xlsx").string());
    add(later);
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(window->listFile->typeKey(2), "ZIP");
}

TEST_F(FileListTest, DialogAddsTheChosenFileAndCancelAddsNothing)
{
    prompts.openNames.push_back(file("picked.cab"));
    window->addFileFromDialog();
    EXPECT_EQ(rows(), 1);
    ASSERT_EQ(prompts.filters.size(), 1u);
    EXPECT_EQ(prompts.filters[0], ui::qtFileFilter(core::archiveCtrl->dialogFilter(2)).toStdString());
    window->addFileFromDialog(); // cancelled
    EXPECT_EQ(rows(), 1);
    EXPECT_TRUE(window->cmdConv->isEnabled());
}

TEST_F(FileListTest, DropAddsInOrderAndUpdatesCommands)
{
    const QString b = QString::fromStdString(file("b.lzh"));
    const QString a = QString::fromStdString(file("a.lzh"));
    dropOn(window->listFile->viewport(), {b, a});
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(window->listFile->fileName(0), "b.lzh");
    EXPECT_TRUE(window->tbConvert->isEnabled());
}

TEST_F(FileListTest, StatusFromAnotherThreadReachesTheWidget)
{
    add(file("a.lzh"));
    std::thread worker([&] { window->listFile->setStatus(0, convert::kStatusFailed); });
    worker.join();
    EXPECT_EQ(window->listFile->status(0), convert::kStatusFailed);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->listFile->topLevelItem(0)->text(4).toStdString(), "変換失敗");
}

TEST(DialogFilter, ControllerEntriesBecomeQtFilters)
{
    backends::DialogFilter filter;
    filter.formats = {{"LHA", {"*.lzh", "*.lha"}}, {"ZIP", {"*.zip"}}};
    EXPECT_EQ(ui::qtFileFilter(filter).toStdString(),
              "対応するすべての形式書庫ファイル (*.lzh *.lha *.zip);;LHA形式書庫ファイル (*.lzh *.lha);;"
              "ZIP形式書庫ファイル (*.zip);;すべてのファイル (*)");
    // With no format usable, every file is all there is to offer.
    EXPECT_EQ(ui::qtFileFilter(backends::DialogFilter{}).toStdString(), "すべてのファイル (*)");
}

} // namespace
} // namespace qvo::test
