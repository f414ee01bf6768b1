// The main windows' ways into the dialogs, the folder browser, the
// conversion start and the icon.
#include "ui/window_links.h"

#include <QApplication>
#include <QPointer>

#include "ui/clsFolderBlowserDialog.h"
#include "ui/conversion_start.h"
#include "ui/frmConfig.h"
#include "ui/frmVersion.h"
#include "ui/program_icon.h"

namespace qvo::ui::links {

void openSettingsDialog(int page) { ui::frmConfig::openAtPage(page); }

void showAboutWindow() { frmVersion::showModal(); }

std::optional<std::string> browseForFolder(QWidget *parent, const std::string &description,
                                           const std::string &startPath, bool showNewFolderButton)
{
    clsFolderBlowserDialog browser;
    browser.Description = description;
    browser.SelectedPath = startPath;
    browser.setShowNewFolderButton(showNewFolderButton);
    if (!browser.ShowDialog(parent))
        return std::nullopt;
    return browser.SelectedPath;
}

void startConversion(convert::ConversionRows *rows, int64_t batchKB)
{
    // Give the keyboard back to the window that started the run once the
    // modal progress window has gone (without a window manager nobody else
    // does).
    QPointer<QWidget> starter = QApplication::activeWindow();
    ui::startConversion(rows, [batchKB] { return batchKB; });
    if (starter) {
        starter->raise();
        starter->activateWindow();
    }
}

QIcon programIcon() { return ui::programIcon(); }

} // namespace qvo::ui::links
