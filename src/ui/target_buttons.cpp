#include "ui/target_buttons.h"

#include "core/globals.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QRadioButton>

namespace qvo::ui {

QString targetButtonText(const backends::TargetFormat &format)
{
    return QCoreApplication::translate("TargetFormat", "%1形式 (%2)")
        .arg(QString::fromUtf8(format.key.data(), qsizetype(format.key.size())),
             QStringLiteral("*.") + QString::fromUtf8(format.extension().data(), qsizetype(format.extension().size())));
}

TargetButtons addTargetButtons(QWidget *parent, QButtonGroup *group, const QRect &first)
{
    TargetButtons buttons{};
    for (const backends::TargetFormat &format : backends::targetFormats()) {
        QRadioButton *button = new QRadioButton(targetButtonText(format), parent);
        button->setGeometry(first.translated(0, 24 * format.index));
        group->addButton(button, format.index);
        buttons[size_t(format.index)] = button;
    }
    buttons.front()->setChecked(true);
    return buttons;
}

void enableUsableTargets(const TargetButtons &buttons)
{
    for (const backends::TargetFormat &format : backends::targetFormats())
        buttons[size_t(format.index)]->setEnabled(core::archiveCtrl &&
                                                  core::archiveCtrl->isValid(std::string(format.key)));
}

void chooseTarget(const TargetButtons &buttons, QButtonGroup *group, int32_t index)
{
    if (backends::targetFormatAt(index)) {
        buttons[size_t(index)]->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QRadioButton *button : buttons)
        button->setChecked(false);
    group->setExclusive(true);
}

bool targetUsable(const TargetButtons &buttons, int32_t index)
{
    return backends::targetFormatAt(index) && buttons[size_t(index)]->isEnabled();
}

} // namespace qvo::ui
