// What the main windows open elsewhere: the settings dialog, the about
// window, the folder browser, the conversion start and the program icon.
// The windows reach those pieces only through these functions.
#pragma once
#include <QIcon>

#include <cstdint>
#include <optional>
#include <string>

class QWidget;

namespace qvo::convert {
class ConversionRows;
}

namespace qvo::ui::links {

// The settings dialog, modal, on `page` (0 general, 1 LHA, 2 ZIP, 3 CAB).
// Returns when it has closed; its OK may have switched the mode.
void openSettingsDialog(int page);

// The about window, modal.
void showAboutWindow();

// Lets the user pick a folder, starting at `startPath` (or the nearest
// folder above it that exists; the top when it is empty).  nullopt when
// cancelled; a chosen folder may still come back as "" when it has no
// file-system path.
std::optional<std::string> browseForFolder(QWidget *parent, const std::string &description,
                                           const std::string &startPath, bool showNewFolderButton);

// Checks the working root's space for `batchKB` (units of 1,000 bytes) and
// runs the conversion the settings describe in a modal progress window:
// the rows of the multiple-file list when `rows` is given, else the
// single-file request.  Returns when the run has ended or was refused.
void startConversion(convert::ConversionRows *rows, int64_t batchKB);

// The program's icon: two overlapping pages outlined in dark blue.
QIcon programIcon();

} // namespace qvo::ui::links
