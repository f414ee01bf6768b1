#include "ui/program_icon.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace qvo::ui {
namespace {

// The icon is laid out on a 32 x 32 grid; data/icons/qvo.svg draws the
// same shapes for the desktop.
const QColor kOutline(0x1a, 0x2f, 0x7a);   // dark blue
const QColor kBackPage(0xd6, 0xe4, 0xff);  // light blue
const QColor kFrontPage(0xff, 0xff, 0xff);
const QColor kTextLine(0x7d, 0x93, 0xc8);

// A sheet with its top-right corner folded by `fold`.
QPainterPath sheet(QRectF r, qreal fold)
{
    QPainterPath p;
    p.moveTo(r.left(), r.top());
    p.lineTo(r.right() - fold, r.top());
    p.lineTo(r.right(), r.top() + fold);
    p.lineTo(r.right(), r.bottom());
    p.lineTo(r.left(), r.bottom());
    p.closeSubpath();
    return p;
}

// Draws the two pages into the square (0, 0, size, size) of `painter`.
void drawPages(QPainter &painter, qreal size)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 32.0;
    // Whole-pixel outlines at small sizes keep the edges sharp.
    const qreal pen = std::max<qreal>(1.0, std::round(unit * 1.5));
    const qreal half = pen / 2;
    auto at = [&](qreal x) { return std::round(x * unit) + half; };

    const QRectF back(at(3), at(2), at(19) - at(3), at(24) - at(2));
    const QRectF front(at(11), at(8), at(28) - at(11), at(30) - at(8));
    const qreal fold = std::round(6 * unit);

    painter.setPen(QPen(kOutline, pen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(kBackPage);
    painter.drawPath(sheet(back, 0));
    painter.setBrush(kFrontPage);
    painter.drawPath(sheet(front, fold));
    // The fold's flap.
    painter.setBrush(kBackPage);
    QPainterPath flap;
    flap.moveTo(front.right() - fold, front.top());
    flap.lineTo(front.right() - fold, front.top() + fold);
    flap.lineTo(front.right(), front.top() + fold);
    flap.closeSubpath();
    painter.drawPath(flap);

    // Lines of text on the front page, from 24 pixels up.
    if (size >= 24) {
        painter.setPen(QPen(kTextLine, std::max<qreal>(1.0, std::round(unit)), Qt::SolidLine, Qt::FlatCap));
        for (int i = 0; i < 4; ++i) {
            const qreal y = at(17 + 3 * i);
            const qreal right = i == 3 ? at(20) : at(25);
            painter.drawLine(QPointF(at(14), y), QPointF(right, y));
        }
    }
    painter.restore();
}

} // namespace

QPixmap programIconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawPages(painter, size);
    return pixmap;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(programIconPixmap(size));
    return icon;
}

QPixmap hiddenPicture(qreal ratio)
{
    QPixmap pixmap(QSize(380, 200) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // Evening sky over a plain.
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0.0, QColor(0x1b, 0x24, 0x5c));
    sky.setColorAt(0.6, QColor(0xe0, 0x7a, 0x5f));
    sky.setColorAt(1.0, QColor(0xf6, 0xc3, 0x7a));
    painter.fillRect(QRectF(0, 0, 380, 200), sky);
    painter.setPen(Qt::NoPen);
    // Setting behind the hills, below the greeting: white text on the pale
    // sun could not be read.
    painter.setBrush(QColor(0xff, 0xf4, 0xd6));
    painter.drawEllipse(QPointF(300, 162), 28, 28);
    painter.setBrush(QColor(0x2b, 0x3a, 0x2e));
    QPainterPath hills;
    hills.moveTo(0, 200);
    hills.lineTo(0, 165);
    hills.cubicTo(80, 140, 150, 185, 230, 165);
    hills.cubicTo(290, 150, 340, 170, 380, 160);
    hills.lineTo(380, 200);
    hills.closeSubpath();
    painter.drawPath(hills);
    // A few stars.
    painter.setBrush(QColor(255, 255, 255, 200));
    for (const QPointF &star : {QPointF(30, 20), QPointF(95, 42), QPointF(170, 14), QPointF(250, 30),
                                QPointF(345, 18), QPointF(210, 60), QPointF(60, 70)})
        painter.drawEllipse(star, 1.2, 1.2);

    // The two pages, large, and the greeting.
    painter.save();
    painter.translate(24, 40);
    drawPages(painter, 96);
    painter.restore();

    QFont title = painter.font();
    title.setPixelSize(30);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(140, 44, 230, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Qvo"));
    QFont body = painter.font();
    body.setPixelSize(13);
    body.setBold(false);
    painter.setFont(body);
    painter.drawText(QRectF(140, 86, 230, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QCoreApplication::translate("qvo::ui::frmVersion", "いつもご利用ありがとうございます"));
    painter.drawText(QRectF(140, 108, 230, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QCoreApplication::translate("qvo::ui::frmVersion", "古い書庫も、新しい形で。"));
    return pixmap;
}

} // namespace qvo::ui
