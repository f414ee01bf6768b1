// qvo-convert --jobs: several archives at once, the same results as one at
// a time.
#include "backends/fake_archivers.h"
#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

using namespace qvo::test;
namespace fs = std::filesystem;

namespace {

const std::string kProgram = std::string(QVO_BIN_DIR) + "/qvo-convert";

std::string command(const fs::path &tmp, const std::string &args, const fs::path &libraries = QVO_LIBRARY_DIR)
{
    // The status words under test are the Japanese ones.
    return "LANGUAGE=ja TMPDIR=" + sh(tmp) + " QVO_LIBRARY_DIR=" + sh(libraries) + " " + sh(kProgram) + " " + args +
           " </dev/null";
}

void makeZip(const fs::path &zip, const std::string &content)
{
    const fs::path tree = zip.parent_path() / (zip.filename().string() + ".tree");
    writeFile(tree / "a.txt", "alpha\n");
    writeFile(tree / "sub" / "data.bin", content);
    EXPECT_EQ(runCommand("cd " + sh(tree) + " && zip -qr " + sh(zip) + " . && rm -r " + sh(tree)), 0);
}

// Every file below `root`, relative, with its size.
std::set<std::string> listing(const fs::path &root)
{
    std::set<std::string> names;
    if (!fs::exists(root))
        return names;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        names.insert(fs::relative(entry.path(), root).string() +
                     (entry.is_regular_file() ? " " + std::to_string(entry.file_size()) : "/"));
    return names;
}

std::string replaceAll(std::string text, const std::string &from, const std::string &to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// Runs `args` in the background with its lines going to dir/lines, waits
// until two rows are being converted (two working folders), then runs
// `interrupt` (the program is $pid) and waits for the program.  The shell's
// output, with "status=N" for the program's exit status.
std::string runAndInterrupt(const fs::path &dir, const std::string &args, const std::string &interrupt)
{
    const fs::path root = dir / "Qvo";
    std::string log;
    const int status = runCommand("(" + command(dir, args) + " >" + sh(dir / "lines") + " & pid=$!; " +
                                      "for i in $(seq 1 400); do [ $(ls " + sh(root) +
                                      " 2>/dev/null | wc -l) -ge 2 ] && break; sleep 0.02; done; " + interrupt +
                                      "; wait $pid; echo status=$?)",
                                  &log);
    EXPECT_EQ(status, 0) << log;
    return log;
}

// A batch of every kind of row: a large archive first (so that later rows
// finish before it), small good ones, a broken one, two sources with one
// target.
void makeMixedBatch(const fs::path &in)
{
    makeZip(in / "big.zip", randomBytes(3u << 20, 7));
    for (int k = 0; k < 8; ++k)
        makeZip(in / ("small" + std::to_string(k) + ".zip"), std::string(size_t(2000 + k), char('a' + k)));
    writeFile(in / "broken.zip", "PK\x03\x04 this archive ends here");
    makeZip(in / "twice" / "small3.zip", "the second source of one target name");
}

} // namespace

TEST(QvoConvertJobs, UsageErrors)
{
    for (const char *jobs : {"0", "x", "-1", "1.5", "", "257", "99999999999"}) {
        std::string output;
        const int status = runCommand(command(fs::temp_directory_path(), "--to zip --out /tmp --jobs '" + std::string(jobs) + "' a.lzh"),
                                      &output);
        EXPECT_EQ(status, 2) << jobs << "\n" << output;
        EXPECT_NE(output.find("--jobs"), std::string::npos) << output;
    }
    std::string output;
    EXPECT_EQ(runCommand(command(fs::temp_directory_path(), "--to zip --out /tmp a.lzh --jobs"), &output), 2);
    EXPECT_EQ(runCommand(command(fs::temp_directory_path(), "--help"), &output), 0);
    EXPECT_NE(output.find("--jobs N"), std::string::npos);
}

// The same batch with one job and with four: the same lines in the same
// order, the same exit status, the same archives made and sources deleted.
TEST(QvoConvertJobs, FourJobsDoWhatOneDoes)
{
    TempDir dir;
    std::string outputs[2];
    int statuses[2];
    std::set<std::string> made[2], left[2];
    const char *jobs[] = {"1", "4"};
    for (int run = 0; run < 2; ++run) {
        const fs::path base = dir / ("jobs" + std::string(jobs[run]));
        makeMixedBatch(base / "in");
        statuses[run] = runCommand(command(dir.path(), "--jobs " + std::string(jobs[run]) +
                                                            " --to lzh --delete-source --out " + sh(base / "out") +
                                                            " " + sh(base / "in") + " " + sh(base / "in" / "twice")),
                                   &outputs[run]);
        outputs[run] = replaceAll(outputs[run], base.string(), "BASE");
        made[run] = listing(base / "out");
        left[run] = listing(base / "in");
        for (const auto &entry : fs::directory_iterator(base / "out"))
            EXPECT_EQ(runCommand("lhasa t " + sh(entry.path())), 0) << entry.path();
    }
    EXPECT_EQ(statuses[0], 1) << outputs[0];
    EXPECT_EQ(statuses[1], statuses[0]);
    EXPECT_EQ(outputs[1], outputs[0]);
    EXPECT_EQ(made[1], made[0]);
    EXPECT_EQ(left[1], left[0]);

    // What one job does, as the lines say it: everything but the broken
    // archive and the second small3 converted, their sources gone.
    const std::string &out = outputs[0];
    EXPECT_NE(out.find("変換成功  BASE/in/big.zip [ZIP] -> BASE/out/big.lzh"), std::string::npos) << out;
    EXPECT_NE(out.find("変換失敗  BASE/in/broken.zip [ZIP]"), std::string::npos) << out;
    EXPECT_NE(out.find("同名ファイルが存在  BASE/in/twice/small3.zip [ZIP]"), std::string::npos) << out;
    EXPECT_NE(out.find("9 converted, 1 failed, 1 skipped"), std::string::npos) << out;
    EXPECT_LT(out.find("big.zip"), out.find("broken.zip"));
    EXPECT_LT(out.find("broken.zip"), out.find("small0.zip"));
    EXPECT_LT(out.find("small7.zip"), out.find("twice/small3.zip"));
    std::set<std::string> leftNames;
    for (const std::string &entry : left[0])
        leftNames.insert(entry.substr(0, entry.find(' ')));
    EXPECT_EQ(leftNames, (std::set<std::string>{"broken.zip", "twice/", "twice/small3.zip"}));
}

// SIGTERM in the middle of a batch ends every worker; the program ends as
// the signal ends it, and leaves no working folder and no half-written
// archive.
TEST(QvoConvertJobs, TerminationLeavesNothingBehind)
{
    TempDir dir;
    for (int k = 0; k < 16; ++k)
        makeZip(dir / "in" / ("part" + std::to_string(k) + ".zip"), randomBytes(2u << 20, unsigned(k)));
    const fs::path root = dir / "Qvo";
    const std::string log =
        runAndInterrupt(dir.path(), "--jobs 2 --to lzh --out " + sh(dir / "out") + " " + sh(dir / "in"), "kill -TERM $pid");
    EXPECT_NE(log.find("status=143"), std::string::npos) << log;
    EXPECT_TRUE(listing(root).empty()) << *listing(root).begin();
    // What is in the save folder is whole; every line printed names one.
    const std::string lines = readFile(dir / "lines");
    size_t whole = 0;
    for (const auto &entry : fs::directory_iterator(dir / "out")) {
        EXPECT_EQ(runCommand("lhasa t " + sh(entry.path())), 0) << entry.path();
        ++whole;
    }
    EXPECT_LT(whole, 16u) << lines;
    for (size_t at = 0; (at = lines.find(" -> ", at)) != std::string::npos; ++at) {
        const std::string target = lines.substr(at + 4, lines.find('\n', at) - at - 4);
        EXPECT_TRUE(fs::exists(target)) << target;
    }
    EXPECT_EQ(runCommand("pgrep -f " + sh("[q]vo-convert --jobs 2 --to lzh --out " + (dir / "out").string())), 1)
        << "a worker outlived the program";
}

// A worker that dies in the middle of a row (killed, or crashed in a
// library) costs that row only: it is reported failed with the reason, a new
// worker takes the rest, its working folder does not stay, and nothing
// half-written reaches the save folder.
TEST(QvoConvertJobs, AWorkerKilledMidRowFailsThatRowOnly)
{
    TempDir dir;
    constexpr int kArchives = 8;
    for (int k = 0; k < kArchives; ++k)
        makeZip(dir / "in" / ("part" + std::to_string(k) + ".zip"), randomBytes(2u << 20, unsigned(k)));
    const fs::path root = dir / "Qvo";
    const std::string log = runAndInterrupt(dir.path(),
                                            "--jobs 2 --delete-source --to lzh --out " + sh(dir / "out") + " " + sh(dir / "in"),
                                            "kill -KILL $(pgrep -P $pid | head -n 1)");
    EXPECT_NE(log.find("status=1\n"), std::string::npos) << log;
    const std::string lines = readFile(dir / "lines");
    EXPECT_NE(lines.find(std::to_string(kArchives - 1) + " converted, 1 failed"), std::string::npos) << lines;
    const size_t failed = lines.find("変換失敗  ");
    ASSERT_NE(failed, std::string::npos) << lines;
    const std::string failedLine = lines.substr(failed, lines.find('\n', failed) - failed);
    EXPECT_NE(failedLine.find("the worker process converting it ended: signal 9"), std::string::npos) << failedLine;
    // The failed row's source stays; every other one was converted whole
    // and only then deleted.
    const std::string failedSource = failedLine.substr(failedLine.find(dir.path().string()));
    EXPECT_TRUE(fs::exists(failedSource.substr(0, failedSource.find(" [")))) << failedLine;
    EXPECT_EQ(listing(dir / "in").size(), 1u);
    size_t whole = 0;
    for (const auto &entry : fs::directory_iterator(dir / "out")) {
        EXPECT_EQ(runCommand("lhasa t " + sh(entry.path())), 0) << entry.path();
        ++whole;
    }
    EXPECT_EQ(whole, size_t(kArchives - 1)) << lines;
    EXPECT_TRUE(listing(root).empty()) << *listing(root).begin();
}

// A worker that dies while small rows wait in its queue (a library crashes
// on one archive): the row it was given fails, the rows behind it go to
// the worker that takes its place, and the lines keep the list's order.
TEST(QvoConvertJobs, RowsQueuedBehindADeadWorkerAreConvertedByItsSuccessor)
{
    TempDir dir;
    constexpr int kArchives = 24;
    for (int k = 0; k < kArchives; ++k)
        makeZip(dir / "in" / ("s" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ".zip"),
                std::string(size_t(100 + k), char('a' + k % 26)));
    // Every library is the real one behind a stand-in that crashes on s03.zip.
    fs::create_directories(dir / "lib");
    for (const char *file : kAllArchivers)
        fs::create_symlink(fs::path(QVO_FAKE_ARCHIVER_DIR) / "crashes" / file, dir / "lib" / file);
    std::string lines;
    const int status = runCommand("QVO_FAKE_REAL_DIR=" + sh(QVO_LIBRARY_DIR) + " QVO_FAKE_CRASH_ON=s03.zip " +
                                      command(dir.path(),
                                              "--jobs 2 --to lzh --out " + sh(dir / "out") + " " + sh(dir / "in"),
                                              dir / "lib"),
                                  &lines);
    EXPECT_EQ(status, 1) << lines;
    EXPECT_NE(lines.find(std::to_string(kArchives - 1) + " converted, 1 failed, 0 skipped"), std::string::npos) << lines;
    EXPECT_NE(lines.find("変換失敗  " + (dir / "in" / "s03.zip").string()), std::string::npos) << lines;
    EXPECT_NE(lines.find("ended: signal 9"), std::string::npos) << lines;
    size_t previous = 0;
    for (int k = 0; k < kArchives; ++k) {
        const std::string name = "s" + std::string(k < 10 ? "0" : "") + std::to_string(k);
        const size_t at = lines.find("/" + name + ".zip");
        ASSERT_NE(at, std::string::npos) << name << "\n" << lines;
        EXPECT_GT(at, previous) << name << " out of order\n" << lines;
        previous = at;
        if (k != 3) {
            EXPECT_EQ(runCommand("lhasa t " + sh(dir / "out" / (name + ".lzh"))), 0) << name;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "out" / "s03.lzh"));
    EXPECT_TRUE(listing(dir / "Qvo").empty()) << *listing(dir / "Qvo").begin();
}
