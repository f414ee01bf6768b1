// The two main windows handed to the application core: loaded once, then
// only shown and hidden.
#pragma once
#include "core/main_windows.h"

#include <memory>

namespace qvo::ui {

class frmMain;
class frmSingleFileMode;

class QtMainWindows : public core::MainWindowHooks {
public:
    QtMainWindows();
    ~QtMainWindows() override;

    void load(core::MainWindow window) override;
    void show(core::MainWindow window) override;
    void hide(core::MainWindow window) override;

    // Null until loaded.
    frmMain *multipleFileWindow() const { return main_.get(); }
    frmSingleFileMode *singleFileWindow() const { return single_.get(); }

private:
    std::unique_ptr<frmMain> main_;
    std::unique_ptr<frmSingleFileMode> single_;
};

// Registers a fresh QtMainWindows with the core and returns it (owned by the
// core).
QtMainWindows *installMainWindows();

} // namespace qvo::ui
