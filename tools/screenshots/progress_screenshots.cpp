// Pictures of the progress window for review by eye, taken when
// tools/screenshots.sh asks for them (QVO_SCREENSHOT_DIR).
#include "ui/frmProgress.h"
#include "core/mdlMain.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <future>

namespace {

// A run held at five of eight steps until the picture is taken.
class HeldJob : public qvo::ui::ProgressJob {
public:
    void run() override { release_.get_future().wait(); }
    const qvo::convert::ConversionCounters &counters() const override { return counters_; }
    void end() { release_.set_value(); }
    qvo::convert::ConversionCounters counters_;

private:
    std::promise<void> release_;
};

} // namespace

TEST(Screenshots, ProgressWindowSimulatedRun)
{
    const char *dir = std::getenv("QVO_SCREENSHOT_DIR");
    if (!dir)
        GTEST_SKIP() << "QVO_SCREENSHOT_DIR not set";
    qvo::settings::clsQvoSettings settings{std::string("/nonexistent/qvo3.ini")};
    HeldJob job;
    qvo::ui::frmProgress window(job, settings);
    window.setClock([] { return int64_t(3725000); });
    window.show();
    window.runConversion();
    job.counters_.totalCount = 8;
    job.counters_.doneCount = 5;
    window.timer_Timer();
    QApplication::processEvents();
    const QDir out(QString::fromLocal8Bit(dir));
    EXPECT_TRUE(window.grab().save(out.filePath("frmProgress-simulated.png")));
    job.counters_.doneCount = 8;
    job.end();
    while (!window.hasEnded())
        window.timer_Timer();
    QApplication::processEvents();
    EXPECT_TRUE(window.grab().save(out.filePath("frmProgress-finished.png")));
}

// The real program's progress window while it converts the archive that
// the script made (QVO_SCREENSHOT_SOURCE), single-file mode, into LHA.
TEST(Screenshots, ProgressWindowRealConversion)
{
    const char *dir = std::getenv("QVO_SCREENSHOT_DIR");
    const char *source = std::getenv("QVO_SCREENSHOT_SOURCE");
    if (!dir || !source)
        GTEST_SKIP() << "QVO_SCREENSHOT_DIR or QVO_SCREENSHOT_SOURCE not set";
    const QDir out(QString::fromLocal8Bit(dir));
    const std::string target = std::string(source) + ".converted.lzh";
    qvo::core::createGlobalObjects();
    qvo::core::appSettings = std::make_unique<qvo::settings::clsQvoSettings>(target + ".ini");
    auto &settings = *qvo::core::appSettings;
    settings.mode = 0;
    settings.singleBeforeFileName = source;
    settings.singleConvType = 0;
    settings.singleConvToFileName = target;
    settings.dialogAutoClose = false;

    bool during = false;
    QTimer watcher;
    watcher.setInterval(50);
    int ticks = 0;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto *window = qobject_cast<qvo::ui::frmProgress *>(QApplication::activeModalWidget());
        if (!window)
            return;
        if (++ticks == 10 && window->isRunning())
            during = window->grab().save(out.filePath("frmProgress-real-conversion.png"));
        if (window->hasEnded()) {
            window->grab().save(out.filePath("frmProgress-real-conversion-finished.png"));
            window->cmdExit->click();
        }
    });
    watcher.start();
    qvo::ui::frmProgress::showModal(settings, *qvo::core::archiveCtrl, nullptr);
    EXPECT_TRUE(during) << "the conversion ended before the picture was taken";
    std::remove(target.c_str());
    std::remove((target + ".ini").c_str());
    qvo::core::releaseGlobalObjects();
}

// The whole screen, with whatever the script started on it (the program).
TEST(Screenshots, Screen)
{
    const char *file = std::getenv("QVO_SCREENSHOT_SCREEN");
    if (!file)
        GTEST_SKIP() << "QVO_SCREENSHOT_SCREEN not set";
    QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(screen->grabWindow(0).save(QString::fromLocal8Bit(file)));
}
