// The single-file window: one source archive, one target (named, or
// following the source's name), the target format, and the convert
// command.  Its fields live in the single-file settings.
#pragma once
#include "ui/target_buttons.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QMenu;
class QPushButton;
class QRadioButton;

namespace qvo::convert {
class ConversionRows;
}

namespace qvo::ui {

class PathBox;
class frmMain;

class frmSingleFileMode : public QMainWindow {
    Q_OBJECT
public:
    // Fills the window from appSettings; the globals must exist.
    frmSingleFileMode();
    ~frmSingleFileMode() override;

    void setMainWindow(frmMain *window) { mainWindow_ = window; }

    // Puts `path` into the source box and its setting, as a drop does.
    void takeSourceFile(const std::string &path);
    void cmdArchiveFileDlg_Click();
    void cmdConvToFileDlg_Click();
    void cmdConfigConv_Click();
    void convertSingleFile();

    // Stores the fields and the position.  Called when the multiple-file
    // window ends the program; closing this window ends it as well.
    void unloadFromMainWindow();

    // Test seam: what a run does.
    std::function<void(convert::ConversionRows *, int64_t)> startConversion;

    QGroupBox *Frame1 = nullptr;
    PathBox *txtArchiveFileName = nullptr;
    QPushButton *cmdArchiveFileDlg = nullptr;
    QGroupBox *frameConvToFile = nullptr;
    PathBox *txtConvToFileName = nullptr;
    QPushButton *cmdConvToFileDlg = nullptr;
    QCheckBox *chkSameName = nullptr;
    QGroupBox *frameConvType = nullptr;
    TargetButtons optConvType{};
    QButtonGroup *convTypeGroup = nullptr;
    QPushButton *cmdConfigConvButton = nullptr;
    QPushButton *cmdConv = nullptr;
    QPushButton *cmdExit = nullptr;
    QPushButton *cmdChangeMultipleFileMode = nullptr;
    QMenu *mFile = nullptr;
    QAction *mShowOption = nullptr;
    QAction *mShowVersionInfo = nullptr;
    QAction *mExit = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls(QWidget *client);
    void Form_Load();
    void chkSameName_Click();
    void storeFields();

    frmMain *mainWindow_ = nullptr;
    bool unloaded_ = false;
};

} // namespace qvo::ui
