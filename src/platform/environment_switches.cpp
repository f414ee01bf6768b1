#include "platform/environment_switches.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

namespace qvo::platform {
namespace {

constexpr const char *kConversionsAtOnce = "QVO_CONVERSIONS_AT_ONCE";

const char *valueOf(const char *name)
{
    const char *text = std::getenv(name);
    return text && *text ? text : nullptr;
}

bool isOne(const char *name)
{
    const char *text = valueOf(name);
    return text && std::string_view(text) == "1";
}

} // namespace

std::filesystem::path libraryFolderOverride()
{
    const char *dir = valueOf("QVO_LIBRARY_DIR");
    return dir ? std::filesystem::path(dir) : std::filesystem::path();
}

unsigned conversionsAtOnce()
{
    const char *text = valueOf(kConversionsAtOnce);
    if (!text)
        return 1;
    const unsigned long count = std::strtoul(text, nullptr, 10);
    return static_cast<unsigned>(std::clamp(count, 1ul, 4096ul));
}

void setConversionsAtOnce(unsigned count)
{
    ::setenv(kConversionsAtOnce, std::to_string(std::max(1u, count)).c_str(), 1);
}

base::MachineShare machineShare()
{
    return {std::max(1u, std::thread::hardware_concurrency()), conversionsAtOnce()};
}

base::OrderedWorkersOptions withWorkerSwitches(base::OrderedWorkersOptions options)
{
    if (const char *threads = valueOf("QVO_WORKER_THREADS")) {
        const unsigned long forced = std::min(std::strtoul(threads, nullptr, 10), 64ul);
        if (forced > 0) {
            options.threads = static_cast<unsigned>(forced);
            options.consumerHelps = false;
        }
    }
    if (const char *log = valueOf("QVO_WORKER_LOG")) {
        options.whenDone = [path = std::string(log)](const base::OrderedWorkersStats &stats) {
            if (std::FILE *f = std::fopen(path.c_str(), "a")) {
                std::fprintf(f, "threads=%u jobs=%zu on_workers=%zu\n", stats.threadsStarted,
                             stats.ranOnWorkers + stats.ranOnConsumer, stats.ranOnWorkers);
                std::fclose(f);
            }
        };
    }
    return options;
}

std::optional<uint64_t> testExtractLimit()
{
    const char *text = valueOf("QVO_TEST_EXTRACT_LIMIT");
    if (!text)
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const unsigned long long limit = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return static_cast<uint64_t>(limit);
}

bool testWriterThread()
{
    return isOne("QVO_TEST_WRITER_THREAD");
}

bool testNamedTemporaries()
{
    return isOne("QVO_TEST_NAMED_TEMPORARIES");
}

} // namespace qvo::platform
