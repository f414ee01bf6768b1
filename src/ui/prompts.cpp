#include "ui/prompts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace qvo::ui {
namespace {

PromptHandlers &handlers()
{
    static PromptHandlers h;
    return h;
}

// "text (*.lzh *.lha)"
QString filterEntry(const QString &text, const std::vector<std::string> &patterns)
{
    QStringList list;
    for (const std::string &pattern : patterns)
        list << QString::fromStdString(pattern);
    return text + QStringLiteral(" (") + list.join(u' ') + u')';
}

} // namespace

std::string localPath(const QString &path) { return QFile::encodeName(path).toStdString(); }

QString displayPath(const std::string &path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

void setPromptHandlers(PromptHandlers h) { handlers() = std::move(h); }

QString translatedMessage(const std::string &text)
{
    return QCoreApplication::translate("Messages", text.c_str());
}

bool showMessage(QWidget *parent, const std::string &text, MessageButtons buttons)
{
    const QString shown = translatedMessage(text);
    if (handlers().message)
        return handlers().message(shown.toStdString(), buttons);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Qvo"), shown,
                    buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                        : QMessageBox::Ok,
                    parent);
    return box.exec() == QMessageBox::Ok;
}

QString qtFileFilter(const backends::DialogFilter &filter)
{
    QStringList entries;
    if (const std::vector<std::string> all = filter.allPatterns(); !all.empty())
        entries << filterEntry(QCoreApplication::translate("FileDialog", "対応するすべての形式書庫ファイル"), all);
    for (const backends::DialogFilter::Format &format : filter.formats)
        entries << filterEntry(QCoreApplication::translate("FileDialog", "%1形式書庫ファイル")
                                   .arg(QString::fromStdString(format.name)),
                               format.patterns);
    // Every file: here names need no dot.
    entries << filterEntry(QCoreApplication::translate("FileDialog", "すべてのファイル"), {"*"});
    return entries.join(QStringLiteral(";;"));
}

std::string askOpenFileName(QWidget *parent, const backends::DialogFilter &filter)
{
    const QString shown = qtFileFilter(filter);
    if (handlers().openFile)
        return handlers().openFile(shown.toStdString());
    return localPath(QFileDialog::getOpenFileName(parent, QString(), QString(), shown));
}

std::string askSaveFileName(QWidget *parent, const backends::DialogFilter &filter)
{
    const QString shown = qtFileFilter(filter);
    if (handlers().saveFile)
        return handlers().saveFile(shown.toStdString());
    // QFileDialog asks before overwriting unless told not to.
    return localPath(QFileDialog::getSaveFileName(parent, QString(), QString(), shown));
}

} // namespace qvo::ui
