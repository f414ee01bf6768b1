// The real qvo program on a virtual X server, driven by xdotool the way a
// user would: add archives through the open dialog, convert, close with
// Ctrl+W.  Skipped only when no X server can be started.
#include "test_support.h"

#include "ui/window_links.h"
#include "xvfb_support.h"

#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

namespace qvo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Desktop {
public:
    explicit Desktop(std::string display) : display_(std::move(display)) {}
    // Runs xdotool; its exit status.
    int xdotool(const std::string &args, std::string *out = nullptr) const
    {
        return runCommand("DISPLAY=" + display_ + " timeout 20 xdotool " + args, out);
    }
    // The id of a visible window whose name matches, waiting for it.
    std::string window(const std::string &namePattern) const
    {
        std::string out;
        if (xdotool("search --sync --onlyvisible --name '" + namePattern + "'", &out) != 0)
            return {};
        return out.substr(0, out.find('\n'));
    }
    bool gone(const std::string &namePattern, std::chrono::seconds limit) const
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (runCommand("DISPLAY=" + display_ + " xdotool search --onlyvisible --name '" + namePattern +
                           "' >/dev/null") != 0)
                return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    void keys(const std::string &window, const std::string &keys) const
    {
        xdotool("windowfocus --sync " + window);
        xdotool("key --delay 50 " + keys);
    }

private:
    std::string display_;
};

// Each test runs the program on a display of its own.
class ProgramOnX : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(program)) << program;
        display = startXvfb(server);
        if (display.empty())
            GTEST_SKIP() << "no X server could be started";
        screen.emplace(display);
    }

    const fs::path program = fs::path(QVO_BIN_DIR) / "qvo";
    Child server;
    std::string display;
    std::optional<Desktop> screen;
};

TEST_F(ProgramOnX, AddConvertAndCloseLeaveArchivesAndSettings)
{
    // Driving a sanitizer build by keystrokes is too slow to be reliable.
    QVO_SKIP_IF_HEAVY();
    ASSERT_TRUE(haveTool("xdotool"));

    TempDir dir;
    const fs::path in = dir / "in";
    const fs::path out = dir / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    fs::create_directories(dir / "tmp");
    const std::vector<std::string> sources = {"lzh/lhasa/explzh_723/h1_lh5.lzh",
                                              "lzh/lhasa/explzh_723/h2_subdir.lzh", "cab/gcab/test-mszip.cab"};
    for (const std::string &s : sources)
        fs::copy_file(fs::path(QVO_CORPUS_DIR) / s, in / fs::path(s).filename());
    const fs::path ini = dir / "qvo3.ini";
    writeFile(ini, "[system]\nmode=1\ndialogAutoClose=1\n[conv]\nsaveFolder=" + out.string() +
                       "\nconvType=1\nlhaCompressLevel=2\nzipCompressLevel=6\ncabCompressLevel=10\n");

    Child qvo;
    ASSERT_TRUE(qvo.start({program.string()}, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                                               "QVO_INI_FILE=" + ini.string(),
                                               "QVO_LIBRARY_DIR=" + std::string(QVO_LIBRARY_DIR),
                                               "TMPDIR=" + (dir / "tmp").string()}));
    const std::string main = screen->window("^Qvo$");
    ASSERT_FALSE(main.empty());

    for (const std::string &s : sources) {
        screen->keys(main, "ctrl+a");
        const std::string dialog = screen->window("^Open$");
        ASSERT_FALSE(dialog.empty());
        screen->xdotool("windowfocus --sync " + dialog);
        screen->xdotool("type --delay 2 '" + (in / fs::path(s).filename()).string() + "'");
        screen->xdotool("key Return");
        ASSERT_TRUE(screen->gone("^Open$", 10s));
    }

    screen->keys(main, "ctrl+c");
    {
        const auto end = std::chrono::steady_clock::now() + 60s;
        auto count = [&] { return std::distance(fs::directory_iterator(out), fs::directory_iterator()); };
        while (count() < 3 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(200ms);
        EXPECT_EQ(count(), 3);
    }
    // The progress window closes by itself; until then the main window
    // takes no keys, so ask again until the program has ended.
    int exitStatus = -1;
    for (int attempt = 0; attempt < 20 && exitStatus < 0; ++attempt) {
        // Without a window manager nobody activates the window again after
        // the progress window: a click on its caption-free top does.
        screen->xdotool("mousemove --window " + main + " 5 5 click 1");
        screen->keys(main, "ctrl+w");
        exitStatus = qvo.waitFor(1s);
    }
    ASSERT_EQ(exitStatus, 0);

    const std::string settings = readFile(ini);
    for (const char *key :
         {"[system]", "top=", "left=", "mode=1", "backGroundConvert=", "dialogAutoClose=1", "deleteBeforeFile=",
          "[conv]", "convType=1", "sameFolder=0", "useUpperExtension=", "sameTypeConvert=", "lhaCompressLevel=2",
          "zipCompressLevel=6", "cabCompressLevel=10", "overWrite=", "[singlefilemode]", "sameName=",
          "beforeFileName=", "convToFileName="})
        EXPECT_NE(settings.find(key), std::string::npos) << key << "\n" << settings;
    EXPECT_NE(settings.find("saveFolder=" + out.string()), std::string::npos) << settings;
    EXPECT_EQ(settings.find("top=0\nleft=0\nmode"), std::string::npos) << "position not stored\n" << settings;

    {
        std::string listing;
        EXPECT_EQ(runCommand("bsdtar -tf '" + (out / "h1_lh5.zip").string() + "'", &listing), 0);
        EXPECT_NE(listing.find("gpl-2"), std::string::npos) << listing;
        EXPECT_EQ(runCommand("bsdtar -tf '" + (out / "h2_subdir.zip").string() + "'", &listing), 0);
        EXPECT_NE(listing.find("subdir/subdir2/hello.txt"), std::string::npos) << listing;
        EXPECT_EQ(runCommand("bsdtar -tf '" + (out / "test-mszip.zip").string() + "'", &listing), 0);
        EXPECT_NE(listing.find("test.txt"), std::string::npos) << listing;
    }
}

TEST_F(ProgramOnX, CommandLineFilesAndALaterStartFillOneList)
{
    QVO_SKIP_IF_HEAVY();

    TempDir dir;
    const fs::path in = dir / "in";
    const fs::path out = dir / "out";
    const fs::path run = dir / "run";
    fs::create_directories(in);
    fs::create_directories(out);
    fs::create_directories(dir / "tmp");
    fs::create_directories(run);
    fs::permissions(run, fs::perms::owner_all, fs::perm_options::replace);
    fs::copy_file(fs::path(QVO_CORPUS_DIR) / "lzh/lhasa/explzh_723/h1_lh5.lzh", in / "a.lzh");
    fs::copy_file(fs::path(QVO_CORPUS_DIR) / "zip/libarchive/test_basic.zip", in / "b.zip");
    fs::copy_file(fs::path(QVO_CORPUS_DIR) / "lzh/lhasa/explzh_723/h2_subdir.lzh", in / "c.lha");
    const fs::path ini = dir / "qvo3.ini";
    const std::string settings = "[system]\nmode=1\ndialogAutoClose=1\n[conv]\nsaveFolder=" + out.string() +
                                 "\nconvType=2\ncabCompressLevel=10\n";
    writeFile(ini, settings);
    const std::vector<std::string> env = {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                                          "QVO_INI_FILE=" + ini.string(),
                                          "QVO_LIBRARY_DIR=" + std::string(QVO_LIBRARY_DIR),
                                          "TMPDIR=" + (dir / "tmp").string(), "XDG_RUNTIME_DIR=" + run.string()};

    Child first;
    ASSERT_TRUE(first.start({program.string(), (in / "a.lzh").string(), (in / "b.zip").string()}, env));
    const std::string main = screen->window("^Qvo$");
    ASSERT_FALSE(main.empty());

    // A later start, from another folder and with a relative name, hands
    // its file over and ends without touching the settings file.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, in.c_str());
    Child later;
    ASSERT_TRUE(later.start({program.string(), "c.lha"}, env, &actions));
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(later.waitFor(20s), 0);
    EXPECT_EQ(readFile(ini), settings);

    // Converting the list proves what it holds: all three archives.
    screen->keys(main, "ctrl+c");
    {
        const auto end = std::chrono::steady_clock::now() + 60s;
        auto count = [&] { return std::distance(fs::directory_iterator(out), fs::directory_iterator()); };
        while (count() < 3 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(fs::exists(out / "a.cab"));
        EXPECT_TRUE(fs::exists(out / "b.cab"));
        EXPECT_TRUE(fs::exists(out / "c.cab"));
    }

    // Killed, it leaves its socket and lock; the next start is a first one.
    first.kill();
    ASSERT_GE(first.waitFor(10s), 0);
    ASSERT_TRUE(screen->gone("^Qvo$", 10s));
    Child next;
    ASSERT_TRUE(next.start({program.string()}, env));
    EXPECT_FALSE(screen->window("^Qvo$").empty());
    next.terminate();
    EXPECT_EQ(next.waitFor(20s), 0);
}

TEST_F(ProgramOnX, EndSignalClosesTheSingleFileWindowInOrder)
{

    TempDir dir;
    const fs::path ini = dir / "qvo3.ini";
    writeFile(ini, "[system]\nmode=0\n[singlefilemode]\nbeforeFileName=/data/a.lzh\nconvType=2\ntop=1500\nleft=3000\n");
    Child qvo;
    ASSERT_TRUE(qvo.start({program.string()}, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                                               "QVO_INI_FILE=" + ini.string(),
                                               "QVO_LIBRARY_DIR=" + std::string(QVO_LIBRARY_DIR)}));
    ASSERT_FALSE(screen->window("^Qvo\\(Single File Mode\\)$").empty());
    qvo.terminate();
    ASSERT_EQ(qvo.waitFor(20s), 0);
    const std::string settings = readFile(ini);
    EXPECT_NE(settings.find("mode=0"), std::string::npos) << settings;
    EXPECT_NE(settings.find("beforeFileName=/data/a.lzh"), std::string::npos) << settings;
    EXPECT_NE(settings.find("top=1500\nleft=3000"), std::string::npos) << settings;
    EXPECT_NE(settings.find("[conv]"), std::string::npos) << settings;
}

} // namespace
} // namespace qvo::test
