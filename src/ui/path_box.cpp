#include "ui/path_box.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace qvo::ui {
namespace {

bool carriesFile(const QMimeData *data)
{
    if (!data->hasUrls())
        return false;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            return true;
    return false;
}

} // namespace

PathBox::PathBox(bool acceptsFileDrops, QWidget *parent) : QLineEdit(parent), acceptsFileDrops_(acceptsFileDrops)
{
    // Dropped text is not taken either: only files, and only where asked.
    setAcceptDrops(acceptsFileDrops);
}

void PathBox::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    emit clicked();
}

void PathBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (acceptsFileDrops_ && carriesFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PathBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsFileDrops_ && carriesFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PathBox::dropEvent(QDropEvent *event)
{
    if (!acceptsFileDrops_ || !carriesFile(event->mimeData())) {
        event->ignore();
        return;
    }
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            setText(url.toLocalFile());
            break;
        }
    }
    event->acceptProposedAction();
    emit fileDropped();
}

} // namespace qvo::ui
