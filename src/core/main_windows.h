// The two main windows as the application core sees them.
//
// The core has no widgets: the window code implements this interface and
// registers it before Main runs.  Both windows are loaded once, stay loaded
// for the whole run, and are only shown and hidden.
#pragma once
#include <memory>

namespace qvo::core {

enum class MainWindow {
    multipleFile, // frmMain
    singleFile,   // frmSingleFileMode
};

class MainWindowHooks {
public:
    virtual ~MainWindowHooks() = default;
    // Creates the window without showing it; its controls are filled from
    // the settings, which are loaded by then.
    virtual void load(MainWindow window) = 0;
    // Shows the window modeless and without an owner.
    virtual void show(MainWindow window) = 0;
    virtual void hide(MainWindow window) = 0;
};

// Hands the window code to the core, which keeps it until the process ends.
void setMainWindowHooks(std::unique_ptr<MainWindowHooks> hooks);
// Null until the window code registered itself (headless use).
MainWindowHooks *mainWindowHooks();

} // namespace qvo::core
