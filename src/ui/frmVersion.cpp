#include "ui/frmVersion.h"

#include "ui/program_icon.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

namespace qvo::ui {
namespace {

constexpr int kWidth = 380;
constexpr int kHeight = 200;

} // namespace

QString versionTitleText()
{
    return frmVersion::tr("書庫ファイル変換ユーティリティ") + QStringLiteral("\n\n\n") + QStringLiteral("Qvo ver3.0") +
           QStringLiteral("\n\n") + QStringLiteral("( release build 0223.1 )");
}

frmVersion::frmVersion(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(tr("バージョン情報"));
    setModal(true);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(kWidth, kHeight);

    Image1 = new QLabel(this);
    Image1->setGeometry(16, 16, 96, 96);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(programIconPixmap(32));
    Image1->installEventFilter(this);

    lblTitle = new QLabel(QStringLiteral("lblTitle"), this);
    lblTitle->setGeometry(136, 16, 233, 105);
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Line1 = new QFrame(this);
    Line1->setGeometry(8, 128, 361, 1);
    Line1->setStyleSheet("background-color: rgb(128, 128, 128);");

    // 12 pixels high in the design; the text needs the line height of the
    // font that draws it (a CJK fallback has taller lines).
    Label1 = new QLabel(tr("ご利用は各自の責任でお願いいたします"), this);
    Label1->setGeometry(88, 136, 213, std::max(12, Label1->sizeHint().height()));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    if (Label1->sizeHint().width() > Label1->width()) {
        const int w = std::min(Label1->sizeHint().width(), kWidth - 16);
        Label1->setGeometry((kWidth - w) / 2, Label1->y(), w, Label1->height());
    }

    Command1 = new QPushButton(tr("閉じる"), this);
    Command1->setGeometry(256, 168, 113, 25);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    imgEgg = new QLabel(this);
    imgEgg->setGeometry(0, 0, kWidth, kHeight);
    imgEgg->setPixmap(hiddenPicture(devicePixelRatioF()));
    imgEgg->installEventFilter(this);
    // Form_Initialize: the picture starts hidden.
    imgEgg->hide();
}

void frmVersion::showEvent(QShowEvent *event)
{
    Form_Load();
    QDialog::showEvent(event);
}

void frmVersion::Form_Load()
{
    lblTitle->setText(versionTitleText());
    imgEgg->hide();
    Command1->show();
}

bool frmVersion::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image1 && event->type() == QEvent::MouseButtonPress) {
        Image1_MouseDown(static_cast<QMouseEvent *>(event)->modifiers());
        return true;
    }
    if (watched == imgEgg && event->type() == QEvent::MouseButtonRelease && imgEgg->isVisible()) {
        if (imgEgg->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
            accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmVersion::Image1_MouseDown(Qt::KeyboardModifiers modifiers)
{
    if (!(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return;
    Command1->hide();
    imgEgg->show();
    imgEgg->raise();
}

void frmVersion::showModal()
{
    frmVersion window;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    window.exec();
}

} // namespace qvo::ui
