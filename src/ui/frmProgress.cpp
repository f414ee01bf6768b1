#include "ui/frmProgress.h"

#include "ui/fit_text.h"
#include "ui/prompts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace qvo::ui {
namespace {

// Form positions are in twips; 15 twips make a pixel at 96 dpi.
constexpr int px(int twips) { return twips / 15; }

constexpr int kTimerIntervalMs = 100;
constexpr int kBorderWidthTwips = 8175;

QFrame *line(QWidget *parent, int x, int yTop, int yBottom)
{
    auto *l = new QFrame(parent);
    l->setGeometry(px(x), px(yTop), 1, px(yBottom) - px(yTop));
    l->setStyleSheet("background-color: rgb(128, 128, 128);");
    return l;
}

QLabel *label(QWidget *parent, const QString &text, int x, int y, int w, int h)
{
    auto *l = new QLabel(text, parent);
    // The form's sizes were made for a narrower font with almost no line
    // gap: the label grows to its text, rightwards.
    const QSize hint = l->sizeHint();
    l->setGeometry(px(x), px(y), std::max(px(w), hint.width()), std::max(px(h), hint.height()));
    return l;
}

// At its design place the check box's text runs past the window's right
// edge: the box moves left as far as it must, keeping clear of the button,
// and the button makes way when that is not enough.
void keepCheckBoxBesideButton(QPushButton *button, QCheckBox *box)
{
    constexpr int kGap = 6;
    const int right = box->parentWidget()->width() - 2;
    const int need = box->sizeHint().width();
    const int x = std::max(0, std::min(box->x(), right - need));
    const int buttonRight = x - kGap;
    if (button->x() + button->width() > buttonRight)
        button->move(std::max(0, buttonRight - button->width()), button->y());
    box->setGeometry(x, box->y(), std::min(need, right - x), box->height());
}

} // namespace

int progressPercent(int32_t done, int32_t total)
{
    if (total <= 0)
        return 0;
    // Exact in integers: 100 * done / total, ties to even.
    const int64_t scaled = int64_t(done) * 100;
    int64_t q = scaled / total;
    const int64_t twiceRest = (scaled % total) * 2;
    if (twiceRest > total || (twiceRest == total && (q & 1)))
        ++q;
    return int(q);
}

QString progressCaption(int percent, int64_t elapsedMs)
{
    const int64_t seconds = std::max<int64_t>(elapsedMs, 0) / 1000;
    const int64_t minutes = seconds / 60;
    if (minutes > 0)
        return frmProgress::tr("%1 % 変換終了  /  %2 分 %3 秒経過")
            .arg(QString::number(percent), QString::number(minutes), QString::number(seconds - 60 * minutes));
    return frmProgress::tr("%1 % 変換終了  /  %2 秒経過").arg(QString::number(percent), QString::number(seconds));
}

std::string singleFileFailureMessage(convert::SingleFileOutcome outcome)
{
    switch (outcome) {
    case convert::SingleFileOutcome::NotRun:
    case convert::SingleFileOutcome::Succeeded:
        return {};
    case convert::SingleFileOutcome::SourceMissing:
        return convert::kSourceMissingMessage;
    case convert::SingleFileOutcome::ExtractFailed:
        return QT_TRANSLATE_NOOP("Messages", "変換対象のファイルを展開できませんでした。書庫が壊れていないか確認してください");
    case convert::SingleFileOutcome::CompressFailed:
        return QT_TRANSLATE_NOOP("Messages", "変換後のファイルを作成できませんでした。保存先と空き容量を確認してください");
    case convert::SingleFileOutcome::Failed:
        break;
    }
    return QT_TRANSLATE_NOOP("Messages", "変換を行うことができませんでした。作業フォルダと保存先を確認してください");
}

frmProgress::frmProgress(ProgressJob &job, settings::clsQvoSettings &settings, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      job_(job), settings_(settings)
{
    setWindowTitle(tr(" 変換状況"));
    setModal(true);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(px(9315), px(2505));

    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &frmProgress::timer_Timer);

    cmdExit = new QPushButton(tr("閉じる"), this);
    cmdExit->setGeometry(px(3840), px(1800), px(1575), px(495));
    connect(cmdExit, &QPushButton::clicked, this, &QDialog::accept);

    frmGraph = new QFrame(this);
    frmGraph->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frmGraph->setGeometry(px(120), px(120), px(9015), px(1455));

    shpBorder = new QFrame(frmGraph);
    shpBorder->setObjectName("shpBorder");
    shpBorder->setStyleSheet("#shpBorder { border: 1px solid rgb(128, 128, 128); }");
    shpBorder->setGeometry(px(360), px(480), px(kBorderWidthTwips), px(375));

    Label1 = label(frmGraph, tr("変換状況 : "), 240, 240, 870, 180);
    Label3 = label(frmGraph, QStringLiteral("0%"), 300, 1005, 180, 180);
    Label4 = label(frmGraph, QStringLiteral("100%"), 8340, 1005, 360, 180);
    Line2 = line(frmGraph, 360, 720, 960);
    Line3 = line(frmGraph, 8520, 720, 960);
    Label5 = label(frmGraph, QStringLiteral("50%"), 4320, 1005, 270, 180);
    Line4 = line(frmGraph, 4440, 480, 960);
    // Widened to the left so that "100 % 変換終了  /  59 分 59 秒経過"
    // fits; the right end stays over the end of the bar.
    lblShowTime = label(frmGraph, tr("0 %  変換終了 /  0 秒経過"), 5280, 240, 3240, 180);
    lblShowTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    shpProgress = new QFrame(frmGraph);
    shpProgress->setObjectName("shpProgress");
    shpProgress->setStyleSheet(
        "#shpProgress { background-color: rgb(198, 222, 255); border: 1px solid rgb(128, 128, 128); }");
    shpProgress->setGeometry(px(360), px(480), 0, px(375));
    shpProgress->hide();

    chkDialogAutoClose = new QCheckBox(tr("変換終了後、自動的にダイアログを閉じる"), this);
    chkDialogAutoClose->setGeometry(px(5640), px(1920), px(3735), px(255));
    chkDialogAutoClose->setChecked(settings_.dialogAutoClose);
    connect(chkDialogAutoClose, &QCheckBox::toggled, this,
            [this](bool checked) { settings_.dialogAutoClose = checked; });

    fitControlsToText(this);
    keepCheckBoxBesideButton(cmdExit, chkDialogAutoClose);

    // The button stays disabled for the whole run.
    cmdExit->setEnabled(false);
    startTick_.start();
    clock_ = [this] { return startTick_.elapsed(); };
}

frmProgress::~frmProgress()
{
    // The job outlives the window only if the worker has let go of it.
    if (worker_.joinable())
        worker_.join();
}

void frmProgress::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Start once the window is on screen.
    if (!started_)
        QTimer::singleShot(0, this, &frmProgress::runConversion);
}

void frmProgress::runConversion()
{
    if (started_)
        return;
    started_ = true;
    timer->start(kTimerIntervalMs);
    worker_ = std::thread([this] {
        try {
            job_.run();
        } catch (...) {
            // The job reports its failures itself; the window must still end.
        }
        workerDone_.store(true);
    });
}

void frmProgress::timer_Timer()
{
    if (ended_)
        return;
    const convert::ConversionCounters &counters = job_.counters();
    const bool done = workerDone_.load();
    const int32_t total = counters.totalCount.load();
    const int32_t doneCount = counters.doneCount.load();
    if (!done) {
        if (doneCount == 0 && total == 0)
            return;
        showProgress(doneCount, total);
        return;
    }
    worker_.join();
    // An empty run has nothing to count: it is complete at once.
    if (total == 0)
        showProgress(1, 1);
    else
        showProgress(doneCount, total);
    finishRun();
}

void frmProgress::showProgress(int32_t done, int32_t total)
{
    if (total <= 0)
        return;
    const int percent = progressPercent(done, total);
    const double widthTwips = double(kBorderWidthTwips) / total * std::clamp(done, 0, total);
    const int width = int(std::lround(widthTwips / 15));
    shpProgress->resize(width, shpProgress->height());
    shpProgress->setVisible(width > 0);
    lblShowTime->setText(progressCaption(percent, clock_()));
}

void frmProgress::finishRun()
{
    ended_ = true;
    timer->stop();
    const std::string message = job_.finish();
    if (!message.empty()) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Qvo"), translatedMessage(message),
                        QMessageBox::Ok, this);
        box.exec();
    }
    if (chkDialogAutoClose->isChecked()) {
        accept();
        return;
    }
    cmdExit->setText(tr("閉じる"));
    cmdExit->setEnabled(true);
}

void frmProgress::closeEvent(QCloseEvent *event)
{
    // The run has no stop request: closing now would only hide it.
    if (isRunning()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmProgress::reject()
{
    if (isRunning())
        return;
    QDialog::reject();
}

} // namespace qvo::ui
