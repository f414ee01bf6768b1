// Pictures of both main windows for review by eye, written only when
// QVO_SCREENSHOT_DIR names a folder (tools/screenshots-main.sh).
#include "test_support.h"

#include "core/application.h"
#include "core/globals.h"
#include "ui/file_list.h"
#include "ui/frmMain.h"
#include "ui/frmSingleFileMode.h"
#include "ui/path_box.h"
#include "ui/prompts.h"
#include "ui/window_links.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QRadioButton>

#include <cstdlib>
#include <filesystem>

namespace qvo::test {
namespace {

namespace fs = std::filesystem;

void save(QWidget *widget, const fs::path &file)
{
    widget->show();
    QApplication::processEvents();
    EXPECT_TRUE(widget->grab().save(QString::fromStdString(file.string()), "PNG")) << file;
}

TEST(Screenshots, MainWindows)
{
    const char *target = std::getenv("QVO_SCREENSHOT_DIR");
    if (!target || !*target)
        GTEST_SKIP() << "QVO_SCREENSHOT_DIR not set";
    const fs::path shots(target);
    fs::create_directories(shots);

    TempDir dir;
    ::setenv("QVO_LIBRARY_DIR", QVO_LIBRARY_DIR, 1);
    qvo::test::ScopedEnv tmpdir("TMPDIR", dir.path().c_str());
    core::createGlobalObjects();
    core::appSettings = std::make_unique<settings::clsQvoSettings>((dir / "qvo3.ini").string());
    core::appSettings->saveFolder = (dir / "out").string();
    core::appSettings->convType = 1;
    core::appSettings->dialogAutoClose = true;
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "in");

    // Real archives, one of which cannot be read, one whose target exists.
    const char *sources[] = {"lzh/lhasa/explzh_723/h1_lh5.lzh", "lzh/lhasa/explzh_723/h2_subdir.lzh",
                             "cab/gcab/test-mszip.cab", "zip/libarchive/test_basic.zip"};
    for (const char *s : sources)
        if (fs::exists(fs::path(QVO_CORPUS_DIR) / s))
            fs::copy_file(fs::path(QVO_CORPUS_DIR) / s, dir / "in" / fs::path(s).filename());
    writeFile(dir / "in" / "broken.lzh", "-lh5- this is no archive");
    writeFile(dir / "out" / "h2_subdir.zip", "already here");

    {
        ui::frmMain main;
        for (const auto &entry : fs::directory_iterator(dir / "in"))
            main.addFileToList(entry.path().string());
        main.updateCommandState();
        save(&main, shots / "main-list.png");

        // Keep every row for the picture: the run's statuses stay shown.
        main.startConversion = [&](convert::ConversionRows *rows, int64_t kb) {
            ui::links::startConversion(rows, kb);
            QApplication::processEvents();
            save(&main, shots / "main-after-conversion.png");
        };
        main.convertFiles();
        save(&main, shots / "main-after-removal.png");
        main.mFile->popup(main.mapToGlobal(QPoint(0, 20)));
        QApplication::processEvents();
        save(main.mFile, shots / "main-menu-file.png");
        main.mFile->hide();
        main.chkSameFolder->setChecked(true);
        save(&main, shots / "main-same-folder.png");
        main.terminate = [] {};
        main.hide();
    }
    {
        core::appSettings->singleBeforeFileName = (dir / "in" / "h1_lh5.lzh").string();
        core::appSettings->singleConvToFileName = (dir / "out" / "h1_lh5.zip").string();
        core::appSettings->singleConvType = 1;
        ui::frmSingleFileMode single;
        save(&single, shots / "single.png");
        single.chkSameName->setChecked(true);
        save(&single, shots / "single-same-name.png");
        single.hide();
    }
    core::releaseGlobalObjects();
}

} // namespace
} // namespace qvo::test
