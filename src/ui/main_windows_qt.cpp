#include "ui/main_windows_qt.h"

#include "ui/frmMain.h"
#include "ui/frmSingleFileMode.h"

namespace qvo::ui {

QtMainWindows::QtMainWindows() = default;
QtMainWindows::~QtMainWindows() = default;

void QtMainWindows::load(core::MainWindow window)
{
    if (window == core::MainWindow::multipleFile) {
        main_ = std::make_unique<frmMain>();
    } else {
        single_ = std::make_unique<frmSingleFileMode>();
    }
    if (main_ && single_) {
        main_->setSingleFileWindow(single_.get());
        single_->setMainWindow(main_.get());
    }
}

void QtMainWindows::show(core::MainWindow window)
{
    QWidget *w = window == core::MainWindow::multipleFile ? static_cast<QWidget *>(main_.get()) : single_.get();
    if (w) {
        w->show();
        w->raise();
        w->activateWindow();
    }
}

void QtMainWindows::hide(core::MainWindow window)
{
    QWidget *w = window == core::MainWindow::multipleFile ? static_cast<QWidget *>(main_.get()) : single_.get();
    if (w)
        w->hide();
}

QtMainWindows *installMainWindows()
{
    auto windows = std::make_unique<QtMainWindows>();
    QtMainWindows *raw = windows.get();
    core::setMainWindowHooks(std::move(windows));
    return raw;
}

} // namespace qvo::ui
