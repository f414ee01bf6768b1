// Pictures of the settings dialog's pages for review by eye, taken when
// tools/screenshots.sh asks for them (QVO_SCREENSHOT_DIR).
#include "ui/frmConfig.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include <cstdlib>

TEST(Screenshots, SettingsDialogPages)
{
    const char *dir = std::getenv("QVO_SCREENSHOT_DIR");
    if (!dir)
        GTEST_SKIP() << "QVO_SCREENSHOT_DIR not set";
    qvo::settings::clsQvoSettings settings{std::string("/nonexistent/qvo3.ini")};
    settings.cabCompressLevel = 6;
    qvo::ui::frmConfig dialog(settings);
    dialog.show();
    for (int page = 0; page < 4; ++page) {
        dialog.selectPage(page);
        QApplication::processEvents();
        const QString name = QStringLiteral("frmConfig-page%1.png").arg(page);
        ASSERT_TRUE(dialog.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(name)));
    }
}
