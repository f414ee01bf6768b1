#include "ui/frmConfig.h"

#include "backends/name_charsets.h"
#include "core/application.h"
#include "core/globals.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

namespace qvo::ui {
namespace {

// Form positions are in twips; 15 twips make a pixel at 96 dpi.
constexpr int px(int twips) { return twips / 15; }

// Places `w` at its form position.  The sizes were made for a narrower
// font than the CJK fonts found here: a control whose text would be cut is
// widened as far as its page allows, and made as tall as its text.
template <typename W>
W *place(W *w, int left, int top, int width, int height)
{
    const QSize hint = w->sizeHint();
    int wPx = std::max(px(width), hint.width());
    if (QWidget *parent = w->parentWidget())
        wPx = std::min(wPx, std::max(px(width), parent->width() - px(left) - 4));
    w->setGeometry(px(left), px(top), wPx, std::max(px(height), hint.height()));
    return w;
}

QComboBox *list(QWidget *parent, std::initializer_list<const char *> items)
{
    auto *combo = new QComboBox(parent);
    for (const char *item : items)
        combo->addItem(frmConfig::tr(item));
    return combo;
}

} // namespace

frmConfig::frmConfig(settings::clsQvoSettings &settings, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      settings_(settings)
{
    setWindowTitle(tr(" 設定"));
    setModal(true);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    // Taller than the settings of old by one row, for the names' encoding.
    setFixedSize(px(6600), px(5715));

    for (size_t i = 0; i < framePage.size(); ++i) {
        framePage[i] = new QFrame(this);
        framePage[i]->setFrameStyle(QFrame::Box | QFrame::Sunken);
        framePage[i]->setGeometry(px(240), px(240), px(6135), px(4695));
        framePage[i]->setAutoFillBackground(true);
    }
    buildGeneralPage(framePage[0]);
    buildLHAPage(framePage[1]);
    buildZIPPage(framePage[2]);
    buildCABPage(framePage[3]);

    // Lies over the top edge of the pages, in front of all of them.
    cmbPageList = list(this, {QT_TR_NOOP(" 全般設定"), QT_TR_NOOP(" LHA形式の設定"), QT_TR_NOOP(" ZIP形式の設定"),
                              QT_TR_NOOP(" CAB形式の設定")});
    place(cmbPageList, 480, 240, 2295, 300);

    cmdOK = place(new QPushButton(QStringLiteral("OK"), this), 3240, 5160, 1335, 375);
    cmdCancel = place(new QPushButton(tr("キャンセル"), this), 4920, 5160, 1335, 375);
    cmdOK->setDefault(true);

    connect(cmbPageList, &QComboBox::currentIndexChanged, this, &frmConfig::cmbPageList_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmConfig::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    cmbPageList->setCurrentIndex(kPageGeneral);
    cmbPageList_Click();
    Form_Load();
}

void frmConfig::buildGeneralPage(QFrame *page)
{
    Label2 = place(new QLabel(tr("動作設定 :"), page), 360, 600, 810, 180);
    optMode[0] = place(new QRadioButton(QStringLiteral("Single File Mode"), page), 480, 960, 1695, 255);
    optMode[1] = place(new QRadioButton(QStringLiteral("Multiple File Mode"), page), 2640, 960, 2175, 255);
    auto *modes = new QButtonGroup(page);
    for (int i = 0; i < 2; ++i) {
        modes->addButton(optMode[size_t(i)], i);
        connect(optMode[size_t(i)], &QRadioButton::clicked, this, [this, i] { selectedMode_ = i; });
    }
    chkBackGroundConvert = place(
        new QCheckBox(tr("バックグラウンド変換を行う（Multiple File Modeのみ）"), page), 600, 1320, 4455, 255);
    chkDialogAutoClose =
        place(new QCheckBox(tr("変換終了後、自動的にダイアログを閉じる"), page), 480, 1680, 4095, 255);
    chkDeleteBeforeFile =
        place(new QCheckBox(tr("変換後、元の書庫を削除する"), page), 480, 2040, 4095, 255);
    Label3 = place(new QLabel(tr("変換設定 :"), page), 360, 2520, 810, 180);
    chkUseUpperExtension =
        place(new QCheckBox(tr("変換したファイルの拡張子を大文字にする"), page), 480, 2880, 4095, 255);
    chkSameTypeConvert =
        place(new QCheckBox(tr("元の書庫と同じ書庫形式でも変換する"), page), 480, 3240, 4095, 255);
    chkOverWrite =
        place(new QCheckBox(tr("同名ファイルがある場合は上書きして保存する"), page), 480, 3600, 4095, 255);
    buildNameCharsetRow(page);
}

// The encoding of member names that archives do not mark: 自動判別 (judged
// per archive) first, then each encoding the libraries take, by language.
void frmConfig::buildNameCharsetRow(QFrame *page)
{
    static const std::pair<const char *, const char *> kLabels[] = {
        {"CP932", QT_TR_NOOP("日本語 (Shift_JIS / CP932)")},
        {"EUC-JP", QT_TR_NOOP("日本語 (EUC-JP)")},
        {"UTF-8", "Unicode (UTF-8)"},
        {"GB18030", QT_TR_NOOP("簡体字中国語 (GBK / GB18030)")},
        {"BIG5", QT_TR_NOOP("繁体字中国語 (Big5)")},
        {"CP949", QT_TR_NOOP("韓国語 (CP949)")},
        {"CP437", QT_TR_NOOP("英語 DOS (CP437)")},
        {"CP850", QT_TR_NOOP("西ヨーロッパ DOS (CP850)")},
        {"CP1252", QT_TR_NOOP("西ヨーロッパ (CP1252)")},
        {"ISO-8859-1", QT_TR_NOOP("西ヨーロッパ (ISO-8859-1)")},
        {"ISO-8859-15", QT_TR_NOOP("西ヨーロッパ (ISO-8859-15)")},
        {"CP1250", QT_TR_NOOP("中央ヨーロッパ (CP1250)")},
        {"CP1251", QT_TR_NOOP("キリル文字 (CP1251)")},
        {"KOI8-R", QT_TR_NOOP("キリル文字 (KOI8-R)")},
        {"CP866", QT_TR_NOOP("キリル文字 DOS (CP866)")},
    };
    lblNameCharset = place(new QLabel(tr("書庫内のファイル名の文字コード :"), page), 480, 3960, 4095, 180);
    cmbNameCharset = new QComboBox(page);
    cmbNameCharset->addItem(tr("自動判別"), QString());
    for (const std::string &charset : backends::nameCharsets()) {
        QString label = QString::fromStdString(charset);
        for (const auto &[name, text] : kLabels)
            if (charset == name)
                label = tr(text);
        cmbNameCharset->addItem(label, QString::fromStdString(charset));
    }
    place(cmbNameCharset, 600, 4260, 3600, 300);
}

void frmConfig::loadNameCharset()
{
    const int index = cmbNameCharset->findData(QString::fromStdString(settings_.archiveNameCharset));
    cmbNameCharset->setCurrentIndex(index >= 0 ? index : 0);
}

void frmConfig::storeNameCharset()
{
    settings_.archiveNameCharset = cmbNameCharset->currentData().toString().toStdString();
}

void frmConfig::buildLHAPage(QFrame *page)
{
    Label1 = place(new QLabel(tr("LHA形式の圧縮率設定 :"), page), 360, 600, 1860, 180);
    cmbLHACompressLevel = place(
        list(page, {QT_TR_NOOP(" lha0 ... 圧縮しない"), " lha1", QT_TR_NOOP(" lha5 ... 標準"), " lha6", " lha7"}), 480,
        960, 4695, 300);
}

void frmConfig::buildZIPPage(QFrame *page)
{
    Label4 = place(new QLabel(tr("ZIP形式の圧縮率設定 :"), page), 360, 600, 1785, 180);
    cmbZIPCompressLevel = place(list(page, {QT_TR_NOOP(" 0 ... 圧縮しない"), QT_TR_NOOP(" 1 ... 一番速い（圧縮率最小）"),
                                            " 2", " 3", " 4", " 5", QT_TR_NOOP(" 6 ... 標準"), " 7", " 8",
                                            QT_TR_NOOP(" 9 ... 一番遅い（圧縮率最大）")}),
                                480, 960, 4695, 300);
}

void frmConfig::buildCABPage(QFrame *page)
{
    Label5 = place(new QLabel(tr("CAB形式の圧縮率設定 :"), page), 360, 600, 1890, 180);
    optCabCompressLevel[0] = place(new QRadioButton(tr("LZX形式"), page), 480, 1080, 1215, 255);
    cmbCABCompressLevelLZX = place(list(page, {QT_TR_NOOP(" 15 ... スピード重視（標準）"), " 16", " 17", " 18", " 19",
                                               " 20", QT_TR_NOOP(" 21 ... 圧縮率重視")}),
                                   2040, 1080, 3495, 300);
    optCabCompressLevel[1] = place(new QRadioButton(tr("MSZIP形式"), page), 480, 1560, 1215, 255);
    optCabCompressLevel[2] = place(new QRadioButton(tr("無圧縮"), page), 480, 2040, 1215, 255);
    auto *kinds = new QButtonGroup(page);
    for (int i = 0; i < 3; ++i) {
        kinds->addButton(optCabCompressLevel[size_t(i)], i);
        connect(optCabCompressLevel[size_t(i)], &QRadioButton::clicked, this,
                [this, i] { optCabCompressLevel_Click(i); });
    }
}

void frmConfig::Form_Load()
{
    const int32_t mode = settings_.mode;
    optMode[mode == 0 ? 0 : 1]->setChecked(true);
    selectedMode_ = mode;

    chkBackGroundConvert->setChecked(settings_.backGroundConvert);
    chkDialogAutoClose->setChecked(settings_.dialogAutoClose);
    chkDeleteBeforeFile->setChecked(settings_.deleteBeforeFile);
    chkUseUpperExtension->setChecked(settings_.useUpperExtension);
    chkSameTypeConvert->setChecked(settings_.sameTypeConvert);
    chkOverWrite->setChecked(settings_.overWrite);
    loadNameCharset();

    // A position outside a list selects nothing; OK then keeps the setting.
    cmbLHACompressLevel->setCurrentIndex(settings_.lhaCompressLevel < cmbLHACompressLevel->count()
                                             ? settings_.lhaCompressLevel : -1);
    cmbZIPCompressLevel->setCurrentIndex(settings_.zipCompressLevel < cmbZIPCompressLevel->count()
                                             ? settings_.zipCompressLevel : -1);

    const int32_t kind = settings_.cabCompressLevel / 10;
    const int32_t position = settings_.cabCompressLevel - 10 * kind;
    if (kind >= 0 && kind < int32_t(optCabCompressLevel.size()))
        optCabCompressLevel[size_t(kind)]->setChecked(true);
    cmbCABCompressLevelLZX->setEnabled(kind == 0);
    cmbCABCompressLevelLZX->setCurrentIndex(
        position >= 0 && position < cmbCABCompressLevelLZX->count() ? position : -1);
}

void frmConfig::selectPage(int page)
{
    if (page < 0 || page >= int(framePage.size()))
        page = kPageGeneral;
    cmbPageList->setCurrentIndex(page);
}

void frmConfig::cmbPageList_Click()
{
    const int current = cmbPageList->currentIndex();
    for (size_t i = 0; i < framePage.size(); ++i)
        framePage[i]->setVisible(int(i) == current);
    if (current >= 0)
        framePage[size_t(current)]->raise();
    cmbPageList->raise();
}

void frmConfig::optCabCompressLevel_Click(int index) { cmbCABCompressLevelLZX->setEnabled(index == 0); }

void frmConfig::cmdOK_Click()
{
    const bool changed = selectedMode_ != settings_.mode;
    settings_.mode = selectedMode_;
    settings_.backGroundConvert = chkBackGroundConvert->isChecked();
    settings_.dialogAutoClose = chkDialogAutoClose->isChecked();
    settings_.deleteBeforeFile = chkDeleteBeforeFile->isChecked();
    settings_.useUpperExtension = chkUseUpperExtension->isChecked();
    settings_.sameTypeConvert = chkSameTypeConvert->isChecked();
    if (cmbLHACompressLevel->currentIndex() >= 0)
        settings_.lhaCompressLevel = cmbLHACompressLevel->currentIndex();
    if (cmbZIPCompressLevel->currentIndex() >= 0)
        settings_.zipCompressLevel = cmbZIPCompressLevel->currentIndex();
    settings_.overWrite = chkOverWrite->isChecked();
    storeNameCharset();
    // An LZX list without a selection counts as its first position, so the
    // kind is never mistaken for another (10 * kind - 1).
    const int lzxPosition = std::max(cmbCABCompressLevelLZX->currentIndex(), 0);
    for (size_t kind = 0; kind < optCabCompressLevel.size(); ++kind) {
        if (optCabCompressLevel[kind]->isChecked()) {
            settings_.cabCompressLevel = int32_t(10 * kind) + lzxPosition;
            break;
        }
    }
    settings_.WriteINIFile();
    accept();
    if (changed)
        core::changeMode(selectedMode_);
}

bool frmConfig::openAtPage(int page)
{
    if (!core::appSettings)
        return false;
    frmConfig dialog(*core::appSettings);
    dialog.selectPage(page);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace qvo::ui
