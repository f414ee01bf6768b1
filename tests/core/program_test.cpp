// Starts the real program without a display, ends it the way a logout does
// and looks at the settings file it leaves.
#include "default_settings_file.h"
#include "test_support.h"

#include <regex>

#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

using qvo::test::readFile;
using qvo::test::TempDir;
using qvo::test::writeFile;
using qvo::test::kDefaultSettingsFile;

namespace {

const std::string program = std::string(QVO_BIN_DIR) + "/qvo";

// True once the process has its own SIGTERM handler in place.
bool catchesSigterm(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    return false;
}

// Starts qvo with `ini` as its settings file, waits until it is up, sends
// SIGTERM and returns its exit status (-1 when it did not end normally).
int startAndEnd(const std::string &ini)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        env.emplace_back(*e);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("QVO_INI_FILE=" + ini);
    std::vector<char *> envp;
    for (auto &s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string arg0 = program;
    char *argv[] = {arg0.data(), nullptr};

    pid_t pid;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!catchesSigterm(pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, FirstStartAndOrderlyEndWriteTheDefaultSettings)
{
    ASSERT_TRUE(std::filesystem::exists(program)) << "build the qvo target first";
    TempDir dir;
    std::string ini = (dir / "config" / "qvo" / "qvo3.ini").string();
    ASSERT_EQ(startAndEnd(ini), 0);
    // The multiple-file window stores where the window system placed it;
    // every other value is the default.
    std::string written = readFile(ini);
    written = std::regex_replace(written, std::regex("^\\[system\\]\ntop=-?[0-9]+\nleft=-?[0-9]+\n"),
                                 "[system]\ntop=0\nleft=0\n");
    EXPECT_EQ(written, kDefaultSettingsFile);
}

TEST(Program, ExistingSettingsAndForeignLinesSurviveARun)
{
    ASSERT_TRUE(std::filesystem::exists(program)) << "build the qvo target first";
    TempDir dir;
    std::string ini = (dir / "qvo3.ini").string();
    writeFile(ini, "; mine\r\n[system]\r\nmode=0\r\ntop=150\r\n[conv]\r\n"
                   "saveFolder=/srv/書庫/\r\nextra=kept\r\n");
    ASSERT_EQ(startAndEnd(ini), 0);
    EXPECT_EQ(readFile(ini), "; mine\r\n"
                             "[system]\r\n"
                             "mode=0\r\n"
                             "top=150\r\n"
                             "left=0\r\n"
                             "backGroundConvert=0\r\n"
                             "dialogAutoClose=0\r\n"
                             "deleteBeforeFile=0\r\n"
                             "[conv]\r\n"
                             "saveFolder=/srv/書庫/\r\n"
                             "extra=kept\r\n"
                             "convType=0\r\n"
                             "sameFolder=0\r\n"
                             "useUpperExtension=0\r\n"
                             "sameTypeConvert=0\r\n"
                             "lhaCompressLevel=0\r\n"
                             "zipCompressLevel=0\r\n"
                             "cabCompressLevel=0\r\n"
                             "overWrite=0\r\n"
                             "[singlefilemode]\r\n"
                             "convType=0\r\n"
                             "sameName=0\r\n"
                             "beforeFileName=\r\n"
                             "convToFileName=\r\n"
                             "top=0\r\n"
                             "left=0\r\n"
                             "[names]\r\n"
                             "archiveNameEncoding=auto\r\n");
}

} // namespace
