#include "ui/file_list.h"

#include "backends/archive_properties.h"
#include "core/globals.h"
#include "platform/file_status.h"
#include "ui/prompts.h"
#include "ui/size_text.h"
#include "ui/ui_translations.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QThread>
#include <QUrl>


namespace qvo::ui {
namespace {

struct ColumnLayout {
    const char *header;
    int width;
    Qt::Alignment alignment;
};
constexpr ColumnLayout kColumns[] = {
    {QT_TRANSLATE_NOOP("qvo::ui::FileList", "ファイル名"), 120, Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("qvo::ui::FileList", "フォルダ名"), 115, Qt::AlignLeft},
    {QT_TRANSLATE_NOOP("qvo::ui::FileList", "圧縮形式"), 60, Qt::AlignHCenter},
    {QT_TRANSLATE_NOOP("qvo::ui::FileList", "サイズ"), 80, Qt::AlignRight},
    {QT_TRANSLATE_NOOP("qvo::ui::FileList", "変換状況"), 105, Qt::AlignLeft},
};


} // namespace

FileList::FileList(QWidget *parent) : QTreeWidget(parent)
{
    setColumnCount(kColumnCount);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);

    auto *headerItem = new QTreeWidgetItem;
    for (int c = 0; c < kColumnCount; ++c) {
        headerItem->setText(c, tr(kColumns[c].header));
        headerItem->setTextAlignment(c, kColumns[c].alignment | Qt::AlignVCenter);
    }
    setHeaderItem(headerItem);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    for (int c = 0; c < kColumnCount; ++c)
        setColumnWidth(c, kColumns[c].width);
}

bool FileList::addFileToList(const std::string &path)
{
    if (!core::archiveCtrl)
        return false;
    const std::string key = core::archiveCtrl->checkArchive(path, backends::SUPPORT_EXTRACT);
    if (key.empty())
        return false;
    const size_t slash = path.rfind('/');
    Row row;
    row.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    row.fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    {
        std::lock_guard lock(mutex_);
        for (const Row &r : rows_)
            if (r.fileName == row.fileName && r.folder == row.folder)
                return false;
    }
    const int64_t length = platform::readableFileLength(path);
    if (length < 0)
        return false;
    row.typeKey = key;
    row.sizeText = qvo::ui::sizeText(length);
    row.status = convert::kStatusWaiting;

    auto *item = new QTreeWidgetItem;
    item->setText(colFileName, displayPath(row.fileName));
    item->setText(colFolder, displayPath(row.folder));
    item->setText(colType, QString::fromStdString(row.typeKey));
    item->setText(colSize, QString::fromStdString(row.sizeText));
    item->setText(colStatus, statusText(row.status));
    for (int c = 0; c < kColumnCount; ++c)
        item->setTextAlignment(c, kColumns[c].alignment | Qt::AlignVCenter);
    {
        std::lock_guard lock(mutex_);
        rows_.push_back(std::move(row));
    }
    addTopLevelItem(item);
    return true;
}

int FileList::selectedRow() const
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.front());
}

void FileList::removeListRow(int row)
{
    {
        std::lock_guard lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return;
        rows_.erase(rows_.begin() + row);
    }
    delete takeTopLevelItem(row);
}

void FileList::clearRows()
{
    {
        std::lock_guard lock(mutex_);
        rows_.clear();
    }
    clear();
}

int64_t FileList::totalKB() const
{
    std::lock_guard lock(mutex_);
    int64_t total = 0;
    for (const Row &r : rows_)
        total += sizeTextKB(r.sizeText);
    return total;
}

std::string FileList::typeKey(int row) const
{
    std::lock_guard lock(mutex_);
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].typeKey : std::string();
}

std::string FileList::sizeText(int row) const
{
    std::lock_guard lock(mutex_);
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].sizeText : std::string();
}

int FileList::rowCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}

std::string FileList::fileName(int row) const
{
    std::lock_guard lock(mutex_);
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].fileName : std::string();
}

std::string FileList::folderName(int row) const
{
    std::lock_guard lock(mutex_);
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].folder : std::string();
}

std::string FileList::status(int row) const
{
    std::lock_guard lock(mutex_);
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row].status : std::string();
}

void FileList::setStatus(int row, const std::string &text)
{
    {
        std::lock_guard lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return;
        rows_[row].status = text;
    }
    if (QThread::currentThread() == thread())
        showStatusOf(row);
    else
        QMetaObject::invokeMethod(this, [this, row] { showStatusOf(row); }, Qt::QueuedConnection);
}

// Copies the table's status into the widget.  A queued call may arrive
// after rows were removed, so it reads whatever the row holds now.
void FileList::showStatusOf(int row)
{
    std::string text;
    {
        std::lock_guard lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return;
        text = rows_[row].status;
    }
    if (QTreeWidgetItem *item = topLevelItem(row))
        item->setText(colStatus, statusText(text));
}

void FileList::mousePressEvent(QMouseEvent *event)
{
    QTreeWidget::mousePressEvent(event);
    emit mousePressed(event->button(), event->globalPosition().toPoint());
}

void FileList::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileList::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileList::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    emit filesDropped(paths);
}

} // namespace qvo::ui
