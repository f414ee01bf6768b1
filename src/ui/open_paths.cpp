#include "ui/open_paths.h"

#include "core/application.h"
#include "platform/path_helpers.h"
#include "ui/frmMain.h"
#include "ui/frmSingleFileMode.h"
#include "ui/main_windows_qt.h"

#include <QApplication>

namespace qvo::ui {
namespace {

void bringToFront(QWidget *window)
{
    Qt::WindowStates state = window->windowState();
    state.setFlag(Qt::WindowMinimized, false);
    window->setWindowState(state);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void openPaths(QtMainWindows &windows, const std::vector<std::string> &paths)
{
    frmMain *main = windows.multipleFileWindow();
    frmSingleFileMode *single = windows.singleFileWindow();
    if (!main || !single)
        return;
    const bool singleShown = single->isVisible() && !main->isVisible();
    if (singleShown && paths.size() == 1 && !platform::folderExists(paths.front())) {
        single->takeSourceFile(paths.front());
        bringToFront(single);
        return;
    }
    if (singleShown && !paths.empty())
        core::changeMode(1);
    if (!paths.empty())
        main->addPathsFromOutside(paths);
    bringToFront(main->isVisible() || !singleShown ? static_cast<QWidget *>(main) : single);
}

OpenRequests::OpenRequests(QtMainWindows &windows) : windows_(windows)
{
    retry_.setInterval(300);
    connect(&retry_, &QTimer::timeout, this, &OpenRequests::openWaiting);
}

void OpenRequests::open(const std::vector<std::string> &paths)
{
    waiting_.push_back(paths);
    openWaiting();
}

void OpenRequests::openWaiting()
{
    if (QApplication::activeModalWidget()) {
        retry_.start();
        return;
    }
    retry_.stop();
    std::vector<std::vector<std::string>> requests;
    requests.swap(waiting_);
    for (const std::vector<std::string> &paths : requests)
        openPaths(windows_, paths);
}

} // namespace qvo::ui
