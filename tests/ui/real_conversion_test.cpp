// A real run over real archives from the multiple-file window: converted
// rows leave the list, the others stay with their status.
#include "test_support.h"

#include "core/application.h"
#include "core/globals.h"
#include "ui/file_list.h"
#include "ui/frmMain.h"
#include "ui/prompts.h"
#include "ui/window_links.h"

#include <QLabel>

#include <cstdlib>
#include <filesystem>

namespace qvo::test {
namespace {

namespace fs = std::filesystem;

TEST(RealConversion, ConvertedRowsAreRemovedAndArchivesWritten)
{
    TempDir dir;
    ::setenv("QVO_LIBRARY_DIR", QVO_LIBRARY_DIR, 1);
    qvo::test::ScopedEnv tmpdir("TMPDIR", (dir / "tmp").c_str());
    fs::create_directories(dir / "tmp");
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    core::createGlobalObjects();
    core::appSettings = std::make_unique<settings::clsQvoSettings>((dir / "qvo3.ini").string());
    core::appSettings->saveFolder = (dir / "out").string();
    core::appSettings->convType = 1; // ZIP
    core::appSettings->dialogAutoClose = true; // a progress window closes by itself
    std::vector<std::string> messages;
    ui::setPromptHandlers({[&](const std::string &text, ui::MessageButtons) {
                               messages.push_back(text);
                               return true;
                           },
                           {},
                           {}});

    for (const char *s : {"lzh/lhasa/explzh_723/h1_lh5.lzh", "lzh/lhasa/explzh_723/h2_subdir.lzh",
                          "cab/gcab/test-mszip.cab"})
        fs::copy_file(fs::path(QVO_CORPUS_DIR) / s, dir / "in" / fs::path(s).filename());
    writeFile(dir / "in" / "broken.lzh", "-lh5- no archive at all");
    {
        ui::frmMain main;
        for (const char *name : {"h1_lh5.lzh", "broken.lzh", "h2_subdir.lzh", "test-mszip.cab"})
            ASSERT_TRUE(main.addFileToList((dir / "in" / name).string())) << name;
        main.updateCommandState();
        main.convertFiles();
        EXPECT_TRUE(messages.empty()) << messages.front();
        ASSERT_EQ(main.listFile->rowCount(), 1);
        EXPECT_EQ(main.listFile->fileName(0), "broken.lzh");
        EXPECT_EQ(main.listFile->status(0), convert::kStatusFailed);
        EXPECT_EQ(main.listFile->topLevelItem(0)->text(4).toStdString(), "変換失敗");
        EXPECT_EQ(main.lblSumFileSize->text().toStdString(), "合計サイズ:  KB");
        main.terminate = [] {};
    }
    std::string listing;
    EXPECT_EQ(runCommand("bsdtar -tf '" + (dir / "out" / "h1_lh5.zip").string() + "'", &listing), 0);
    EXPECT_NE(listing.find("gpl-2"), std::string::npos) << listing;
    EXPECT_EQ(runCommand("unzip -l '" + (dir / "out" / "h2_subdir.zip").string() + "'", &listing), 0);
    EXPECT_NE(listing.find("subdir/subdir2/hello.txt"), std::string::npos) << listing;
    EXPECT_EQ(runCommand("unzip -t '" + (dir / "out" / "test-mszip.zip").string() + "'", &listing), 0) << listing;
    EXPECT_FALSE(fs::exists(dir / "out" / "broken.zip"));
    ui::setPromptHandlers({});
    core::releaseGlobalObjects();
}

} // namespace
} // namespace qvo::test
