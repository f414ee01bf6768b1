#include "core/application.h"

#include "backends/format_backends.h"
#include "core/globals.h"
#include "core/main_windows.h"

#include <cstdio>
#include <cstdlib>

namespace qvo::core {
namespace {

std::unique_ptr<MainWindowHooks> &hooksHolder()
{
    static std::unique_ptr<MainWindowHooks> hooks;
    return hooks;
}

} // namespace

void setMainWindowHooks(std::unique_ptr<MainWindowHooks> hooks) { hooksHolder() = std::move(hooks); }

MainWindowHooks *mainWindowHooks() { return hooksHolder().get(); }

void createGlobalObjects()
{
    appSettings = std::make_unique<settings::clsQvoSettings>();
    archiveCtrl = std::make_unique<backends::clsArchiveCtrl>();
    const backends::FormatBackEnds made = backends::registerFormatBackEnds(*archiveCtrl);
    archiveLHA = made.lha;
    archiveZIP = made.zip;
    archiveCAB = made.cab;
    archiveRAR = made.rar;
}

void releaseGlobalObjects()
{
    appSettings.reset();
    archiveLHA.reset();
    archiveZIP.reset();
    archiveCAB.reset();
    archiveRAR.reset();
    archiveCtrl.reset(); // its registry held the last references
}

void Main()
{
    createGlobalObjects();
    // The back-ends do not depend on the settings, the windows do.
    appSettings->readINIFile();
    MainWindowHooks *windows = mainWindowHooks();
    if (!windows)
        return;
    windows->load(MainWindow::multipleFile);
    windows->load(MainWindow::singleFile);
    windows->show(appSettings->mode != 0 ? MainWindow::multipleFile : MainWindow::singleFile);
}

void changeMode(int32_t mode)
{
    if (MainWindowHooks *windows = mainWindowHooks()) {
        if (mode == 0) {
            windows->hide(MainWindow::multipleFile);
            windows->show(MainWindow::singleFile);
        } else if (mode == 1) {
            windows->hide(MainWindow::singleFile);
            windows->show(MainWindow::multipleFile);
        }
    }
    if (appSettings)
        appSettings->mode = mode;
}

void terminateApplication()
{
    if (appSettings)
        appSettings->WriteINIFile();
    releaseGlobalObjects();
    // Ending here, without unwinding, keeps window handlers and library
    // destructors from running after the settings were saved.
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace qvo::core
