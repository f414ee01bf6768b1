#include "ui/clsFolderBlowserDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>

namespace qvo::ui {

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
    dialog.setDirectory(QStringLiteral("/"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    // Names are handed on as the file system spells them.
    SelectedPath = chosen.isEmpty() ? std::string() : QFile::encodeName(chosen.first()).toStdString();
    return true;
}

} // namespace qvo::ui
