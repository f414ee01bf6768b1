#include "ui/frmMain.h"

#include "backends/archive_properties.h"
#include "base/digit_groups.h"
#include "core/application.h"
#include "core/globals.h"
#include "platform/file_status.h"
#include "platform/path_helpers.h"
#include "ui/file_list.h"
#include "ui/fit_text.h"
#include "ui/frmSingleFileMode.h"
#include "ui/prompts.h"
#include "ui/size_text.h"
#include "ui/toolbar_images.h"
#include "ui/twips.h"
#include "ui/window_links.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolBar>

#include <algorithm>
#include <cmath>


namespace qvo::ui {
namespace {

constexpr const char *kKeyAddFile = "keyAddFile";
constexpr const char *kKeyAddFileFromFolder = "keyAddFileFromFolder";
constexpr const char *kKeyDeleteList = "keyDeleteList";
constexpr const char *kKeyConvert = "keyConvert";
constexpr const char *kKeyConfig = "keyConfig";

constexpr const char *kTargetUnusable =
    QT_TRANSLATE_NOOP("Messages", "指定した形式には変換できません。変換形式を確認してください");
constexpr const char *kSaveFolderMissing =
    QT_TRANSLATE_NOOP("Messages", "指定したフォルダには保存できません。保存フォルダ名を確認してください");

settings::clsQvoSettings &settings() { return *core::appSettings; }

QFrame *groupFrame(QWidget *parent, const QRect &geometry)
{
    auto *frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(geometry);
    return frame;
}

template <class W> W *place(W *widget, const QRect &geometry)
{
    widget->setGeometry(geometry);
    return widget;
}

// At a fractional scale a frame whose top edge falls between device pixels
// may be drawn without that edge.  The frames lie at multiples of 8 pixels in
// the client area, so of the shifts that make room for the toolbar the
// first that puts the shifted client area on a whole device pixel is taken
// (`clientTop`: the menu bar's height above it).
int toolbarShift(int extra, int clientTop, qreal ratio)
{
    extra = std::max(extra, 0);
    for (int shift = extra; shift < extra + 8; ++shift) {
        const qreal device = (clientTop + shift) * ratio;
        if (std::abs(device - std::round(device)) < 0.01)
            return shift;
    }
    return extra;
}

// A toolbar taller than its design height (captions in a CJK font, a denser
// screen) pushes everything below it down instead of covering the list.
void makeRoomForToolbar(QWidget *client, QToolBar *toolbar, int clientTop)
{
    const int extra = toolbarShift(toolbar->sizeHint().height() - toolbar->height(), clientTop,
                                   client->devicePixelRatioF());
    if (extra <= 0)
        return;
    toolbar->resize(toolbar->width(), toolbar->height() + extra);
    for (QWidget *child : client->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child != toolbar)
            child->move(child->x(), child->y() + extra);
    client->setFixedSize(client->width(), client->height() + extra);
}

// The total sits between the list and the save-folder frame; when its text
// is taller than that gap it takes the room from the list.  The list gives
// it up in steps of 4 pixels: at scale factors in quarters its bottom edge
// then falls where Qt draws it, as at the designed height.
void fitTotalLabel(QLabel *total, QWidget *list, int frameTop)
{
    if (total->y() + total->height() <= frameTop)
        return;
    total->move(total->x(), frameTop - total->height());
    const int over = list->y() + list->height() + 2 - total->y();
    if (over > 0)
        list->resize(list->width(), list->height() - (over + 3) / 4 * 4);
}

} // namespace

std::string saveDriveShortageMessage(const std::string &drive, double figure)
{
    return QCoreApplication::translate("Messages", "保存先の %1 の空き容量が不足しています。変換を行うことができません\r\n"
                                                   "あと %2 KBの空き容量が必要です")
        .arg(QString::fromStdString(drive), QString::fromStdString(base::groupedDigits(std::llround(figure))))
        .toStdString();
}

frmMain::frmMain()
    : startConversion(links::startConversion), terminate([] { core::terminateApplication(); })
{
    setWindowTitle(QStringLiteral("Qvo"));
    setWindowIcon(links::programIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto *client = new QWidget(this);
    QFont font = client->font();
    font.setPixelSize(12);
    client->setFont(font);
    client->setFixedSize(674, 488);
    setCentralWidget(client);

    buildToolbar(client);
    buildControls(client);
    fitControlsToText(client);
    fitTotalLabel(lblSumFileSize, listFile, frameSaveFolder->y());
    buildMenus();
    makeRoomForToolbar(client, toolbar, menuBar()->sizeHint().height());
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // The list has the keys first, so the menu shortcuts are not taken by
    // the save-folder box's own Ctrl+A and Ctrl+C.
    listFile->setFocus();

    Form_Initialize();
}

frmMain::~frmMain() = default;

void frmMain::buildToolbar(QWidget *client)
{
    toolbar = new QToolBar(client);
    toolbar->setGeometry(0, 0, 674, 37);
    toolbar->setMovable(false);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // Caption under the image within the bar's height.
    toolbar->setContentsMargins(0, 0, 0, 0);
    toolbar->layout()->setContentsMargins(0, 0, 0, 0);
    QFont small = toolbar->font();
    small.setPixelSize(11);
    toolbar->setFont(small);
    auto add = [this](ToolbarImage image, const char *caption, const char *key) {
        QAction *action = toolbar->addAction(toolbarIcon(image), tr(caption));
        action->setData(QString::fromLatin1(key));
        return action;
    };
    tbAddFile = add(ToolbarImage::openFolder, QT_TR_NOOP("追加"), kKeyAddFile);
    tbAddFileFromFolder = add(ToolbarImage::openFolder, QT_TR_NOOP("フォルダから追加"), kKeyAddFileFromFolder);
    tbDeleteList = add(ToolbarImage::cross, QT_TR_NOOP("リストから削除"), kKeyDeleteList);
    toolbar->addSeparator();
    tbConvert = add(ToolbarImage::convert, QT_TR_NOOP("変換"), kKeyConvert);
    toolbar->addSeparator();
    tbConfig = add(ToolbarImage::window, QT_TR_NOOP("設定"), kKeyConfig);
    tbDeleteList->setEnabled(false);
    tbConvert->setEnabled(false);
    connect(toolbar, &QToolBar::actionTriggered, this,
            [this](QAction *action) { toolbar_ButtonClick(action->data().toString()); });
}

void frmMain::buildControls(QWidget *client)
{
    listFile = place(new FileList(client), QRect(8, 40, 505, 297));
    QFont listFont = listFile->font();
    listFont.setPixelSize(11);
    listFile->setFont(listFont);
    connect(listFile, &FileList::filesDropped, this, &frmMain::addDroppedFiles);
    connect(listFile, &FileList::mousePressed, this, &frmMain::listFile_MouseDown);

    lblSumFileSize = place(new QLabel(tr("合計サイズ: %1 KB").arg(0), client), QRect(364, 339, 141, 13));
    lblSumFileSize->setFont(listFont);
    lblSumFileSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    frameConvType = groupFrame(client, QRect(520, 40, 145, 225));
    place(new QLabel(tr("変換形式 :"), frameConvType), QRect(16, 12, 80, 18));
    convTypeGroup = new QButtonGroup(this);
    optConvType = addTargetButtons(frameConvType, convTypeGroup, QRect(24, 36, 117, 20));
    cmdConfigConv = place(new QPushButton(tr("設定(&O)"), frameConvType), QRect(16, 136, 113, 25));
    chkSameTypeConvert = place(new QCheckBox(tr("元の書庫と同じ書庫\n形式でも変換する"), frameConvType),
                               QRect(8, 172, 135, 45));

    cmdChangeMultipleFileMode =
        place(new QPushButton(tr("SingleFileModeへ切り替え"), client), QRect(516, 312, 153, 25));
    // Its caption is wider than the column at the window's font size.
    QFont buttonFont = cmdChangeMultipleFileMode->font();
    buttonFont.setPixelSize(11);
    cmdChangeMultipleFileMode->setFont(buttonFont);

    frameSaveFolder = groupFrame(client, QRect(8, 352, 657, 73));
    lblSaveFolder = place(new QLabel(tr("保存フォルダ名 :"), frameSaveFolder), QRect(16, 14, 110, 18));
    chkSameFolder = place(new QCheckBox(tr("書庫ファイルのあるフォルダと同じフォルダに保存する"),
                                        frameSaveFolder),
                          QRect(150, 12, 330, 22));
    txtSaveFolder = place(new QLineEdit(frameSaveFolder), QRect(24, 38, 441, 24));
    cmdShowSaveFolderDlg =
        place(new QPushButton(tr("参照(&R)"), frameSaveFolder), QRect(560, 36, 81, 25));

    frameActionButton = groupFrame(client, QRect(8, 424, 657, 57));
    chkOverWrite = place(new QCheckBox(tr("同名ファイルがある場合は上書きして保存する"),
                                       frameActionButton),
                         QRect(24, 16, 300, 25));
    cmdConv = place(new QPushButton(tr("変換開始(&C)"), frameActionButton), QRect(392, 12, 113, 33));
    cmdConv->setEnabled(false);
    auto *line = place(new QFrame(frameActionButton), QRect(519, 16, 2, 33));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    cmdExit = place(new QPushButton(tr("終了(&E)"), frameActionButton), QRect(536, 12, 105, 33));

    connect(convTypeGroup, &QButtonGroup::idToggled, this, [](int id, bool checked) {
        if (checked)
            settings().convType = id;
    });
    connect(chkOverWrite, &QCheckBox::toggled, this, [](bool on) { settings().overWrite = on; });
    connect(chkSameTypeConvert, &QCheckBox::toggled, this, [](bool on) { settings().sameTypeConvert = on; });
    connect(chkSameFolder, &QCheckBox::toggled, this, &frmMain::chkSameFolder_Click);
    connect(txtSaveFolder, &QLineEdit::textChanged, this,
            [](const QString &text) { settings().saveFolder = localPath(text); });
    connect(cmdShowSaveFolderDlg, &QPushButton::clicked, this, &frmMain::cmdShowSaveFolderDlg_Click);
    connect(cmdConfigConv, &QPushButton::clicked, this, &frmMain::cmdConfigConv_Click);
    connect(cmdChangeMultipleFileMode, &QPushButton::clicked, this, [] { core::changeMode(0); });
    connect(cmdConv, &QPushButton::clicked, this, &frmMain::convertFiles);
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
}

void frmMain::buildMenus()
{
    mFile = menuBar()->addMenu(tr("ファイル(&F)"));
    mAddFile = mFile->addAction(tr("書庫ファイルをリストに追加する(&O)"));
    mAddFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mAddFolder = mFile->addAction(tr("選んだフォルダから書庫ファイルをリストに追加する(&F)"));
    mAddFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    mSaveList = mFile->addAction(tr("リストを保存する(&S)"));
    mSaveList->setEnabled(false);
    mInitializeList = mFile->addAction(tr("リストを初期化する(&I)"));
    mFile->addSeparator();
    mConvert = mFile->addAction(tr("変換開始(&C)"));
    mConvert->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mFile->addSeparator();
    mExit = mFile->addAction(tr("Qvo を終了する(&E)"));
    mExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(mFile, &QMenu::aboutToShow, this, [this] { mConvert->setEnabled(listFile->rowCount() > 0); });
    connect(mAddFile, &QAction::triggered, this, &frmMain::addFileFromDialog);
    connect(mAddFolder, &QAction::triggered, this, &frmMain::addFilesFromFolder);
    connect(mInitializeList, &QAction::triggered, this, &frmMain::mInitializeList_Click);
    connect(mConvert, &QAction::triggered, this, &frmMain::convertFiles);
    connect(mExit, &QAction::triggered, this, &QWidget::close);

    mSettings = menuBar()->addMenu(tr("設定(&S)"));
    mShowSettings = mSettings->addAction(tr("Qvo の設定(&S)"));
    mShowSettings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mSettings->addSeparator();
    const char *pages[] = {QT_TR_NOOP("全般(&A)"), QT_TR_NOOP("LHA形式(&L)"), QT_TR_NOOP("ZIP形式(&Z)"),
                           QT_TR_NOOP("CAB形式(&C)")};
    for (int i = 0; i < 4; ++i) {
        mShowSettingPage[i] = mSettings->addAction(tr(pages[i]));
        connect(mShowSettingPage[i], &QAction::triggered, this, [this, i] { mShowSettingPage_Click(i); });
    }
    connect(mShowSettings, &QAction::triggered, this, [this] { mShowSettingPage_Click(0); });

    mHelp = menuBar()->addMenu(tr("ヘルプ(&H)"));
    mVersion = mHelp->addAction(tr("バージョン情報(&V)"));
    connect(mVersion, &QAction::triggered, this, [] { links::showAboutWindow(); });

    // The list's popup menu never shows in the bar; its Delete shortcut
    // works from anywhere in the window.
    mListPopup = new QMenu(QStringLiteral("popup_List"), this);
    mRemoveFile = mListPopup->addAction(tr("この書庫ファイルをリストから取り除く(&R)"));
    mRemoveFile->setShortcut(QKeySequence(Qt::Key_Delete));
    mRemoveFile->setShortcutContext(Qt::WindowShortcut);
    mRemoveFile->setEnabled(false);
    addAction(mRemoveFile);
    connect(mRemoveFile, &QAction::triggered, this, &frmMain::mRemoveFile_Click);
    // A row chosen by keyboard can be removed with Delete as well.
    connect(listFile, &QTreeWidget::itemSelectionChanged, this,
            [this] { mRemoveFile->setEnabled(listFile->selectedRow() >= 0); });
}

void frmMain::Form_Initialize()
{
    const settings::clsQvoSettings &s = settings();
    txtSaveFolder->setText(displayPath(s.saveFolder));
    if (s.top + s.left != 0) {
        move(twipsToPixels(s.left), twipsToPixels(s.top));
    } else if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    if (s.sameFolder)
        chkSameFolder->setChecked(true);
    if (s.overWrite)
        chkOverWrite->setChecked(true);
    enableUsableTargets(optConvType);
    selectConvType(s.convType);
    if (s.sameTypeConvert)
        chkSameTypeConvert->setChecked(true);
}

void frmMain::selectConvType(int32_t index)
{
    chooseTarget(optConvType, convTypeGroup, index);
}

void frmMain::chkSameFolder_Click()
{
    settings().sameFolder = chkSameFolder->isChecked();
    const bool editable = !settings().sameFolder;
    txtSaveFolder->setEnabled(editable);
    lblSaveFolder->setEnabled(editable);
    cmdShowSaveFolderDlg->setEnabled(editable);
}

void frmMain::cmdShowSaveFolderDlg_Click()
{
    const auto chosen = links::browseForFolder(nullptr, std::string(), settings().saveFolder, true);
    if (!chosen)
        return;
    txtSaveFolder->setText(displayPath(*chosen));
    settings().saveFolder = localPath(txtSaveFolder->text());
}

void frmMain::mShowSettingPage_Click(int page)
{
    links::openSettingsDialog(page);
    refillFromSettings();
}

void frmMain::refillFromSettings()
{
    const settings::clsQvoSettings &s = settings();
    chkSameFolder->setChecked(s.sameFolder);
    chkOverWrite->setChecked(s.overWrite);
    chkSameTypeConvert->setChecked(s.sameTypeConvert);
    selectConvType(s.convType);
}

void frmMain::cmdConfigConv_Click()
{
    // A format's settings page follows the general one.
    if (const int index = convTypeGroup->checkedId(); index >= 0)
        mShowSettingPage_Click(index + 1);
}

void frmMain::toolbar_ButtonClick(const QString &key)
{
    if (key == QLatin1String(kKeyAddFile))
        addFileFromDialog();
    else if (key == QLatin1String(kKeyAddFileFromFolder))
        addFilesFromFolder();
    else if (key == QLatin1String(kKeyDeleteList))
        mRemoveFile_Click();
    else if (key == QLatin1String(kKeyConvert))
        convertFiles();
    else if (key == QLatin1String(kKeyConfig))
        mShowSettingPage_Click(0);
}

bool frmMain::addFileToList(const std::string &path)
{
    if (!listFile->addFileToList(path))
        return false;
    calcAllFileSize();
    return true;
}

void frmMain::addFileFromDialog()
{
    const backends::DialogFilter filter =
        core::archiveCtrl ? core::archiveCtrl->dialogFilter(backends::SUPPORT_EXTRACT) : backends::DialogFilter{};
    const std::string chosen = askOpenFileName(this, filter);
    if (!chosen.empty())
        addFileToList(chosen);
    updateCommandState();
}

void frmMain::addFilesFromFolder()
{
    if (const auto chosen = links::browseForFolder(nullptr, std::string(), std::string(), false))
        addFilesInFolder(*chosen);
    updateCommandState();
}

void frmMain::addFilesInFolder(const std::string &folder)
{
    if (folder.empty())
        return;
    const std::string base = platform::appendBackslash(folder);
    std::vector<std::string> files;
    for (const std::string &name : platform::folderEntryNames(folder)) {
        const std::string path = base + name;
        // Plain files only; sub-folders are not entered.  Which files a
        // scan takes is the controller's word, shared with qvo-convert:
        // archives, self-extractors, never documents that are ZIP inside.
        if (platform::regularFileLength(path) >= 0 && core::archiveCtrl &&
            !core::archiveCtrl->checkScannedFile(path, backends::SUPPORT_EXTRACT).empty())
            files.push_back(path);
    }
    for (const std::string &path : files)
        addFileToList(path);
}

void frmMain::addDroppedFiles(const QStringList &paths)
{
    std::vector<std::string> local;
    for (const QString &path : paths)
        local.push_back(localPath(path));
    addPathsFromOutside(local);
}

void frmMain::addPathsFromOutside(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        if (platform::folderExists(path))
            addFilesInFolder(path);
        else
            addFileToList(path);
    }
    updateCommandState();
}

void frmMain::mRemoveFile_Click()
{
    const int row = listFile->selectedRow();
    if (row >= 0)
        listFile->removeListRow(row);
    calcAllFileSize();
    updateCommandState();
}

void frmMain::mInitializeList_Click()
{
    listFile->clearRows();
    calcAllFileSize();
    updateCommandState();
}

void frmMain::listFile_MouseDown(Qt::MouseButton button, const QPoint &globalPos)
{
    mRemoveFile->setEnabled(listFile->selectedRow() >= 0);
    if (button == Qt::RightButton)
        mListPopup->popup(globalPos);
}

int32_t frmMain::calcAllFileSize()
{
    const int64_t total = listFile->totalKB();
    lblSumFileSize->setText(tr("合計サイズ: %1 KB").arg(QString::fromStdString(base::groupedDigits(total))));
    return static_cast<int32_t>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
}

void frmMain::updateCommandState()
{
    const bool hasRows = listFile->rowCount() > 0;
    cmdConv->setEnabled(hasRows);
    tbDeleteList->setEnabled(hasRows);
    tbConvert->setEnabled(hasRows);
    // Kept current here too, so that its shortcut follows the list even when
    // the menu has not been opened since.
    mConvert->setEnabled(hasRows);
}

void frmMain::convertFiles()
{
    // A run over no rows would never end its progress window.
    if (listFile->rowCount() == 0)
        return;
    settings::clsQvoSettings &s = settings();
    if (!targetUsable(optConvType, s.convType)) {
        showMessage(this, kTargetUnusable);
        return;
    }
    if (!s.sameFolder) {
        if (!platform::folderExists(s.saveFolder)) {
            showMessage(this, kSaveFolderMissing);
            return;
        }
        const std::string drive = platform::getDriveName(localPath(txtSaveFolder->text()));
        const int64_t freeBytes = platform::getDiskFreeSpace(drive);
        const int64_t total = calcAllFileSize();
        if (freeBytes < total * 2000) {
            showMessage(this, saveDriveShortageMessage(drive, static_cast<double>(total) * 3.0 -
                                                                  static_cast<double>(freeBytes) / 1000.0));
            return;
        }
    }
    startConversion(listFile, calcAllFileSize());
    for (int row = listFile->rowCount() - 1; row >= 0; --row)
        if (listFile->status(row) == convert::kStatusSucceeded)
            listFile->removeListRow(row);
    calcAllFileSize();
    updateCommandState();
}

void frmMain::showEvent(QShowEvent *event)
{
    refillFromSettings();
    QMainWindow::showEvent(event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_QueryUnload();
}

void frmMain::Form_QueryUnload()
{
    if (unloading_)
        return;
    unloading_ = true;
    settings().top = pixelsToTwips(y());
    settings().left = pixelsToTwips(x());
    if (singleFileWindow_)
        singleFileWindow_->unloadFromMainWindow();
    terminate();
}

} // namespace qvo::ui
