// Pictures of the dialogs for review by eye, taken when tools/screenshots.sh
// asks for them (QVO_SCREENSHOT_DIR); skipped in ordinary test runs.
#include "ui/frmVersion.h"
#include "ui/program_icon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

#include "ui/clsFolderBlowserDialog.h"

#include <cstdlib>

namespace {

QString shotDir()
{
    const char *dir = std::getenv("QVO_SCREENSHOT_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QString();
}

void save(QWidget *w, const QString &name)
{
    QApplication::processEvents();
    ASSERT_TRUE(w->grab().save(QDir(shotDir()).filePath(name)));
}

} // namespace

TEST(DialogScreenshots, AboutWindow)
{
    if (shotDir().isEmpty())
        GTEST_SKIP() << "QVO_SCREENSHOT_DIR not set";
    qvo::ui::frmVersion window;
    window.show();
    save(&window, "frmVersion.png");
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(5, 5), window.Image1->mapToGlobal(QPointF(5, 5)),
                     Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(window.Image1, &down);
    save(&window, "frmVersion-hidden-picture.png");
}

TEST(DialogScreenshots, FolderBrowser)
{
    if (shotDir().isEmpty())
        GTEST_SKIP() << "QVO_SCREENSHOT_DIR not set";
    for (bool newFolder : {true, false}) {
        qvo::ui::clsFolderBlowserDialog browser;
        browser.setShowNewFolderButton(newFolder);
        QTimer::singleShot(200, [newFolder] {
            QWidget *dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            save(dialog, newFolder ? "clsFolderBlowserDialog.png" : "clsFolderBlowserDialog-no-new-folder.png");
            QMetaObject::invokeMethod(dialog, "reject");
        });
        EXPECT_FALSE(browser.ShowDialog());
    }
}

// The icon as PNG files for the desktop (data/icons).
TEST(DialogScreenshots, IconFiles)
{
    const char *dir = std::getenv("QVO_ICON_DIR");
    if (!dir)
        GTEST_SKIP() << "QVO_ICON_DIR not set";
    for (int size : {16, 32, 48}) {
        const QString sub = QStringLiteral("%1x%1").arg(size);
        QDir(QString::fromLocal8Bit(dir)).mkpath(sub);
        ASSERT_TRUE(qvo::ui::programIconPixmap(size).save(
            QDir(QString::fromLocal8Bit(dir)).filePath(sub + "/qvo.png")));
    }
}
