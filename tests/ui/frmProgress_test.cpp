// The progress window driven by a job whose counters the test sets, and
// whose run ends when the test lets it.
#include "ui/frmProgress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using qvo::convert::ConversionCounters;
using qvo::ui::frmProgress;
using qvo::ui::ProgressJob;
using qvo::ui::progressCaption;
using qvo::ui::progressPercent;
using qvo::convert::SingleFileOutcome;
using qvo::ui::singleFileFailureMessage;

namespace {

class FakeJob : public ProgressJob {
public:
    void run() override
    {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return release_; });
    }
    const ConversionCounters &counters() const override { return counters_; }
    std::string finish() override
    {
        ++finishCalls;
        return message;
    }

    void set(int32_t done, int32_t total)
    {
        counters_.totalCount = total;
        counters_.doneCount = done;
    }
    void end()
    {
        {
            std::lock_guard lock(mutex_);
            release_ = true;
        }
        released_.notify_all();
    }

    std::string message;
    int finishCalls = 0;

private:
    ConversionCounters counters_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
};

// Lets the run end when a test stops early, so the window can be destroyed.
struct EndOnExit {
    FakeJob &job;
    ~EndOnExit() { job.end(); }
};

// Ticks until the window has seen the end of the run.
void tickUntilEnded(frmProgress &window)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!window.hasEnded() && std::chrono::steady_clock::now() < deadline) {
        window.timer_Timer();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(window.hasEnded());
}

class ProgressWindow : public ::testing::Test {
protected:
    qvo::settings::clsQvoSettings settings{std::string("/nonexistent/qvo3.ini")};
    FakeJob job;
};

} // namespace

TEST(ProgressText, PercentRoundsHalvesToEven)
{
    EXPECT_EQ(progressPercent(1, 3), 33);
    EXPECT_EQ(progressPercent(2, 3), 67);
    EXPECT_EQ(progressPercent(3, 3), 100);
    EXPECT_EQ(progressPercent(1, 8), 12); // 12.5
    EXPECT_EQ(progressPercent(3, 8), 38); // 37.5
    EXPECT_EQ(progressPercent(5, 8), 62); // 62.5
    EXPECT_EQ(progressPercent(1, 200), 0); // 0.5
    EXPECT_EQ(progressPercent(3, 200), 2); // 1.5
    for (int step = 1; step <= 4; ++step)
        EXPECT_EQ(progressPercent(step, 4), 25 * step);
    EXPECT_EQ(progressPercent(0, 5), 0);
    EXPECT_EQ(progressPercent(INT32_MAX, INT32_MAX), 100);
    EXPECT_EQ(progressPercent(1, 0), 0);
}

TEST(ProgressText, ElapsedTimeShowsMinutesOnlyFromOneMinute)
{
    EXPECT_EQ(progressCaption(40, 7000).toStdString(), "40 % 変換終了  /  7 秒経過");
    EXPECT_EQ(progressCaption(12, 59900).toStdString(), "12 % 変換終了  /  59 秒経過");
    EXPECT_EQ(progressCaption(12, 60000).toStdString(), "12 % 変換終了  /  1 分 0 秒経過");
    EXPECT_EQ(progressCaption(100, 125000).toStdString(), "100 % 変換終了  /  2 分 5 秒経過");
    EXPECT_EQ(progressCaption(100, 3725000).toStdString(), "100 % 変換終了  /  62 分 5 秒経過");
    EXPECT_EQ(progressCaption(0, 999).toStdString(), "0 % 変換終了  /  0 秒経過");
}

TEST(ProgressText, SingleFileFailuresHaveJapaneseMessages)
{
    EXPECT_EQ(singleFileFailureMessage(SingleFileOutcome::Succeeded), "");
    EXPECT_EQ(singleFileFailureMessage(SingleFileOutcome::NotRun), "");
    EXPECT_EQ(singleFileFailureMessage(SingleFileOutcome::SourceMissing),
              "変換対象のファイルは存在しません。ファイル名を確認してください");
    for (auto outcome : {SingleFileOutcome::ExtractFailed, SingleFileOutcome::CompressFailed,
                         SingleFileOutcome::Failed})
        EXPECT_NE(singleFileFailureMessage(outcome), "");
}

TEST_F(ProgressWindow, LoadsEmptyWithTheButtonDisabled)
{
    settings.dialogAutoClose = true;
    frmProgress window(job, settings);
    EXPECT_EQ(window.windowTitle().toStdString(), " 変換状況");
    EXPECT_EQ(window.size(), QSize(621, 167));
    EXPECT_EQ(window.lblShowTime->text().toStdString(), "0 %  変換終了 /  0 秒経過");
    EXPECT_EQ(window.cmdExit->text().toStdString(), "閉じる");
    EXPECT_FALSE(window.cmdExit->isEnabled());
    EXPECT_EQ(window.shpProgress->width(), 0);
    EXPECT_EQ(window.shpBorder->width(), 545);
    EXPECT_TRUE(window.chkDialogAutoClose->isChecked());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

TEST_F(ProgressWindow, ThreeRowsShowThirdsAndStayOpenWithoutAutoClose)
{
    frmProgress window(job, settings);
    EndOnExit guard{job};
    window.setClock([] { return 7000; });
    window.show();
    window.runConversion();
    EXPECT_TRUE(window.timer->isActive());
    EXPECT_EQ(window.timer->interval(), 100);

    window.timer_Timer(); // counters not set yet: nothing changes
    EXPECT_EQ(window.lblShowTime->text().toStdString(), "0 %  変換終了 /  0 秒経過");

    job.set(1, 3);
    window.timer_Timer();
    EXPECT_EQ(window.lblShowTime->text().toStdString(), "33 % 変換終了  /  7 秒経過");
    EXPECT_EQ(window.shpProgress->width(), 182);
    job.set(2, 3);
    window.timer_Timer();
    EXPECT_EQ(window.lblShowTime->text().toStdString(), "67 % 変換終了  /  7 秒経過");
    EXPECT_EQ(window.shpProgress->width(), 363);

    // Neither the close box nor Escape stops a run.
    window.close();
    window.reject();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.cmdExit->isEnabled());

    job.set(3, 3);
    job.end();
    tickUntilEnded(window);
    EXPECT_EQ(window.lblShowTime->text().toStdString(), "100 % 変換終了  /  7 秒経過");
    EXPECT_EQ(window.shpProgress->width(), 545);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.cmdExit->isEnabled());
    EXPECT_FALSE(window.timer->isActive());
    EXPECT_EQ(job.finishCalls, 1);

    window.cmdExit->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
}

TEST_F(ProgressWindow, EightRowsRoundToEvenAndSingleFileRunsGoByQuarters)
{
    frmProgress window(job, settings);
    EndOnExit guard{job};
    window.runConversion();
    job.set(1, 8);
    window.timer_Timer();
    EXPECT_TRUE(window.lblShowTime->text().startsWith("12 % "));
    job.set(3, 8);
    window.timer_Timer();
    EXPECT_TRUE(window.lblShowTime->text().startsWith("38 % "));
    for (int step = 1; step <= 4; ++step) {
        job.set(step, 4);
        window.timer_Timer();
        EXPECT_TRUE(window.lblShowTime->text().startsWith(QString::number(25 * step) + " % "));
        EXPECT_EQ(window.shpProgress->width(), int(std::lround(545.0 * step / 4)));
    }
}

TEST_F(ProgressWindow, ElapsedTimeIsTakenFromTheWindowsClock)
{
    frmProgress window(job, settings);
    EndOnExit guard{job};
    int64_t now = 59900;
    window.setClock([&now] { return now; });
    window.runConversion();
    job.set(1, 2);
    window.timer_Timer();
    EXPECT_EQ(window.lblShowTime->text().toStdString(), "50 % 変換終了  /  59 秒経過");
    now = 60000;
    window.timer_Timer();
    EXPECT_EQ(window.lblShowTime->text().toStdString(), "50 % 変換終了  /  1 分 0 秒経過");
    now = 3725000;
    window.timer_Timer();
    EXPECT_EQ(window.lblShowTime->text().toStdString(), "50 % 変換終了  /  62 分 5 秒経過");
}

TEST_F(ProgressWindow, AutoCloseClosesAtTheFirstTickAfterTheEnd)
{
    settings.dialogAutoClose = true;
    frmProgress window(job, settings);
    window.show();
    window.runConversion();
    job.set(2, 2);
    job.end();
    tickUntilEnded(window);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
}

TEST_F(ProgressWindow, TogglingTheBoxDuringTheRunDecidesItsEndAndIsStored)
{
    frmProgress window(job, settings);
    window.show();
    window.runConversion();
    job.set(1, 2);
    window.timer_Timer();
    window.chkDialogAutoClose->click();
    EXPECT_TRUE(settings.dialogAutoClose);
    job.set(2, 2);
    job.end();
    tickUntilEnded(window);
    EXPECT_FALSE(window.isVisible());

    FakeJob second;
    frmProgress again(second, settings);
    EXPECT_TRUE(again.chkDialogAutoClose->isChecked());
    again.chkDialogAutoClose->click();
    EXPECT_FALSE(settings.dialogAutoClose);
}

TEST_F(ProgressWindow, EmptyRunFinishesAtOnce)
{
    frmProgress window(job, settings);
    window.show();
    window.runConversion();
    job.end(); // counters stay 0
    tickUntilEnded(window);
    EXPECT_TRUE(window.cmdExit->isEnabled());
    EXPECT_EQ(window.shpProgress->width(), 545);
    EXPECT_TRUE(window.lblShowTime->text().startsWith("100 % "));
    window.close();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ProgressWindow, ShowsTheJobsMessageAsAPlainBoxBeforeFinishing)
{
    job.message = "変換対象のファイルは存在しません。ファイル名を確認してください";
    frmProgress window(job, settings);
    window.show();
    window.runConversion();
    job.set(4, 4);
    job.end();

    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    bool buttonEnabledDuringMessage = true;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        buttonEnabledDuringMessage = window.cmdExit->isEnabled();
        box->accept();
    });
    tickUntilEnded(window);
    EXPECT_EQ(title.toStdString(), "Qvo");
    EXPECT_EQ(text.toStdString(), job.message);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_FALSE(buttonEnabledDuringMessage);
    EXPECT_TRUE(window.cmdExit->isEnabled());
}

TEST_F(ProgressWindow, ShowingStartsTheRunByItself)
{
    frmProgress window(job, settings);
    EndOnExit guard{job};
    window.show();
    EXPECT_FALSE(window.isRunning());
    QApplication::processEvents();
    EXPECT_TRUE(window.isRunning());
    EXPECT_TRUE(window.timer->isActive());
}
