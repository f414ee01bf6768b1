#include "ui/frmSingleFileMode.h"

#include "backends/archive_properties.h"
#include "core/application.h"
#include "core/globals.h"
#include "platform/file_status.h"
#include "convert/target_names.h"
#include "platform/path_helpers.h"
#include "ui/fit_text.h"
#include "ui/frmMain.h"
#include "ui/path_box.h"
#include "ui/prompts.h"
#include "ui/size_text.h"
#include "ui/twips.h"
#include "ui/window_links.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

namespace qvo::ui {
namespace {

constexpr const char *kTargetUnusable =
    QT_TRANSLATE_NOOP("Messages", "指定した形式には変換できません。変換形式を確認してください");
constexpr const char *kSourceMissing =
    QT_TRANSLATE_NOOP("Messages", "変換対象のファイルは存在しません。ファイル名を確認してください");
constexpr const char *kSourceUnsupported = QT_TRANSLATE_NOOP(
    "Messages", "変換対象のファイルの形式に対応していません。対応した形式のファイルを指定してください");
constexpr const char *kTargetExists =
    QT_TRANSLATE_NOOP("Messages", "変換先ファイル名と同名のファイルが存在しています。上書きして変換しますか？");
constexpr const char *kTargetMissing = QT_TRANSLATE_NOOP("Messages", "変換先ファイル名を指定してください");

settings::clsQvoSettings &settings() { return *core::appSettings; }


template <class W> W *place(W *widget, const QRect &geometry)
{
    widget->setGeometry(geometry);
    return widget;
}

} // namespace

frmSingleFileMode::frmSingleFileMode() : startConversion(links::startConversion)
{
    setWindowTitle(QStringLiteral("Qvo(Single File Mode)"));
    setWindowIcon(links::programIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto *client = new QWidget(this);
    QFont font = client->font();
    font.setPixelSize(12);
    client->setFont(font);
    client->setFixedSize(600, 236);
    setCentralWidget(client);
    buildControls(client);
    fitControlsToText(client);

    mFile = menuBar()->addMenu(tr("表示(&W)"));
    mShowOption = mFile->addAction(tr("設定(&O)"));
    mShowVersionInfo = mFile->addAction(tr("バージョン情報(&V)"));
    mExit = mFile->addAction(tr("終了(&E)"));
    connect(mShowOption, &QAction::triggered, this, [] { links::openSettingsDialog(0); });
    connect(mShowVersionInfo, &QAction::triggered, this, [] { links::showAboutWindow(); });
    connect(mExit, &QAction::triggered, this, &QWidget::close);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Form initialize: only the formats whose libraries are present.
    enableUsableTargets(optConvType);
    Form_Load();
}

frmSingleFileMode::~frmSingleFileMode() = default;

void frmSingleFileMode::buildControls(QWidget *client)
{
    Frame1 = place(new QGroupBox(tr("変換元ファイル名"), client), QRect(16, 16, 409, 81));
    txtArchiveFileName = place(new PathBox(true, Frame1), QRect(16, 22, 377, 22));
    cmdArchiveFileDlg = place(new QPushButton(tr("参照"), Frame1), QRect(336, 49, 57, 25));

    frameConvToFile = place(new QGroupBox(tr("変換先ファイル名"), client), QRect(16, 104, 409, 81));
    txtConvToFileName = place(new PathBox(false, frameConvToFile), QRect(16, 22, 377, 22));
    cmdConvToFileDlg = place(new QPushButton(tr("参照"), frameConvToFile), QRect(336, 49, 57, 25));

    // Not inside the target frame, so it stays usable when the frame is not.
    chkSameName = place(new QCheckBox(tr("変換元ファイルと同じファイル名で保存する"), client),
                        QRect(32, 152, 290, 22));
    chkSameName->raise();

    frameConvType = place(new QGroupBox(tr("変換形式"), client), QRect(432, 16, 153, 169));
    convTypeGroup = new QButtonGroup(this);
    optConvType = addTargetButtons(frameConvType, convTypeGroup, QRect(16, 22, 125, 20));
    cmdConfigConvButton =
        place(new QPushButton(tr("設定(&O)"), frameConvType), QRect(16, 128, 121, 25));

    cmdConv = place(new QPushButton(tr("変換(&C)"), client), QRect(208, 200, 89, 25));
    cmdExit = place(new QPushButton(tr("終了"), client), QRect(312, 200, 89, 25));
    cmdChangeMultipleFileMode =
        place(new QPushButton(tr("MultipleFileModeへ切り替え"), client), QRect(426, 200, 165, 25));

    connect(txtArchiveFileName, &PathBox::clicked, this,
            [this] { settings().singleBeforeFileName = localPath(txtArchiveFileName->text()); });
    connect(txtArchiveFileName, &PathBox::fileDropped, this,
            [this] { settings().singleBeforeFileName = localPath(txtArchiveFileName->text()); });
    connect(txtConvToFileName, &PathBox::clicked, this,
            [this] { settings().singleConvToFileName = localPath(txtConvToFileName->text()); });
    connect(cmdArchiveFileDlg, &QPushButton::clicked, this, &frmSingleFileMode::cmdArchiveFileDlg_Click);
    connect(cmdConvToFileDlg, &QPushButton::clicked, this, &frmSingleFileMode::cmdConvToFileDlg_Click);
    connect(chkSameName, &QCheckBox::toggled, this, &frmSingleFileMode::chkSameName_Click);
    connect(convTypeGroup, &QButtonGroup::idToggled, this, [](int id, bool checked) {
        if (checked)
            settings().singleConvType = id;
    });
    connect(cmdConfigConvButton, &QPushButton::clicked, this, &frmSingleFileMode::cmdConfigConv_Click);
    connect(cmdConv, &QPushButton::clicked, this, &frmSingleFileMode::convertSingleFile);
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdChangeMultipleFileMode, &QPushButton::clicked, this, [] { core::changeMode(1); });
}

void frmSingleFileMode::Form_Load()
{
    const settings::clsQvoSettings &s = settings();
    txtArchiveFileName->setText(displayPath(s.singleBeforeFileName));
    txtConvToFileName->setText(displayPath(s.singleConvToFileName));
    chooseTarget(optConvType, convTypeGroup, s.singleConvType);
    if (s.singleSameName)
        chkSameName->setChecked(true);
    move(twipsToPixels(s.singleLeft), twipsToPixels(s.singleTop));
}

void frmSingleFileMode::chkSameName_Click()
{
    const bool followSource = chkSameName->isChecked();
    txtConvToFileName->setEnabled(!followSource);
    cmdConvToFileDlg->setEnabled(!followSource);
    frameConvToFile->setEnabled(!followSource);
    settings().singleSameName = followSource;
}

void frmSingleFileMode::takeSourceFile(const std::string &path)
{
    txtArchiveFileName->setText(displayPath(path));
    settings().singleBeforeFileName = localPath(txtArchiveFileName->text());
}

void frmSingleFileMode::cmdArchiveFileDlg_Click()
{
    const backends::DialogFilter filter =
        core::archiveCtrl ? core::archiveCtrl->dialogFilter(backends::SUPPORT_EXTRACT) : backends::DialogFilter{};
    const std::string chosen = askOpenFileName(this, filter);
    if (chosen.empty())
        return;
    txtArchiveFileName->setText(displayPath(chosen));
    settings().singleBeforeFileName = localPath(txtArchiveFileName->text());
}

void frmSingleFileMode::cmdConvToFileDlg_Click()
{
    const backends::DialogFilter filter =
        core::archiveCtrl ? core::archiveCtrl->dialogFilter(backends::SUPPORT_COMPRESS) : backends::DialogFilter{};
    const std::string chosen = askSaveFileName(this, filter);
    if (chosen.empty())
        return;
    txtConvToFileName->setText(displayPath(chosen));
    settings().singleConvToFileName = localPath(txtConvToFileName->text());
}

void frmSingleFileMode::cmdConfigConv_Click()
{
    // A format's settings page follows the general one.
    if (const int index = convTypeGroup->checkedId(); index >= 0)
        links::openSettingsDialog(index + 1);
}

void frmSingleFileMode::convertSingleFile()
{
    settings::clsQvoSettings &s = settings();
    // The run converts what the settings name: take what the boxes show,
    // so a typed path is never silently replaced by an older one.
    s.singleBeforeFileName = localPath(txtArchiveFileName->text());
    s.singleConvToFileName = localPath(txtConvToFileName->text());

    if (!targetUsable(optConvType, s.singleConvType)) {
        showMessage(this, kTargetUnusable);
        return;
    }
    if (!platform::fileExists(s.singleBeforeFileName)) {
        showMessage(this, kSourceMissing);
        return;
    }
    if (!core::archiveCtrl
        || core::archiveCtrl->checkArchive(s.singleBeforeFileName, backends::SUPPORT_EXTRACT).empty()) {
        showMessage(this, kSourceUnsupported);
        return;
    }
    // An empty box names no file: the run would write one called ".lzh" in
    // the current folder.
    if (!s.singleSameName && convert::fileNamePart(s.singleConvToFileName).empty()) {
        showMessage(this, kTargetMissing);
        return;
    }

    const std::string savePath = s.singleSameName ? s.singleBeforeFileName : s.singleConvToFileName;
    const std::string drive = platform::getDriveName(savePath);
    const int64_t freeBytes = platform::getDiskFreeSpace(drive);
    const int64_t size = std::max<int64_t>(platform::regularFileLength(s.singleBeforeFileName), 0);
    if (freeBytes < 2 * size) {
        showMessage(this, saveDriveShortageMessage(drive, 3.0 * static_cast<double>(size) / 1000.0 -
                                                              static_cast<double>(freeBytes) / 1000.0));
        return;
    }

    // The question is about the very file the run writes.
    const std::string target = convert::singleRunTarget(s);
    if (platform::fileExists(target) && !showMessage(this, kTargetExists, MessageButtons::OkCancel))
        return;

    startConversion(nullptr, std::llround(static_cast<double>(size) / 1000.0));
}

void frmSingleFileMode::storeFields()
{
    settings::clsQvoSettings &s = settings();
    s.singleBeforeFileName = localPath(txtArchiveFileName->text());
    s.singleConvToFileName = localPath(txtConvToFileName->text());
    s.singleSameName = chkSameName->isChecked();
    s.singleTop = pixelsToTwips(y());
    s.singleLeft = pixelsToTwips(x());
}

void frmSingleFileMode::unloadFromMainWindow()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    storeFields();
    hide();
}

void frmSingleFileMode::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (unloaded_)
        return;
    unloaded_ = true;
    storeFields();
    // Closing either main window ends the program through the other one.
    if (mainWindow_)
        mainWindow_->Form_QueryUnload();
}

} // namespace qvo::ui
