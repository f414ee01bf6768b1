// The interface's two languages and its layout at higher screen densities.
//
// Every window is built under each language; outside a Japanese locale no
// Japanese text may remain, under a Japanese one every text must be the
// program's own, byte for byte.  The layout test runs here at 96 dpi and,
// through copies of this program on a virtual X server, at 120, 144 and
// 192 dpi (QT_FONT_DPI and QT_SCALE_FACTOR).
#include "layout_check.h"
#include "ui_fixture.h"
#include "xvfb_support.h"

#include "ui/file_list.h"
#include "ui/frmConfig.h"
#include "ui/frmMain.h"
#include "ui/frmProgress.h"
#include "ui/frmSingleFileMode.h"
#include "ui/frmVersion.h"
#include "ui/ui_translations.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

namespace qvo::test {
namespace {

using platform::UiLanguage;

// A run with nothing to do: the window shows its end at once.
class DoneJob : public ui::ProgressJob {
public:
    void run() override {}
    const convert::ConversionCounters &counters() const override { return counters_; }

private:
    convert::ConversionCounters counters_;
};

bool hasJapanese(const std::string &text)
{
    static const QRegularExpression japanese(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    return japanese.match(QString::fromStdString(text)).hasMatch();
}

void settle(QWidget &window)
{
    window.show();
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// Every window (each settings page on its own) as the user sees it, handed
// to `look` with its name.
class WindowTour : public UiTest {
protected:
    void visitEveryWindow(const std::function<void(const std::string &, QWidget &)> &look)
    {
        {
            ui::frmMain main;
            main.terminate = [] {};
            main.addFileToList(file("in/old.lzh", 1500));
            main.updateCommandState();
            settle(main);
            look("frmMain", main);
            main.hide();
        }
        {
            ui::frmSingleFileMode single;
            settle(single);
            look("frmSingleFileMode", single);
            single.hide();
        }
        for (int page = 0; page < 4; ++page) {
            ui::frmConfig config(*core::appSettings);
            config.selectPage(page);
            settle(config);
            look("frmConfig page " + std::to_string(page), config);
        }
        {
            DoneJob job;
            ui::frmProgress progress(job, *core::appSettings);
            settle(progress);
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!progress.hasEnded() && std::chrono::steady_clock::now() < end) {
                progress.timer_Timer();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            look("frmProgress", progress);
        }
        {
            ui::frmVersion about;
            settle(about);
            look("frmVersion", about);
        }
    }

    // The language the environment names, as the program picks it.
    bool installFor(const char *lang)
    {
        ScopedEnv language("LANGUAGE", nullptr), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr),
            locale("LANG", lang);
        return ui::installTranslations(platform::uiLanguage());
    }

    void TearDown() override
    {
        ui::removeTranslations();
        UiTest::TearDown();
    }
};

class WindowLanguage : public WindowTour {};

TEST_F(WindowLanguage, EnglishOutsideAJapaneseLocale)
{
    ASSERT_TRUE(installFor("en_US.UTF-8"));
    visitEveryWindow([](const std::string &name, QWidget &window) {
        const std::vector<std::string> texts = visibleTexts(&window);
        EXPECT_GT(texts.size(), 2u) << name;
        for (const std::string &text : texts)
            EXPECT_FALSE(hasJapanese(text)) << name << ": \"" << text << "\" is not translated";
    });

    ui::frmMain main;
    main.terminate = [] {};
    EXPECT_EQ(main.cmdConv->text().toStdString(), "&Convert");
    EXPECT_EQ(main.lblSumFileSize->text().toStdString(), "Total: 0 KB");
    main.addFileToList(file("in/a.lzh", 1500));
    EXPECT_EQ(main.listFile->topLevelItem(0)->text(ui::FileList::colStatus).toStdString(), "Waiting");
    // The row itself keeps the run's status text.
    EXPECT_EQ(main.listFile->status(0), convert::kStatusWaiting);
    main.calcAllFileSize();
    EXPECT_EQ(main.lblSumFileSize->text().toStdString(), "Total: 2 KB");

    // Messages, fixed and composed.
    core::appSettings->saveFolder = (dir / "missing").string();
    main.convertFiles();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Cannot save in the given folder. Please check the save folder.");
    EXPECT_EQ(ui::saveDriveShortageMessage("/mnt/d/", 1000.0),
              "There is not enough free space on /mnt/d/, where the archives are saved.\r\n"
              "1,000 KB more free space is needed.");
    EXPECT_EQ(ui::progressCaption(100, 125000).toStdString(), "100 % done  /  2 min 5 s elapsed");
    // The dialogs' filters are worded from the formats' names and patterns.
    EXPECT_EQ(ui::qtFileFilter(core::archiveCtrl->dialogFilter(backends::SUPPORT_COMPRESS)).toStdString(),
              "All supported archives (*.lzh *.zip *.cab);;LHA archives (*.lzh);;ZIP archives (*.zip);;"
              "CAB archives (*.cab);;All files (*)");
    EXPECT_EQ(main.optConvType[1]->text().toStdString(), "ZIP (*.zip)");
    // Qt's own buttons stay English.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Cancel");
}

TEST_F(WindowLanguage, JapaneseLocaleShowsTheProgramsOwnTexts)
{
    std::map<std::string, std::vector<std::string>> untranslated;
    visitEveryWindow([&](const std::string &name, QWidget &window) { untranslated[name] = visibleTexts(&window); });

    ASSERT_TRUE(installFor("ja_JP.UTF-8"));
    visitEveryWindow([&](const std::string &name, QWidget &window) {
        EXPECT_EQ(visibleTexts(&window), untranslated[name]) << name;
    });
    ui::frmMain main;
    main.terminate = [] {};
    EXPECT_EQ(main.cmdConv->text().toStdString(), "変換開始(&C)");
    EXPECT_EQ(main.cmdChangeMultipleFileMode->text().toStdString(), "SingleFileModeへ切り替え");
    EXPECT_EQ(main.lblSumFileSize->text().toStdString(), "合計サイズ: 0 KB");
    main.calcAllFileSize();
    EXPECT_EQ(main.lblSumFileSize->text().toStdString(), "合計サイズ:  KB");
    EXPECT_EQ(ui::progressCaption(40, 7000).toStdString(), "40 % 変換終了  /  7 秒経過");
    EXPECT_EQ(ui::qtFileFilter(core::archiveCtrl->dialogFilter(backends::SUPPORT_COMPRESS)).toStdString(),
              "対応するすべての形式書庫ファイル (*.lzh *.zip *.cab);;LHA形式書庫ファイル (*.lzh);;"
              "ZIP形式書庫ファイル (*.zip);;CAB形式書庫ファイル (*.cab);;すべてのファイル (*)");
    EXPECT_EQ(main.optConvType[1]->text().toStdString(), "ZIP形式 (*.zip)");
    EXPECT_EQ(ui::saveDriveShortageMessage("/mnt/d/", 1000.0),
              "保存先の /mnt/d/ の空き容量が不足しています。変換を行うことができません\r\nあと 1,000 KBの空き容量が必要です");
    // Qt's own buttons and dialogs speak Japanese too.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "キャンセル");
}

class WindowLayout : public WindowTour {};

// Also the entry of the copies started at other densities.
TEST_F(WindowLayout, NothingOverlapsOrIsCutInEitherLanguage)
{
    if (const char *expected = std::getenv("QVO_EXPECT_DPI")) {
        // The density asked for has taken effect.
        const QScreen *screen = QGuiApplication::primaryScreen();
        ASSERT_NE(screen, nullptr);
        EXPECT_NEAR(screen->logicalDotsPerInch() * screen->devicePixelRatio(), std::atof(expected), 1.0);
    }
    for (const char *lang : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
        ASSERT_TRUE(installFor(lang));
        visitEveryWindow([&](const std::string &name, QWidget &window) {
            for (const std::string &problem : layoutProblems(&window))
                ADD_FAILURE() << lang << " " << name << ": " << problem;
        });
    }
}

TEST(WindowLayoutDensity, NothingOverlapsOrIsCutAt120To192Dpi)
{
    Child server;
    const std::string display = startXvfb(server);
    ASSERT_FALSE(display.empty()) << "Xvfb (package xvfb) could not be started";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    struct Density {
        const char *variable;
        const char *value;
        const char *dpi;
    };
    for (const Density &d : {Density{"QT_FONT_DPI", "96", "96"}, Density{"QT_FONT_DPI", "120", "120"},
                             Density{"QT_FONT_DPI", "144", "144"}, Density{"QT_FONT_DPI", "192", "192"},
                             Density{"QT_SCALE_FACTOR", "1.25", "120"}, Density{"QT_SCALE_FACTOR", "1.5", "144"},
                             Density{"QT_SCALE_FACTOR", "2", "192"}}) {
        std::string output;
        const int status = runCommand("env DISPLAY=" + display + " QVO_TEST_PLATFORM=xcb " + d.variable + "=" +
                                          d.value + " QVO_EXPECT_DPI=" + d.dpi + " " + sh(self) +
                                          " --gtest_filter=WindowLayout.NothingOverlapsOrIsCutInEitherLanguage",
                                      &output);
        EXPECT_EQ(status, 0) << d.variable << "=" << d.value << "\n" << output;
        EXPECT_NE(output.find("[       OK ] WindowLayout.NothingOverlapsOrIsCutInEitherLanguage"), std::string::npos)
            << d.variable << "=" << d.value << ": the check did not run\n" << output;
    }
}

} // namespace
} // namespace qvo::test
