// Pictures of the progress window for review by eye, taken when
// tools/screenshots.sh asks for them (QVO_SCREENSHOT_DIR).
#include "convert/frmProgress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include <cstdlib>
#include <future>

namespace {

// A run held at five of eight steps until the picture is taken.
class HeldJob : public qvo::convert::ProgressJob {
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
    qvo::convert::frmProgress window(job, settings);
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
