// The about window: title text, the hidden picture and its reset.
#include "ui/frmVersion.h"
#include "ui/program_icon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

using qvo::ui::frmVersion;

namespace {

void press(QWidget *w, Qt::KeyboardModifiers modifiers, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), button, button,
                     modifiers);
    QApplication::sendEvent(w, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), button,
                   Qt::NoButton, modifiers);
    QApplication::sendEvent(w, &up);
}

} // namespace

TEST(AboutWindow, TitleTextIsBuiltWhenShown)
{
    frmVersion window;
    EXPECT_EQ(window.windowTitle().toStdString(), "バージョン情報");
    EXPECT_EQ(window.size(), QSize(380, 200));
    EXPECT_EQ(window.Command1->text().toStdString(), "閉じる");
    EXPECT_EQ(window.imgEgg->geometry(), QRect(0, 0, 380, 200));
    EXPECT_TRUE(window.imgEgg->isHidden());
    window.show();
    EXPECT_EQ(window.lblTitle->text().toStdString(),
              "書庫ファイル変換ユーティリティ\n\n\nQvo ver3.0\n\n( release build 0223.1 )");
    EXPECT_EQ(window.Image1->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(window.Label1->text().isEmpty());
}

TEST(AboutWindow, PlainClickChangesNothingModifiedClickRevealsAndPictureClickCloses)
{
    frmVersion window;
    window.show();
    press(window.Image1, Qt::NoModifier);
    EXPECT_TRUE(window.imgEgg->isHidden());
    EXPECT_TRUE(window.Command1->isVisible());

    for (Qt::KeyboardModifier key : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        window.show();
        EXPECT_TRUE(window.imgEgg->isHidden()) << "each opening starts without the picture";
        EXPECT_TRUE(window.Command1->isVisible());
        press(window.Image1, key, Qt::RightButton);
        EXPECT_TRUE(window.imgEgg->isVisible());
        EXPECT_FALSE(window.Command1->isVisible());
        EXPECT_TRUE(window.isVisible());

        press(window.imgEgg, Qt::NoModifier);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.result(), QDialog::Accepted);
    }
}

TEST(AboutWindow, ShowModalOpensCentredAndTheButtonCloses)
{
    bool modal = false;
    QPoint centre;
    QTimer::singleShot(0, [&] {
        auto *window = qobject_cast<frmVersion *>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        modal = window->isModal();
        centre = window->geometry().center();
        window->Command1->click();
    });
    frmVersion::showModal();
    EXPECT_TRUE(modal);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((centre - screen.center()).manhattanLength(), 2);
}

TEST(ProgramIcon, DrawsTwoOutlinedPagesAtEachSize)
{
    const QIcon icon = qvo::ui::programIcon();
    for (int size : {16, 32}) {
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // Transparent corner, dark blue outline on the pages.
        EXPECT_EQ(qAlpha(image.pixel(size - 1, 0)), 0);
        int darkBlue = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QColor c = image.pixelColor(x, y);
                darkBlue += c.alpha() > 200 && c.blue() > c.red() + 40 && c.blue() < 160;
            }
        EXPECT_GT(darkBlue, size * 2);
    }
    EXPECT_EQ(qvo::ui::hiddenPicture().size(), QSize(380, 200));
}

// The greeting is white: where the pale sun lay behind its lines they
// could not be read.  On a denser screen the picture is drawn with the
// screen's pixels, not enlarged.
TEST(ProgramIcon, HiddenPictureKeepsTheSunClearOfTheGreetingAndIsSharpWhenDense)
{
    const QImage image = qvo::ui::hiddenPicture().toImage();
    auto isSun = [](const QColor &c) {
        return c.red() >= 250 && c.green() >= 236 && c.green() <= 250 && c.blue() >= 205 && c.blue() <= 222;
    };
    int sunInGreeting = 0, sun = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isSun(image.pixelColor(x, y)))
                ++(y <= 130 ? sunInGreeting : sun);
    EXPECT_EQ(sunInGreeting, 0);
    EXPECT_GT(sun, 200); // the sun is still there, setting

    const QPixmap dense = qvo::ui::hiddenPicture(1.5);
    EXPECT_EQ(dense.size(), QSize(570, 300));
    EXPECT_EQ(dense.deviceIndependentSize(), QSizeF(380, 200));
}
