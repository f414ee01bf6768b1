// The modal window in which every conversion runs.
//
// The run goes on a worker thread so that the window keeps painting and its
// 100 ms timer keeps counting while an archiver library call blocks for
// minutes.  The timer reads the run's counters; the window finishes when the
// worker has returned.  A run cannot be stopped: the button stays disabled
// and the close box does nothing until the run is over.
#pragma once
#include "convert/conversion_engine.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace qvo::ui {

// The work a progress window shows.
class ProgressJob {
public:
    virtual ~ProgressJob() = default;
    // Called once, on the worker thread.
    virtual void run() = 0;
    // Read by the window's timer while run() goes on.
    virtual const convert::ConversionCounters &counters() const = 0;
    // Called on the window thread after run() has returned: settles what the
    // run handed over and returns a message to show, or "" for none.
    virtual std::string finish() { return {}; }
};

// doneCount / totalCount as a whole percentage, halves to the even
// neighbour (12.5 gives 12, 37.5 gives 38).
int progressPercent(int32_t done, int32_t total);

// The caption of lblShowTime: "40 % 変換終了  /  7 秒経過", with minutes
// ("2 分 5 秒経過") only from one minute on.
QString progressCaption(int percent, int64_t elapsedMs);

// The text of the message shown when a single-file run did not succeed;
// "" for success (and for a run that did not take place).
std::string singleFileFailureMessage(convert::SingleFileOutcome outcome);

class frmProgress : public QDialog {
    Q_OBJECT
public:
    // `settings` supplies and receives dialogAutoClose.
    frmProgress(ProgressJob &job, settings::clsQvoSettings &settings, QWidget *parent = nullptr);
    ~frmProgress() override;

    // Shows the window modally and converts what the settings (and, in
    // multiple-file mode, `rows`) name; returns when the window has closed.
    // The rows are read before the run and updated on this thread.
    static void showModal(settings::clsQvoSettings &settings, backends::clsArchiveCtrl &controller,
                          convert::ConversionRows *rows);

    // Starts the run once; later calls do nothing.  Activation calls it.
    void runConversion();
    // One tick of the display: bar, percentage, elapsed time, and the end.
    void timer_Timer();

    // Escape: ignored while the run goes on.
    void reject() override;

    bool isRunning() const { return started_ && !ended_; }
    bool hasEnded() const { return ended_; }
    // Milliseconds since the window was loaded; tests replace the clock.
    void setClock(std::function<int64_t()> elapsedMs) { clock_ = std::move(elapsedMs); }

    // Controls, in creation order.
    QTimer *timer = nullptr;
    QPushButton *cmdExit = nullptr;
    QFrame *frmGraph = nullptr;
    QFrame *shpBorder = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QFrame *Line2 = nullptr;
    QFrame *Line3 = nullptr;
    QLabel *Label5 = nullptr;
    QFrame *Line4 = nullptr;
    QLabel *lblShowTime = nullptr;
    QFrame *shpProgress = nullptr;
    QCheckBox *chkDialogAutoClose = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showProgress(int32_t done, int32_t total);
    void finishRun();

    ProgressJob &job_;
    settings::clsQvoSettings &settings_;
    QElapsedTimer startTick_;
    std::function<int64_t()> clock_;
    std::thread worker_;
    std::atomic<bool> workerDone_{false};
    bool started_ = false;
    bool ended_ = false;
};

} // namespace qvo::ui
