#include "ui/fit_text.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>

#include <algorithm>

namespace qvo::ui {
namespace {

// Room between a push button's edge and its text.
constexpr int kButtonTextMargin = 6;

// The box of the text's lines, in whichever fonts draw them (a CJK
// fallback font has taller lines than the Latin one).
QSize textBox(const QWidget *w, const QString &text)
{
    return w->fontMetrics().boundingRect(QRect(0, 0, 10000, 10000), Qt::TextShowMnemonic, text).size();
}

} // namespace

void fitToText(QWidget *control, int rightLimit)
{
    QSize need;
    if (auto *label = qobject_cast<QLabel *>(control)) {
        if (label->text().isEmpty() || label->wordWrap())
            return;
        need = label->sizeHint();
    } else if (auto *button = qobject_cast<QPushButton *>(control)) {
        const QSize text = textBox(button, button->text());
        need = QSize(text.width() + 2 * kButtonTextMargin, text.height());
    } else if (qobject_cast<QCheckBox *>(control) || qobject_cast<QRadioButton *>(control)) {
        auto *box = static_cast<QAbstractButton *>(control);
        need = QSize(box->sizeHint().width(), textBox(box, box->text()).height());
    } else {
        return;
    }
    const int width = std::max(control->width(), std::min(need.width(), rightLimit - control->x()));
    const int height = std::max(control->height(), need.height());
    if (width != control->width() || height != control->height())
        control->resize(width, height);
}

void fitControlsToText(QWidget *container)
{
    for (QWidget *child : container->findChildren<QWidget *>()) {
        // A toolbar lays out its own buttons.
        if (qobject_cast<QToolBar *>(child->parentWidget()))
            continue;
        if (QWidget *parent = child->parentWidget())
            fitToText(child, parent->width() - 2);
    }
}

} // namespace qvo::ui
