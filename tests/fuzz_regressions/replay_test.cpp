// Every input a fuzz target once failed on, replayed through the same
// harness the target uses.  inputs/<target>/ holds the files; a harness
// that finds a broken promise aborts, so each input runs in a child.
#include "../../fuzz/harness/cmdline_harness.h"
#include "../../fuzz/harness/extract_harness.h"
#include "../../fuzz/harness/headers_harness.h"
#include "../../fuzz/harness/ini_harness.h"
#include "../../fuzz/harness/roundtrip_harness.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>

namespace fs = std::filesystem;
using namespace qvo::fuzz;

// Third-party readers meet absurd sizes with a failing malloc, which they
// handle; under AddressSanitizer such a request must fail the same way
// instead of stopping the program.
extern "C" const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

using Replay = std::function<void(const uint8_t *, size_t)>;

std::vector<uint8_t> readBytes(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// The six command functions, from the built libraries.
ArchiverCommands loadCommands()
{
#define QVO_NAME_OF(id, file, version, command) qvo_##id,
    static const QvoArchiverName names[] = {QVO_ARCHIVER_LIBRARIES(QVO_NAME_OF)};
#undef QVO_NAME_OF
    ArchiverCommands libs;
    for (size_t i = 0; i < std::size(names); ++i) {
        void *h = dlopen((std::string(QVO_LIBRARY_DIR) + "/" + names[i].file).c_str(), RTLD_NOW);
        if (h)
            libs.fn[i] = reinterpret_cast<CommandFunction>(dlsym(h, names[i].commandFunction));
    }
    return libs;
}

std::map<std::string, Replay> replays(const Scratch &s)
{
    return {
        {"extract_lha", [&](auto d, auto n) { fuzzExtract(s, ExtractFormat::Lha, d, n); }},
        {"extract_cab", [&](auto d, auto n) { fuzzExtract(s, ExtractFormat::Cab, d, n); }},
        {"extract_zip", [&](auto d, auto n) { fuzzExtract(s, ExtractFormat::Zip, d, n); }},
        {"extract_rar", [&](auto d, auto n) { fuzzExtract(s, ExtractFormat::Rar, d, n); }},
        {"extract_arj", [&](auto d, auto n) { fuzzExtract(s, ExtractFormat::Arj, d, n); }},
        {"cmdline", [&](auto d, auto n) {
             static const ArchiverCommands libs = loadCommands();
             fuzzCommandLine(s, libs, "", d, n);
         }},
        {"ini", [&](auto d, auto n) { fuzzIni(s, d, n); }},
        {"lha_roundtrip", [](auto d, auto n) { fuzzLhaRoundTrip(d, n); }},
        {"lzx_roundtrip", [&](auto d, auto n) { fuzzLzxRoundTrip(s, d, n); }},
        {"lha_header", [](auto d, auto n) { fuzzLhaHeader(d, n); }},
        {"cab_writer", [&](auto d, auto n) { fuzzCabWriter(s, d, n); }},
    };
}

} // namespace

TEST(FuzzRegressions, EveryKeptInputPasses)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path inputs = fs::path(QVO_SOURCE_DIR) / "tests" / "fuzz_regressions" / "inputs";
    Scratch scratch("regress");
    auto table = replays(scratch);
    size_t count = 0;
    for (auto &dir : fs::directory_iterator(inputs)) {
        auto it = table.find(dir.path().filename().string());
        ASSERT_NE(it, table.end()) << "no harness for " << dir.path();
        for (auto &file : fs::directory_iterator(dir.path())) {
            std::vector<uint8_t> bytes = readBytes(file.path());
            SCOPED_TRACE(file.path().string());
            EXPECT_EXIT(
                {
                    it->second(bytes.data(), bytes.size());
                    std::exit(0);
                },
                ::testing::ExitedWithCode(0), "")
                << "harness failed on " << file.path();
            ++count;
        }
    }
    EXPECT_GT(count, 0u);
}
