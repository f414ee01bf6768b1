// A path text box that reports clicks into it and, when asked to, takes
// the first of the files dropped on it from a file manager.
#pragma once
#include <QLineEdit>

namespace qvo::ui {

class PathBox : public QLineEdit {
    Q_OBJECT
public:
    PathBox(bool acceptsFileDrops, QWidget *parent);

signals:
    void clicked();
    // The box's text was replaced by a dropped file's path.
    void fileDropped();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool acceptsFileDrops_;
};

} // namespace qvo::ui
