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

// The same summed over the process and its children (the workers of
// --jobs): what the run takes of the machine.
bool sampleProcessTree(pid_t pid, Sample &out)
{
    if (!sampleProcess(pid, out))
        return false;
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    for (pid_t child; children >> child;) {
        Sample s;
        if (sampleProcess(child, s)) {
            out.rssKiB += s.rssKiB;
            out.fds += s.fds;
        }
    }
    return true;
}

// Runs qvo-convert with `jobs` over `copies` copies of the corpus (a
// third of it when QVO_SKIP_HEAVY is set) and samples its process tree
// until it ends.  The samples, and its output.
struct WatchedBatch {
    std::vector<Sample> samples;
    std::string output;
    int status = 0;
};

WatchedBatch watchBatch(const fs::path &work, int jobs, int copies)
{
    WatchedBatch run;
    const fs::path program = fs::path(QVO_BIN_DIR) / "qvo-convert";
    EXPECT_TRUE(fs::exists(program)) << program;
    const bool light = std::getenv("QVO_SKIP_HEAVY") != nullptr;
    const auto archives = corpusArchives();
    EXPECT_GT(archives.size(), 100u);
    std::vector<std::string> args = {program.string(), "--jobs", std::to_string(jobs), "--to", "zip", "--same-type",
                                     "--overwrite", "--quiet", "--out", (work / "out").string()};
    for (int c = 0; c < copies; ++c) {
        const fs::path dir = work / ("copy" + std::to_string(c));
        fs::create_directories(dir);
        for (size_t i = 0; i < archives.size(); ++i) {
            if (light && i % 3 != 0)
                continue;
            const fs::path to = dir / (std::to_string(i) + "_" + archives[i].second.filename().string());
            fs::copy_file(archives[i].second, to);
        }
        args.push_back(dir.string());
    }
    fs::create_directories(work / "tmp");

    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // A fixed mmap threshold: glibc otherwise raises it to the size of each
    // large block freed (a 64 MiB LZMA dictionary, say), and later blocks of
    // such sizes stay cached in the heap, which looks like growth without
    // being any (heaptrack finds no leak there).
    std::vector<std::string> envText = {"TMPDIR=" + (work / "tmp").string(),
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
    const std::string log = (work / "log").string();
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0);
    if (spawned != 0)
        return run;
    for (;;) {
        Sample s;
        if (sampleProcessTree(pid, s))
            run.samples.push_back(s);
        if (waitpid(pid, &run.status, WNOHANG) == pid)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    run.output = readFile(log);
    return run;
}

long peakResident(const std::vector<Sample> &samples)
{
    long peak = 0;
    for (const auto &s : samples)
        peak = std::max(peak, s.rssKiB);
    return peak;
}

} // namespace

// The same through qvo-convert: one batch holding the corpus three times
// (three copies, so that no input is dropped as listed twice).  The
// process is watched from outside: its descriptors stay few and its
// resident size flat from the first third of the run to the last; built
// with AddressSanitizer it must exit without a LeakSanitizer report.
TEST(LongRun, QvoConvertBatchOfTheCorpusThreeTimes)
{
    TempDir t;
    // One process: workers end by _exit, so only --jobs 1 lets LeakSanitizer
    // see the engine's leaks, and the growth is that of one engine.
    const WatchedBatch run = watchBatch(t.path(), 1, std::getenv("QVO_SKIP_HEAVY") ? 2 : 3);
    const std::vector<Sample> &samples = run.samples;
    const std::string &output = run.output;
    ASSERT_TRUE(WIFEXITED(run.status)) << output.substr(0, 4000);
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
    const long peak = peakResident(samples);
    std::printf("qvo-convert: %zu samples, descriptors %zu..%zu, median resident %ld KiB (first third) %ld KiB (last),"
                " peak %ld KiB\n",
                samples.size(), minFds, maxFds, firstThird, lastThird, peak);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(lastThird, firstThird + 32 * 1024) << "resident size grew";
    EXPECT_LT(peak, 256L * 1024) << "peak resident size";
#endif
}

// With one job per processor (two at least) the whole process tree, the
// parent and its workers, stays under 256 MiB over the corpus, its large
// dictionaries included, and the run ends as one job's does.
TEST(LongRun, QvoConvertJobsPerProcessorStayUnderTheMemoryCap)
{
    TempDir t;
    const int jobs = std::max(2, int(std::thread::hardware_concurrency()));
    const WatchedBatch run = watchBatch(t.path(), jobs, 1);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.output.substr(0, 4000);
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output.substr(0, 4000);
    EXPECT_LE(WEXITSTATUS(run.status), 1) << run.output.substr(0, 4000); // some corpus archives fail
    ASSERT_GT(run.samples.size(), 3u) << "run too short to watch";
    const long peak = peakResident(run.samples);
    std::printf("qvo-convert --jobs %d: %zu samples, peak resident of the tree %ld KiB\n", jobs, run.samples.size(),
                peak);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(peak, 256L * 1024) << "peak resident size of the process tree";
#endif
    const fs::path root = t / "tmp" / "Qvo";
    EXPECT_TRUE(!fs::exists(root) || fs::is_empty(root)) << "working folders left behind";
}
