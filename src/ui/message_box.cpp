#include "ui/message_box.h"

#include <QMessageBox>

namespace qvo::ui {

void showMessage(const QString &text, QWidget *parent)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kMessageTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace qvo::ui
