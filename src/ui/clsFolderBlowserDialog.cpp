#include "ui/clsFolderBlowserDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace qvo::ui {
namespace {

// `path`, or the nearest folder above it that exists; "/" for none.
QString existingFolderAt(const std::string &path)
{
    QString folder = QFile::decodeName(QByteArray::fromStdString(path));
    while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    return QFileInfo(folder).isAbsolute() && QFileInfo(folder).isDir() ? folder : QStringLiteral("/");
}

} // namespace

bool clsFolderBlowserDialog::ShowDialog(QWidget *owner)
{
    QFileDialog dialog(owner);
    dialog.setWindowTitle(Description.empty() ? QCoreApplication::translate("clsFolderBlowserDialog", "フォルダの参照")
                                              : QString::fromStdString(Description));
    // Qt's own dialog: the desktop's portal ignores a missing new-folder
    // button and the starting folder.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A read-only view offers no way to make a folder.
    dialog.setOption(QFileDialog::ReadOnly, !ShowNewFolderButton());
    dialog.setDirectory(existingFolderAt(SelectedPath));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    // Names are handed on as the file system spells them.
    SelectedPath = chosen.isEmpty() ? std::string() : QFile::encodeName(chosen.first()).toStdString();
    return true;
}

} // namespace qvo::ui
