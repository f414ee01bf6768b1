#include "ui/frmProgressRows.h"

namespace qvo::ui {

RowsHandedToWindowThread::RowsHandedToWindowThread(convert::ConversionRows &target) : target_(target)
{
    const int n = target.rowCount();
    rows_.reserve(size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i)
        rows_.push_back({target.fileName(i), target.folderName(i), target.status(i)});
}

std::string RowsHandedToWindowThread::fileName(int row) const
{
    return valid(row) ? rows_[size_t(row)].fileName : std::string();
}

std::string RowsHandedToWindowThread::folderName(int row) const
{
    return valid(row) ? rows_[size_t(row)].folderName : std::string();
}

std::string RowsHandedToWindowThread::status(int row) const
{
    std::lock_guard lock(mutex_);
    return valid(row) ? rows_[size_t(row)].status : std::string();
}

void RowsHandedToWindowThread::setStatus(int row, const std::string &status)
{
    if (!valid(row))
        return;
    {
        std::lock_guard lock(mutex_);
        rows_[size_t(row)].status = status;
    }
    QMetaObject::invokeMethod(
        &context_, [this, row, status] { target_.setStatus(row, status); }, Qt::QueuedConnection);
}

void RowsHandedToWindowThread::settle()
{
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (target_.status(int(i)) != rows_[i].status)
            target_.setStatus(int(i), rows_[i].status);
    }
}

} // namespace qvo::ui
