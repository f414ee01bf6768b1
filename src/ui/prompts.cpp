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

// The controller writes the entries' texts in Japanese ("LHA形式書庫ファイル");
// the dialog shows them in the interface's language.
QString filterEntryText(const QString &text)
{
    const QString perFormat = QStringLiteral("形式書庫ファイル");
    if (text.endsWith(perFormat) && !text.startsWith(QStringLiteral("対応するすべての")))
        return QCoreApplication::translate("FileDialog", "%1形式書庫ファイル").arg(text.chopped(perFormat.size()));
    return QCoreApplication::translate("FileDialog", text.toUtf8().constData());
}

[[maybe_unused]] constexpr const char *kFilterTexts[] = {
    QT_TRANSLATE_NOOP("FileDialog", "対応するすべての形式書庫ファイル"),
    QT_TRANSLATE_NOOP("FileDialog", "すべてのファイル"),
};

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

QString qtFileFilter(const std::string &filter)
{
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString text = parts[i].trimmed();
        // The text repeats its patterns in parentheses; Qt reads the
        // patterns from there, separated by blanks.
        if (text.endsWith(u')')) {
            const qsizetype open = text.lastIndexOf(u'(');
            if (open >= 0)
                text.truncate(open);
        }
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        // "*.*" means every file; here names need no dot.
        if (patterns.trimmed() == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        entries << filterEntryText(text.trimmed()) + QStringLiteral(" (") + patterns.trimmed() + u')';
    }
    return entries.join(QStringLiteral(";;"));
}

std::string askOpenFileName(QWidget *parent, const std::string &filter)
{
    if (handlers().openFile)
        return handlers().openFile(filter);
    return localPath(QFileDialog::getOpenFileName(parent, QString(), QString(), qtFileFilter(filter)));
}

std::string askSaveFileName(QWidget *parent, const std::string &filter)
{
    if (handlers().saveFile)
        return handlers().saveFile(filter);
    // QFileDialog asks before overwriting unless told not to.
    return localPath(QFileDialog::getSaveFileName(parent, QString(), QString(), qtFileFilter(filter)));
}

} // namespace qvo::ui
