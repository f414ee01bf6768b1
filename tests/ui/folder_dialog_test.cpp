// The folder browser: start at the top, the new-folder button, cancel.
#include "ui/clsFolderBlowserDialog.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <functional>
#include <utility>

using qvo::ui::clsFolderBlowserDialog;

namespace {

// Runs `act` on the folder dialog once it is up.
void whenShown(std::function<void(QFileDialog *)> act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

bool newFolderOffered(QFileDialog *dialog)
{
    auto *button = dialog->findChild<QToolButton *>("newFolderButton");
    return button && button->isVisible() && button->isEnabled();
}

} // namespace

TEST(FolderBrowser, StartsAtTheTopWithANewFolderButtonAndReturnsTheChoice)
{
    qvo::test::TempDir dir;
    clsFolderBlowserDialog browser;
    EXPECT_TRUE(browser.ShowNewFolderButton());
    EXPECT_TRUE(browser.SelectedPath.empty());

    QString startedAt;
    bool offered = false;
    whenShown([&](QFileDialog *dialog) {
        startedAt = dialog->directory().absolutePath();
        offered = newFolderOffered(dialog);
        dialog->setDirectory(QString::fromStdString(dir.path().string()));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    EXPECT_TRUE(browser.ShowDialog());
    EXPECT_EQ(startedAt.toStdString(), "/");
    EXPECT_TRUE(offered);
    EXPECT_EQ(browser.SelectedPath, dir.path().string());

    // A cancel keeps the earlier choice.
    whenShown([](QFileDialog *dialog) { dialog->reject(); });
    EXPECT_FALSE(browser.ShowDialog());
    EXPECT_EQ(browser.SelectedPath, dir.path().string());
}

TEST(FolderBrowser, WithoutTheButtonNoFolderCanBeMadeAndTheTopKeepsItsSlash)
{
    clsFolderBlowserDialog browser;
    browser.setShowNewFolderButton(false);
    EXPECT_FALSE(browser.ShowNewFolderButton());
    browser.Description = "変換する書庫のあるフォルダ";
    bool offered = true;
    QString title;
    whenShown([&](QFileDialog *dialog) {
        offered = newFolderOffered(dialog);
        title = dialog->windowTitle();
        QMetaObject::invokeMethod(dialog, "accept");
    });
    EXPECT_TRUE(browser.ShowDialog());
    EXPECT_FALSE(offered);
    EXPECT_EQ(title.toStdString(), browser.Description);
    EXPECT_EQ(browser.SelectedPath, "/");
    browser.setShowNewFolderButton(true);
    EXPECT_TRUE(browser.ShowNewFolderButton());
}

TEST(FolderBrowser, OpensAtTheFolderChosenBeforeOrTheNearestOneAboveIt)
{
    qvo::test::TempDir dir;
    std::filesystem::create_directories(dir / "saved" / "here");
    for (const auto &[start, expected] :
         {std::pair{(dir / "saved" / "here").string(), (dir / "saved" / "here").string()},
          std::pair{(dir / "saved" / "gone" / "deeper").string(), (dir / "saved").string()},
          std::pair{std::string("relative/folder"), std::string("/")}}) {
        clsFolderBlowserDialog browser;
        browser.SelectedPath = start;
        QString startedAt;
        whenShown([&](QFileDialog *dialog) {
            startedAt = dialog->directory().absolutePath();
            dialog->reject();
        });
        EXPECT_FALSE(browser.ShowDialog());
        EXPECT_EQ(startedAt.toStdString(), expected) << start;
        EXPECT_EQ(browser.SelectedPath, start);
    }
}
