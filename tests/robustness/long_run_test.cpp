// One long batch: every archive of the corpus converted three times in
// one process, as a long session of the program does.  Nothing may stay
// behind: no open file descriptor, no growth of the resident size from
// the first pass to the third, and (under LeakSanitizer) no leak.
#include "robustness_support.h"

#include "base/ascii.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <fcntl.h>
#include <spawn.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

extern char **environ;

using namespace qvo::test;
using namespace qvo::test::robust;

namespace {

size_t openDescriptors()
{
    size_t n = 0;
    for (auto &e : fs::directory_iterator("/proc/self/fd")) {
        (void)e;
        ++n;
    }
    return n;
}

// Resident size after free memory has gone back to the system, so that
// what the allocator keeps for reuse does not count as growth.
long residentKiB()
{
    malloc_trim(0);
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::vector<std::pair<Format, fs::path>> corpusArchives()
{
    std::vector<std::pair<Format, fs::path>> out;
    const std::pair<const char *, Format> folders[] = {
        {"lzh", Format::Lha}, {"zip", Format::Zip}, {"cab", Format::Cab}, {"rar", Format::Rar}};
    for (auto [folder, format] : folders) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(fs::path(QVO_CORPUS_DIR) / folder, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::string ext = qvo::base::asciiLower(it->path().extension().string());
            if (it->is_regular_file() && ext == std::string(".") + extensionOf(format) &&
                it->file_size() < (4 << 20))
                out.emplace_back(format, it->path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(LongRun, CorpusConvertedThreeTimesLeavesNoDescriptorsAndNoGrowth)
{
    // One malloc arena: the packers' short-lived threads would otherwise
    // each leave memory cached in an arena of their own, which looks like
    // growth without being any.
    mallopt(M_ARENA_MAX, 1);
    const auto archives = corpusArchives();
    ASSERT_GT(archives.size(), 100u) << "corpus missing at " << QVO_CORPUS_DIR;
    TempDir t;
    const Format targets[] = {Format::Zip, Format::Lha, Format::Cab};
    // Libraries are loaded once and stay, as in the program.
    (void)extract(Format::Lha, t / "none", t.path());
    const size_t fdsBefore = openDescriptors();
    long rssAfterFirst = 0;
    // The sanitizer run (QVO_SKIP_HEAVY) checks for leaks on a third of the
    // corpus, twice; QVO_LONG_RUN_PASSES asks for longer runs.
    const bool light = std::getenv("QVO_SKIP_HEAVY") != nullptr;
    const int kPasses = std::getenv("QVO_LONG_RUN_PASSES") ? std::atoi(std::getenv("QVO_LONG_RUN_PASSES"))
                        : light                            ? 2
                                                           : 3;
    int converted = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        int n = 0;
        for (const auto &[format, path] : archives) {
            if (light && n % 3 != 0) {
                ++n;
                continue;
            }
            const fs::path wf = t / "work" / ("a_" + std::to_string(++n));
            fs::create_directories(wf);
            const Format to = targets[(n + pass) % 3];
            const fs::path target = t / "save" / (std::to_string(n) + "." + extensionOf(to));
            fs::create_directories(target.parent_path());
            fs::remove(target);
            if (extract(format, path, wf) == 0 && compress(to, wf, target) == 0)
                ++converted;
            fs::remove_all(wf);
        }
        EXPECT_EQ(openDescriptors(), fdsBefore) << "after pass " << pass + 1;
        if (pass == 0)
            rssAfterFirst = residentKiB();
        std::printf("pass %d: %ld KiB resident\n", pass + 1, residentKiB());
    }
    std::printf("%d conversions of %zu archives succeeded\n", converted, archives.size());
    EXPECT_GT(converted, int(archives.size()) / 3);
    // Fragmentation may settle a little; a leak grows pass after pass.
    // Under AddressSanitizer freed memory waits in quarantine and the
    // resident size means nothing: LeakSanitizer checks at exit instead.
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(residentKiB(), rssAfterFirst + 4 * 1024)
        << "resident size grew from " << rssAfterFirst << " KiB";
#else
    (void)rssAfterFirst;
#endif
}

namespace {

struct Sample {
    long rssKiB;
    size_t fds;
};

// VmRSS and the number of open descriptors of a running process.
bool sampleProcess(pid_t pid, Sample &out)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    out.rssKiB = -1;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            out.rssKiB = std::atol(line.c_str() + 6);
    std::error_code ec;
    out.fds = 0;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec))
        ++out.fds;
    return out.rssKiB >= 0 && !ec;
}

} // namespace

// The same through qvo-convert: one batch holding the corpus three times
// (three copies, so that no input is dropped as listed twice).  The
// process is watched from outside: its descriptors stay few and its
// resident size flat from the first third of the run to the last; built
// with AddressSanitizer it must exit without a LeakSanitizer report.
TEST(LongRun, QvoConvertBatchOfTheCorpusThreeTimes)
{
    const fs::path program = fs::path(QVO_BIN_DIR) / "qvo-convert";
    ASSERT_TRUE(fs::exists(program)) << program;
    const bool light = std::getenv("QVO_SKIP_HEAVY") != nullptr;
    const auto archives = corpusArchives();
    ASSERT_GT(archives.size(), 100u);
    TempDir t;
    std::vector<std::string> args = {program.string(), "--to", "zip", "--same-type", "--overwrite", "--quiet",
                                     "--out", (t / "out").string()};
    const int copies = light ? 2 : 3;
    for (int c = 0; c < copies; ++c) {
        const fs::path dir = t / ("copy" + std::to_string(c));
        fs::create_directories(dir);
        for (size_t i = 0; i < archives.size(); ++i) {
            if (light && i % 3 != 0)
                continue;
            const fs::path to = dir / (std::to_string(i) + "_" + archives[i].second.filename().string());
            fs::copy_file(archives[i].second, to);
        }
        args.push_back(dir.string());
    }
    fs::create_directories(t / "tmp");

    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // A fixed mmap threshold: glibc otherwise raises it to the size of each
    // large block freed (a 64 MiB LZMA dictionary, say), and later blocks of
    // such sizes stay cached in the heap, which looks like growth without
    // being any (heaptrack finds no leak there).
    std::vector<std::string> envText = {"TMPDIR=" + (t / "tmp").string(),
                                        "GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072"};
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "TMPDIR=", 7) != 0 && std::strncmp(*e, "GLIBC_TUNABLES=", 15) != 0)
            envText.emplace_back(*e);
    std::vector<char *> envp;
    for (auto &e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = (t / "log").string();
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    std::vector<Sample> samples;
    int status = 0;
    for (;;) {
        Sample s;
        if (sampleProcess(pid, s))
            samples.push_back(s);
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::string output = readFile(log);
    ASSERT_TRUE(WIFEXITED(status)) << output.substr(0, 4000);
    EXPECT_EQ(output.find("LeakSanitizer"), std::string::npos) << output.substr(output.find("LeakSanitizer"), 4000);
    EXPECT_EQ(output.find("AddressSanitizer"), std::string::npos) << output.substr(0, 4000);
    ASSERT_GT(samples.size(), 9u) << "run too short to watch";

    size_t minFds = SIZE_MAX, maxFds = 0;
    for (const auto &s : samples) {
        minFds = std::min(minFds, s.fds);
        maxFds = std::max(maxFds, s.fds);
    }
    // A leak grows with every archive; what the run holds at a moment (the
    // writer's queue, folders held for it, pool threads) is bounded but
    // depends on how far behind the writer is, so a loaded machine sees more.
    EXPECT_LE(maxFds, minFds + 16) << "open descriptors grew from " << minFds << " to " << maxFds;
    // The medians of the first and last thirds: a leak moves the whole run,
    // while the peak of a third depends on timing (queues filled up to their
    // budgets while another process takes the processors).
    const size_t third = samples.size() / 3;
    auto medianResident = [&](size_t from) {
        std::vector<long> values;
        for (size_t i = from; i < from + third; ++i)
            values.push_back(samples[i].rssKiB);
        std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
        return values[values.size() / 2];
    };
    const long firstThird = medianResident(0);
    const long lastThird = medianResident(samples.size() - third);
    long peak = 0;
    for (const auto &s : samples)
        peak = std::max(peak, s.rssKiB);
    std::printf("qvo-convert: %zu samples, descriptors %zu..%zu, median resident %ld KiB (first third) %ld KiB (last),"
                " peak %ld KiB\n",
                samples.size(), minFds, maxFds, firstThird, lastThird, peak);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(lastThird, firstThird + 32 * 1024) << "resident size grew";
    EXPECT_LT(peak, 256L * 1024) << "peak resident size";
#endif
}
