// The settings dialog: general flags and the start-up mode, and the
// compression level of each target format, on four pages chosen with a
// drop-down list.  OK stores into the settings, writes the INI file at once
// and switches the main window when the mode changed; Cancel and the close
// box discard.
#pragma once
#include "settings/clsQvoSettings.h"

#include <QDialog>

#include <array>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qvo::ui {

// Pages of the dialog; the format pages are 1 + the format index.
enum ConfigPage : int {
    kPageGeneral = 0,
    kPageLHA = 1,
    kPageZIP = 2,
    kPageCAB = 3,
};

class frmConfig : public QDialog {
    Q_OBJECT
public:
    // Builds the controls and fills them from `settings`.
    explicit frmConfig(settings::clsQvoSettings &settings, QWidget *parent = nullptr);

    // How both main windows open the dialog: page `page` (0 general, 1 LHA,
    // 2 ZIP, 3 CAB) in front, modal over the program, editing appSettings.
    // True when the user pressed OK.
    static bool openAtPage(int page);

    // Brings page `page` to the front through the list, as a caller does.
    void selectPage(int page);
    int selectedMode() const { return selectedMode_; }

    // Controls.
    QComboBox *cmbPageList = nullptr;
    std::array<QFrame *, 4> framePage{};
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    QLabel *Label2 = nullptr;
    std::array<QRadioButton *, 2> optMode{};
    QCheckBox *chkBackGroundConvert = nullptr;
    QCheckBox *chkDialogAutoClose = nullptr;
    QCheckBox *chkDeleteBeforeFile = nullptr;
    QLabel *Label3 = nullptr;
    QCheckBox *chkUseUpperExtension = nullptr;
    QCheckBox *chkSameTypeConvert = nullptr;
    QCheckBox *chkOverWrite = nullptr;
    QLabel *lblNameCharset = nullptr;
    QComboBox *cmbNameCharset = nullptr; // item data: the encoding, "" for 自動判別

    QLabel *Label1 = nullptr;
    QComboBox *cmbLHACompressLevel = nullptr;

    QLabel *Label4 = nullptr;
    QComboBox *cmbZIPCompressLevel = nullptr;

    QLabel *Label5 = nullptr;
    std::array<QRadioButton *, 3> optCabCompressLevel{};
    QComboBox *cmbCABCompressLevelLZX = nullptr;

private:
    void buildGeneralPage(QFrame *page);
    void buildNameCharsetRow(QFrame *page);
    void loadNameCharset();
    void storeNameCharset();
    void buildLHAPage(QFrame *page);
    void buildZIPPage(QFrame *page);
    void buildCABPage(QFrame *page);
    void Form_Load();
    void cmbPageList_Click();
    void optCabCompressLevel_Click(int index);
    void cmdOK_Click();

    settings::clsQvoSettings &settings_;
    int32_t selectedMode_ = 1;
};

} // namespace qvo::ui
