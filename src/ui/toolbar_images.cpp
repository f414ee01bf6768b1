#include "ui/toolbar_images.h"

#include <QPainter>
#include <QPainterPath>

namespace qvo::ui {
namespace {

void drawOpenFolder(QPainter &p)
{
    const QColor outline(128, 96, 0);
    p.setPen(QPen(outline, 1));
    p.setBrush(QColor(224, 176, 32));
    // Back of the folder with its tab.
    p.drawPolygon(QPolygonF({QPointF(0.5, 4.5), QPointF(4.5, 4.5), QPointF(5.5, 5.5), QPointF(10.5, 5.5),
                             QPointF(10.5, 14.5), QPointF(0.5, 14.5)}));
    // The open front flap.
    p.setBrush(QColor(255, 224, 96));
    p.drawPolygon(QPolygonF({QPointF(2.5, 8.5), QPointF(13.5, 8.5), QPointF(10.5, 14.5), QPointF(0.5, 14.5)}));
    // Curved arrow coming out of it.
    QPainterPath arc;
    arc.moveTo(7.5, 6.5);
    arc.cubicTo(7.5, 2.0, 11.0, 1.0, 13.5, 3.0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 160), 1.2));
    p.drawPath(arc);
    p.setBrush(QColor(0, 0, 160));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(15.5, 1.0), QPointF(15.5, 5.5), QPointF(11.0, 5.0)}));
}

void drawCross(QPainter &p)
{
    p.setPen(QPen(Qt::black, 2.5, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void drawConvert(QPainter &p)
{
    p.setPen(QPen(QColor(128, 64, 0), 1));
    p.setBrush(QColor(255, 160, 32));
    p.drawRect(QRectF(0.5, 0.5, 5, 5));
    p.setPen(QPen(QColor(0, 0, 128), 1));
    p.setBrush(QColor(64, 96, 255));
    p.drawRect(QRectF(10.5, 10.5, 5, 5));
    p.setPen(QPen(QColor(220, 0, 0), 1.6));
    p.drawLine(QPointF(4.5, 5.0), QPointF(10.0, 10.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 0, 0));
    p.drawPolygon(QPolygonF({QPointF(11.5, 12.0), QPointF(6.0, 10.5), QPointF(10.5, 6.0)}));
}

void drawWindow(QPainter &p)
{
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.fillRect(QRectF(2, 3, 12, 3), QColor(0, 0, 128));
    p.setPen(QPen(QColor(96, 96, 96), 1));
    for (qreal y = 8.5; y < 13; y += 2)
        p.drawLine(QPointF(3.5, y), QPointF(y < 12 ? 12.5 : 9.5, y));
}

} // namespace

QPixmap toolbarImage(ToolbarImage image, qreal ratio)
{
    const int side = qRound(16 * ratio);
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(ratio);
    // Silver is the mask colour of the image list: left transparent.
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (image) {
    case ToolbarImage::openFolder: drawOpenFolder(p); break;
    case ToolbarImage::cross: drawCross(p); break;
    case ToolbarImage::convert: drawConvert(p); break;
    case ToolbarImage::window: drawWindow(p); break;
    }
    return pixmap;
}

QIcon toolbarIcon(ToolbarImage image)
{
    QIcon icon;
    for (qreal ratio : {1.0, 1.25, 1.5, 2.0, 3.0})
        icon.addPixmap(toolbarImage(image, ratio));
    return icon;
}

} // namespace qvo::ui
