// The list of archives of the multiple-file window, `listFile`.
//
// Each row holds file name, folder (ending with "/"), type key, size text
// and status.  The rows are kept twice: in the widget for display and in a
// locked table that the conversion run reads and writes, possibly from its
// own thread; status changes reach the widget through the window thread.
#pragma once
#include "convert/conversion_engine.h"

#include <QStringList>
#include <QTreeWidget>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace qvo::ui {

class FileList : public QTreeWidget, public convert::ConversionRows {
    Q_OBJECT
public:
    enum Column { colFileName, colFolder, colType, colSize, colStatus, kColumnCount };

    explicit FileList(QWidget *parent = nullptr);

    // Adds the file if the controller finds a source format in it (by its
    // extension, or by its content whatever the name) and it is no later
    // volume of a set, it is not listed yet (exact name and folder) and it
    // can be read now.  True when a row was added.
    bool addFileToList(const std::string &path);

    // The selected row, or -1.
    int selectedRow() const;
    void removeListRow(int row);
    void clearRows();
    // Sum of the figures the size column shows, in units of 1,000 bytes.
    int64_t totalKB() const;

    std::string typeKey(int row) const;
    std::string sizeText(int row) const;

    // ConversionRows
    int rowCount() const override;
    std::string fileName(int row) const override;
    std::string folderName(int row) const override;
    std::string status(int row) const override;
    void setStatus(int row, const std::string &status) override;

signals:
    // Local paths dropped from a file manager, in the order of the drop.
    void filesDropped(const QStringList &paths);
    // Any mouse button pressed in the list (after the selection followed it).
    void mousePressed(Qt::MouseButton button, const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct Row {
        std::string fileName;
        std::string folder;
        std::string typeKey;
        std::string sizeText;
        std::string status;
    };
    void showStatusOf(int row);

    mutable std::mutex mutex_;
    std::vector<Row> rows_;
};

} // namespace qvo::ui
