// Lets the user pick a folder, starting at the folder chosen before (or the
// top of the file system), with or without a button for making a new
// folder.  Created for one use.
#pragma once
#include <cstdint>
#include <string>

class QWidget;

namespace qvo::ui {

class clsFolderBlowserDialog {
public:
    // The folder chosen by the last successful ShowDialog; a cancel keeps
    // it.  Set before ShowDialog, the dialog opens there, or in the nearest
    // folder above it that exists; empty, at the top.
    std::string SelectedPath;
    // Shown as the dialog's title when set.
    std::string Description;

    bool ShowNewFolderButton() const { return (flags_ & kNewFolderButton) != 0; }
    void setShowNewFolderButton(bool show)
    {
        flags_ = show ? (flags_ | kNewFolderButton) : (flags_ & ~kNewFolderButton);
    }

    // Shows the dialog modally over `owner` (none when null).  True when a
    // folder was chosen; its path then is in SelectedPath ("/" for the
    // top, other folders without a trailing "/").
    bool ShowDialog(QWidget *owner = nullptr);

private:
    static constexpr uint32_t kNewFolderButton = 0x40;
    uint32_t flags_ = kNewFolderButton;
};

} // namespace qvo::ui
