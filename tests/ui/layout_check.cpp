#include "layout_check.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>

namespace qvo::test {
namespace {

// Rounding of fractional scale factors may cost a pixel.
constexpr int kSlack = 1;

QString plain(QString text)
{
    // "&&" is a literal ampersand, a single "&" marks the access key.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

QString nameOf(const QWidget *w)
{
    QString text;
    if (auto *label = qobject_cast<const QLabel *>(w))
        text = label->text();
    else if (auto *button = qobject_cast<const QAbstractButton *>(w))
        text = button->text();
    else if (auto *box = qobject_cast<const QGroupBox *>(w))
        text = box->title();
    else if (auto *combo = qobject_cast<const QComboBox *>(w))
        text = combo->currentText();
    QString name = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        name += u' ' + w->objectName();
    if (!text.isEmpty())
        name += QStringLiteral(" \"") + plain(text).replace(u'\n', u' ') + u'"';
    return name;
}

// The box the text's lines take, with the line height of the fonts that
// draw it (a CJK fallback font has taller lines than the Latin one).
QSize textBox(const QWidget *w, const QString &text)
{
    return w->fontMetrics().boundingRect(QRect(0, 0, 10000, 10000), Qt::TextShowMnemonic, text).size();
}

enum class Kind { decoration, container, control };

Kind kindOf(const QWidget *w)
{
    if (qobject_cast<const QLabel *>(w) || qobject_cast<const QAbstractButton *>(w) ||
        qobject_cast<const QComboBox *>(w) || qobject_cast<const QLineEdit *>(w) ||
        qobject_cast<const QAbstractScrollArea *>(w) || qobject_cast<const QToolBar *>(w) ||
        qobject_cast<const QMenuBar *>(w))
        return Kind::control;
    const bool hasChildWidgets = !w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).isEmpty();
    // Lines, the bar and its track: drawn over other things by design.
    if (!hasChildWidgets && qobject_cast<const QFrame *>(w))
        return Kind::decoration;
    return Kind::container;
}

struct Checker {
    QWidget *window;
    std::vector<std::string> problems;
    QImage picture; // the window as drawn, taken when a frame is checked
    std::vector<std::pair<QRect, const QWidget *>> controls;

    void report(const QString &text) { problems.push_back(text.toStdString()); }

    void textFits(const QWidget *w, int needWidth, int needHeight)
    {
        if (needWidth > w->width() + kSlack || needHeight > w->height() + kSlack)
            report(QStringLiteral("%1 cuts its text: needs %2 x %3, has %4 x %5")
                       .arg(nameOf(w))
                       .arg(needWidth)
                       .arg(needHeight)
                       .arg(w->width())
                       .arg(w->height()));
    }

    // At a fractional scale Qt clips each widget on rounded device pixels,
    // and a frame's one-pixel edge may fall outside that clip or under the
    // frame's own viewport.  Whether it did is seen in the window's picture:
    // across each edge, at a third and at two thirds of its length, some
    // pixel must be darker than the window's background (a sunken box
    // draws one dark line on each side).
    void checkFrameEdges(QWidget *w)
    {
        auto *frame = qobject_cast<QFrame *>(w);
        if (!frame || frame->frameWidth() == 0)
            return;
        const QFrame::Shape shape = frame->frameShape();
        if (shape != QFrame::Box && shape != QFrame::Panel && shape != QFrame::StyledPanel &&
            shape != QFrame::WinPanel)
            return;
        if (picture.isNull())
            picture = window->grab().toImage();
        const qreal r = picture.devicePixelRatio();
        const int background = window->palette().color(QPalette::Window).lightness();
        const QRect box(w->mapTo(window, QPoint(0, 0)), w->size());
        const int depth = frame->frameWidth(); // logical pixels the edge's lines take
        auto device = [r](int logical) { return int(std::floor(logical * r)); };
        auto deviceEnd = [r](int logical) { return int(std::ceil(logical * r)); };
        // True when the band of device pixels holds a line.
        auto lineIn = [&](int x0, int x1, int y0, int y1) {
            for (int y = std::max(y0, 0); y <= std::min(y1, picture.height() - 1); ++y)
                for (int x = std::max(x0, 0); x <= std::min(x1, picture.width() - 1); ++x)
                    if (picture.pixelColor(x, y).lightness() < background - 24)
                        return true;
            return false;
        };
        auto across = [&](bool horizontal, int a0, int a1) {
            for (int third : {1, 2}) {
                const int along = horizontal ? device(box.x() + box.width() * third / 3)
                                             : device(box.y() + box.height() * third / 3);
                if (horizontal ? lineIn(along, along, a0, a1) : lineIn(a0, a1, along, along))
                    return true;
            }
            return false;
        };
        const struct {
            const char *edge;
            bool drawn;
        } edges[] = {
            {"top", across(true, device(box.y()) - 1, deviceEnd(box.y() + depth) - 1)},
            {"bottom", across(true, device(box.bottom() + 1 - depth), deviceEnd(box.bottom() + 1))},
            {"left", across(false, device(box.x()) - 1, deviceEnd(box.x() + depth) - 1)},
            {"right", across(false, device(box.right() + 1 - depth), deviceEnd(box.right() + 1))},
        };
        for (const auto &e : edges)
            if (!e.drawn)
                report(QStringLiteral("%1 is drawn without its %2 edge at %3,%4 %5 x %6")
                           .arg(nameOf(w), QString::fromLatin1(e.edge))
                           .arg(box.x())
                           .arg(box.y())
                           .arg(box.width())
                           .arg(box.height()));
    }

    void checkControl(QWidget *w)
    {
        const QFontMetrics fm = w->fontMetrics();
        if (auto *label = qobject_cast<QLabel *>(w)) {
            if (!label->text().isEmpty() && !label->wordWrap())
                textFits(w, label->sizeHint().width(), label->sizeHint().height());
        } else if (qobject_cast<QPushButton *>(w)) {
            const QSize text = textBox(w, static_cast<QPushButton *>(w)->text());
            textFits(w, text.width() + 8, text.height());
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            // Check boxes and option buttons: mark and text in the width;
            // the text's lines (in whichever font draws them) in the height.
            if (!qobject_cast<QToolButton *>(w))
                textFits(w, button->sizeHint().width(), textBox(w, button->text()).height());
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.rect = combo->rect();
            const QRect field =
                combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i) {
                const int need = fm.horizontalAdvance(combo->itemText(i));
                if (need > field.width() + kSlack)
                    report(QStringLiteral("%1 cuts its item \"%2\": needs %3, has %4")
                               .arg(nameOf(w), combo->itemText(i))
                               .arg(need)
                               .arg(field.width()));
            }
            if (fm.height() > field.height() + 2 * kSlack)
                report(QStringLiteral("%1 is lower than its text").arg(nameOf(w)));
        } else if (auto *tree = qobject_cast<QTreeWidget *>(w)) {
            QHeaderView *header = tree->header();
            const QFontMetrics hm = header->fontMetrics();
            const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
            for (int c = 0; c < tree->columnCount(); ++c) {
                const QString text = tree->headerItem()->text(c);
                if (hm.horizontalAdvance(text) + margin > header->sectionSize(c) + kSlack)
                    report(QStringLiteral("%1 cuts its header \"%2\"").arg(nameOf(w), text));
            }
        } else if (auto *bar = qobject_cast<QToolBar *>(w)) {
            for (QAction *action : bar->actions()) {
                QWidget *tool = bar->widgetForAction(action);
                if (action->isSeparator() || !tool)
                    continue;
                if (!tool->isVisibleTo(window) || !bar->rect().contains(tool->geometry()))
                    report(QStringLiteral("%1 does not show \"%2\" whole").arg(nameOf(w), action->text()));
                else
                    textFits(tool, tool->sizeHint().width(), tool->sizeHint().height());
            }
            if (bar->sizeHint().height() > bar->height() + kSlack)
                report(QStringLiteral("%1 needs %2 pixels of height, has %3")
                           .arg(nameOf(w))
                           .arg(bar->sizeHint().height())
                           .arg(bar->height()));
        } else if (auto *menus = qobject_cast<QMenuBar *>(w)) {
            for (QAction *action : menus->actions()) {
                const QRect r = menus->actionGeometry(action);
                if (r.isEmpty() || !menus->rect().contains(r))
                    report(QStringLiteral("%1 does not show \"%2\"").arg(nameOf(w), plain(action->text())));
            }
        }
    }

    void checkGroupTitle(QGroupBox *box)
    {
        if (box->title().isEmpty())
            return;
        const QFontMetrics fm = box->fontMetrics();
        if (fm.horizontalAdvance(plain(box->title())) + 16 > box->width() + kSlack)
            report(QStringLiteral("%1 cuts its title").arg(nameOf(box)));
        for (QWidget *child : box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (child->isVisibleTo(window) && child->y() < fm.height() - 2 * kSlack)
                report(QStringLiteral("%1 lies over the title of %2").arg(nameOf(child), nameOf(box)));
    }

    // A control may be drawn over a frame on purpose (it is raised above
    // it), but a frame stacked above a control hides part of it.
    void checkCoveredBySiblings(QWidget *container)
    {
        const QList<QWidget *> stack = container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (qsizetype below = 0; below < stack.size(); ++below) {
            QWidget *control = stack[below];
            if (control->isWindow() || !control->isVisibleTo(window) || kindOf(control) != Kind::control)
                continue;
            for (qsizetype above = below + 1; above < stack.size(); ++above) {
                QWidget *frame = stack[above];
                if (frame->isWindow() || !frame->isVisibleTo(window) || kindOf(frame) != Kind::container)
                    continue;
                const QRect both = control->geometry().intersected(frame->geometry());
                if (both.width() > kSlack && both.height() > kSlack)
                    report(QStringLiteral("%1 covers %2 by %3 x %4")
                               .arg(nameOf(frame), nameOf(control))
                               .arg(both.width())
                               .arg(both.height()));
            }
        }
    }

    void walk(QWidget *container)
    {
        checkCoveredBySiblings(container);
        const QRect inside = container->rect();
        for (QWidget *child : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow() || !child->isVisibleTo(window))
                continue;
            const Kind kind = kindOf(child);
            checkFrameEdges(child);
            if (!inside.adjusted(-kSlack, -kSlack, kSlack, kSlack).contains(child->geometry()))
                report(QStringLiteral("%1 reaches outside %2: %3,%4 %5 x %6 in %7 x %8")
                           .arg(nameOf(child), nameOf(container))
                           .arg(child->x())
                           .arg(child->y())
                           .arg(child->width())
                           .arg(child->height())
                           .arg(inside.width())
                           .arg(inside.height()));
            if (kind == Kind::container) {
                if (auto *box = qobject_cast<QGroupBox *>(child))
                    checkGroupTitle(box);
                walk(child);
            } else if (kind == Kind::control) {
                checkControl(child);
                controls.emplace_back(QRect(child->mapTo(window, QPoint(0, 0)), child->size()), child);
            }
        }
    }

    void checkOverlaps()
    {
        for (size_t i = 0; i < controls.size(); ++i)
            for (size_t j = i + 1; j < controls.size(); ++j) {
                // Positions are whole logical pixels: no rounding excuses
                // a control drawn over the edge of its neighbour.
                const QRect both = controls[i].first.intersected(controls[j].first);
                if (!both.isEmpty())
                    report(QStringLiteral("%1 and %2 overlap by %3 x %4")
                               .arg(nameOf(controls[i].second), nameOf(controls[j].second))
                               .arg(both.width())
                               .arg(both.height()));
            }
    }
};

void addText(std::vector<std::string> &texts, const QString &text)
{
    if (!text.trimmed().isEmpty())
        texts.push_back(text.toStdString());
}

void addMenu(std::vector<std::string> &texts, const QMenu *menu)
{
    addText(texts, menu->title());
    for (const QAction *action : menu->actions())
        addText(texts, action->text());
}

} // namespace

std::vector<std::string> layoutProblems(QWidget *window)
{
    Checker checker{window, {}, {}, {}};
    // A fixed layout must not let the window shrink over its controls.
    const QRect used = window->childrenRect();
    if (window->minimumWidth() < used.right() + 1 - kSlack || window->minimumHeight() < used.bottom() + 1 - kSlack)
        checker.report(QStringLiteral("%1 can be made smaller (%2 x %3) than its controls need (%4 x %5)")
                           .arg(nameOf(window))
                           .arg(window->minimumWidth())
                           .arg(window->minimumHeight())
                           .arg(used.right() + 1)
                           .arg(used.bottom() + 1));
    checker.walk(window);
    checker.checkOverlaps();
    return checker.problems;
}

std::vector<std::string> visibleTexts(QWidget *window)
{
    std::vector<std::string> texts;
    addText(texts, window->windowTitle());
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (auto *label = qobject_cast<const QLabel *>(w))
            addText(texts, label->text());
        else if (auto *button = qobject_cast<const QAbstractButton *>(w))
            addText(texts, button->text());
        else if (auto *box = qobject_cast<const QGroupBox *>(w))
            addText(texts, box->title());
        else if (auto *combo = qobject_cast<const QComboBox *>(w))
            for (int i = 0; i < combo->count(); ++i)
                addText(texts, combo->itemText(i));
        else if (auto *tree = qobject_cast<const QTreeWidget *>(w)) {
            for (int c = 0; c < tree->columnCount(); ++c)
                addText(texts, tree->headerItem()->text(c));
            for (int r = 0; r < tree->topLevelItemCount(); ++r)
                addText(texts, tree->topLevelItem(r)->text(tree->columnCount() - 1));
        } else if (auto *menu = qobject_cast<const QMenu *>(w))
            addMenu(texts, menu);
        else if (auto *bar = qobject_cast<const QToolBar *>(w))
            for (const QAction *action : bar->actions())
                addText(texts, action->text());
    }
    return texts;
}

} // namespace qvo::test
