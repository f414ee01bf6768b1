// One long batch: every archive of the corpus converted three times in
// one process, as a long session of the program does.  Nothing may stay
// behind: no open file descriptor, no growth of the resident size from
// the first pass to the third, and (under LeakSanitizer) no leak.
#include "robustness_support.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <fstream>
#include <vector>

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
            std::string ext = it->path().extension().string();
            for (char &c : ext)
                c = char(std::tolower(uint8_t(c)));
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
