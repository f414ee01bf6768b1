// Stand-ins until the settings dialog, about window, folder browser and
// progress window are wired in here.
#include "ui/window_links.h"

#include "ui/prompts.h"

#include "core/globals.h"
#include "settings/clsQvoSettings.h"

// The engine's implementation arrives with its start checks.
#if __has_include("convert/start_check.h")
#include "convert/conversion_engine.h"
#define QVO_HAVE_ENGINE 1
#else
#define QVO_HAVE_ENGINE 0
#endif

#include <QFileDialog>
#include <QPainter>
#include <QPixmap>

namespace qvo::ui::links {

void openSettingsDialog(int) {}

void showAboutWindow()
{
    showMessage(nullptr, "書庫ファイル変換ユーティリティ\r\n\r\n\r\nQvo ver3.0");
}

std::optional<std::string> browseForFolder(QWidget *parent, const std::string &description,
                                           const std::string &startPath, bool showNewFolderButton)
{
    QFileDialog dialog(parent, QString::fromStdString(description), QString::fromStdString(startPath));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::ReadOnly, !showNewFolderButton);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::string() : chosen.front().toStdString();
}

#if QVO_HAVE_ENGINE
// Runs on the window thread, without a progress window.
void startConversion(convert::ConversionRows *rows, int64_t batchKB)
{
    if (!core::appSettings || !core::archiveCtrl)
        return;
    const std::string shortage = convert::workingSpaceShortage(batchKB);
    if (!shortage.empty()) {
        showMessage(nullptr, shortage);
        return;
    }
    convert::ConversionEngine engine(*core::appSettings, *core::archiveCtrl, rows);
    engine.run();
}

bool conversionAvailable() { return true; }
#else
void startConversion(convert::ConversionRows *, int64_t) {}

bool conversionAvailable() { return false; }
#endif

namespace {

QPixmap drawPages(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const qreal unit = size / 16.0;
    p.scale(unit, unit);
    p.setPen(QPen(QColor(0, 0, 128), 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 8, 10));
    p.drawRect(QRectF(6.5, 4.5, 8, 10));
    p.setPen(QPen(QColor(0, 0, 128), 0.5));
    for (qreal y = 7.5; y < 14; y += 2)
        p.drawLine(QPointF(8.5, y), QPointF(12.5, y));
    return pixmap;
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    icon.addPixmap(drawPages(16));
    icon.addPixmap(drawPages(32));
    return icon;
}

} // namespace qvo::ui::links
