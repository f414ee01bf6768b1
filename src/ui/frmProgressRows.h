// The list rows as the conversion engine sees them from the worker thread.
//
// The rows are copied before the run (the list cannot change under the
// modal progress window); status changes are kept in the copy and handed to
// the thread that made this object, which alone touches the real rows.
#pragma once
#include "convert/conversion_engine.h"

#include <QObject>

#include <mutex>
#include <string>
#include <vector>

namespace qvo::ui {

class RowsHandedToWindowThread : public convert::ConversionRows {
public:
    // Made on the window thread.
    explicit RowsHandedToWindowThread(convert::ConversionRows &target);

    int rowCount() const override { return int(rows_.size()); }
    std::string fileName(int row) const override;
    std::string folderName(int row) const override;
    std::string status(int row) const override;
    // Any thread; the real row changes when the window thread gets to it.
    void setStatus(int row, const std::string &status) override;

    // On the window thread after the run: the real rows get the final
    // statuses, whether or not the handed-over changes have arrived.
    void settle();

private:
    struct Row {
        std::string fileName;
        std::string folderName;
        std::string status;
    };
    bool valid(int row) const { return row >= 0 && size_t(row) < rows_.size(); }

    convert::ConversionRows &target_;
    std::vector<Row> rows_;
    mutable std::mutex mutex_;
    // Last member: destroyed first, dropping changes not yet delivered.
    QObject context_;
};

} // namespace qvo::ui
