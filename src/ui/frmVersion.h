// The about window: description, name with version and build label, the
// program's icon, and a picture revealed by clicking the icon with Shift,
// Ctrl or Alt held.
#pragma once
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace qvo::ui {

class frmVersion : public QDialog {
    Q_OBJECT
public:
    explicit frmVersion(QWidget *parent = nullptr);

    // Opens the window modally, without an owner, in the centre of the
    // screen; returns when it has closed.
    static void showModal();

    QLabel *Image1 = nullptr;
    QLabel *lblTitle = nullptr;
    QFrame *Line1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;
    QLabel *imgEgg = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void Image1_MouseDown(Qt::KeyboardModifiers modifiers);
};

// The text of lblTitle.
QString versionTitleText();

} // namespace qvo::ui
