// The main windows' ways into the dialogs, the folder browser, the
// conversion start and the icon.
#include "ui/window_links.h"

#include <QApplication>
#include <QPointer>

#include "ui/frmConfig.h"
#include "ui/clsFolderBlowserDialog.h"
#include "ui/frmVersion.h"
#include "ui/program_icon.h"

// The engine's implementation arrives with its start checks.
#if __has_include("convert/start_check.h")
#include "ui/conversion_start.h"
#define QVO_HAVE_ENGINE 1
#else
#define QVO_HAVE_ENGINE 0
#endif

namespace qvo::ui::links {

void openSettingsDialog(int page) { ui::frmConfig::openAtPage(page); }

void showAboutWindow() { frmVersion::showModal(); }

// The browser starts at the top of the file system whatever `startPath`
// says, so that every folder is one way from the start.
std::optional<std::string> browseForFolder(QWidget *parent, const std::string &description,
                                           const std::string & /*startPath*/, bool showNewFolderButton)
{
    clsFolderBlowserDialog browser;
    browser.Description = description;
    browser.setShowNewFolderButton(showNewFolderButton);
    if (!browser.ShowDialog(parent))
        return std::nullopt;
    return browser.SelectedPath;
}

#if QVO_HAVE_ENGINE
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

bool conversionAvailable() { return true; }
#else
void startConversion(convert::ConversionRows *, int64_t) {}

bool conversionAvailable() { return false; }
#endif

QIcon programIcon() { return ui::programIcon(); }

} // namespace qvo::ui::links
