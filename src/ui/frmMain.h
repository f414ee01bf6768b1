// The multiple-file window: the list of archives, the target format, the
// save folder, and the commands around them.  Every option control writes
// its value into the settings at once.
#pragma once
#include "convert/conversion_engine.h"
#include "ui/target_buttons.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QToolBar;

namespace qvo::ui {

class FileList;
class frmSingleFileMode;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Fills the window from appSettings; the globals must exist.
    frmMain();
    ~frmMain() override;

    void setSingleFileWindow(frmSingleFileMode *window) { singleFileWindow_ = window; }

    // The list's add operation and the three ways into it.
    bool addFileToList(const std::string &path);
    void addFileFromDialog();
    void addFilesFromFolder();
    // Adds the plain files directly inside `folder`.
    void addFilesInFolder(const std::string &folder);
    void addDroppedFiles(const QStringList &paths);
    // Files and folders from outside the window (a drop, the command line):
    // a folder adds the archives it holds, as the folder scan does.
    void addPathsFromOutside(const std::vector<std::string> &paths);
    void mRemoveFile_Click();
    void mInitializeList_Click();

    // Recomputes the total label; returns the total in units of 1,000 bytes.
    int32_t calcAllFileSize();
    void updateCommandState();

    void convertFiles();
    // Settings dialog on `page`, then the window refilled from the settings.
    void mShowSettingPage_Click(int page);
    // The controls bound to settings the dialog can change, from the settings.
    void refillFromSettings();
    void cmdConfigConv_Click();

    // Stores the position, closes the single-file window and ends the
    // program.  Every close of this window comes here.
    void Form_QueryUnload();

    // Test seams: what a run and the end of the program do.
    std::function<void(convert::ConversionRows *, int64_t)> startConversion;
    std::function<void()> terminate;

    // Controls, named as the rest of the program knows them.
    FileList *listFile = nullptr;
    QLabel *lblSumFileSize = nullptr;
    QToolBar *toolbar = nullptr;
    QAction *tbAddFile = nullptr;
    QAction *tbAddFileFromFolder = nullptr;
    QAction *tbDeleteList = nullptr;
    QAction *tbConvert = nullptr;
    QAction *tbConfig = nullptr;
    QFrame *frameConvType = nullptr;
    TargetButtons optConvType{};
    QButtonGroup *convTypeGroup = nullptr;
    QPushButton *cmdConfigConv = nullptr;
    QCheckBox *chkSameTypeConvert = nullptr;
    QPushButton *cmdChangeMultipleFileMode = nullptr;
    QFrame *frameSaveFolder = nullptr;
    QLabel *lblSaveFolder = nullptr;
    QCheckBox *chkSameFolder = nullptr;
    QLineEdit *txtSaveFolder = nullptr;
    QPushButton *cmdShowSaveFolderDlg = nullptr;
    QFrame *frameActionButton = nullptr;
    QCheckBox *chkOverWrite = nullptr;
    QPushButton *cmdConv = nullptr;
    QPushButton *cmdExit = nullptr;

    QMenu *mFile = nullptr;
    QAction *mAddFile = nullptr;
    QAction *mAddFolder = nullptr;
    QAction *mSaveList = nullptr;
    QAction *mInitializeList = nullptr;
    QAction *mConvert = nullptr;
    QAction *mExit = nullptr;
    QMenu *mSettings = nullptr;
    QAction *mShowSettings = nullptr;
    std::array<QAction *, 4> mShowSettingPage{};
    QMenu *mHelp = nullptr;
    QAction *mVersion = nullptr;
    QMenu *mListPopup = nullptr;
    QAction *mRemoveFile = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    // The settings may have changed while the window was hidden (the
    // settings dialog of the single-file window): the boxes show them anew.
    void showEvent(QShowEvent *event) override;

private:
    void buildControls(QWidget *client);
    void buildToolbar(QWidget *client);
    void buildMenus();
    void Form_Initialize();
    void selectConvType(int32_t index);
    void chkSameFolder_Click();
    void cmdShowSaveFolderDlg_Click();
    void toolbar_ButtonClick(const QString &key);
    void listFile_MouseDown(Qt::MouseButton button, const QPoint &globalPos);

    frmSingleFileMode *singleFileWindow_ = nullptr;
    bool unloading_ = false;
};

// The free-space message of a save drive: `figure` is the space, in units
// of 1,000 bytes, still to be found.
std::string saveDriveShortageMessage(const std::string &drive, double figure);

} // namespace qvo::ui
