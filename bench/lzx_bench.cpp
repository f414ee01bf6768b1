// LZX at windows 15, 18 and 21 against MSZIP (deflate level 6 per 32 KiB
// frame, the previous frame as dictionary, as a CAB folder holds it) and
// against `xz -6` as a bracket, over a tree made by
// ../shared/bench/make-corpus.sh.
//
//   lzx_bench [TREE] [benchmark flags]     (TREE defaults to $QVO_BENCH_TREE)
//
// Each data set is the tree's files in path order, one folder stream, as a
// cabinet writer would feed them: the whole tree, and its text, src and bin
// parts.  Counters: out_bytes, pct_of_mszip (output size as a percentage of
// MSZIP's on the same data), speed_vs_mszip (throughput ratio, both measured
// in this run), and bytes_per_second.  Times are the thread's CPU time (xz,
// a child process, excepted): the machine is often shared, and wall time
// then says more about the neighbours than about the code.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <time.h>

#include "codecs/frame_compressor.h"
#include "codecs/lzx/lzx_compressor.h"

namespace {

namespace fs = std::filesystem;
using qvo::codecs::kFrameSize;

std::string readTree(const fs::path &root)
{
    std::vector<fs::path> files;
    for (const auto &e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::string all;
    for (const auto &f : files) {
        std::ifstream in(f, std::ios::binary);
        all.append(std::istreambuf_iterator<char>(in), {});
    }
    return all;
}

size_t lzxFolder(const std::string &data, int windowBits)
{
    auto c = qvo::codecs::lzx::makeLzxCompressor(windowBits);
    std::vector<uint8_t> out;
    size_t total = 0;
    for (size_t off = 0; off < data.size(); off += kFrameSize) {
        size_t n = std::min(kFrameSize, data.size() - off);
        out.clear();
        c->compressFrame({reinterpret_cast<const uint8_t *>(data.data()) + off, n}, off + n == data.size(), out);
        total += out.size() + 8; // CFDATA header
    }
    return total;
}

size_t mszipFolder(const std::string &data)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(kFrameSize + 4096);
    size_t total = 0;
    for (size_t off = 0; off < data.size(); off += kFrameSize) {
        size_t n = std::min(kFrameSize, data.size() - off);
        deflateReset(&z);
        if (off)
            deflateSetDictionary(&z, reinterpret_cast<const Bytef *>(data.data()) + off - kFrameSize, kFrameSize);
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data())) + off;
        z.avail_in = uInt(n);
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        deflate(&z, Z_FINISH);
        total += out.size() - z.avail_out + 2 + 8; // "CK" and CFDATA header
    }
    deflateEnd(&z);
    return total;
}

size_t xzSize(const std::string &data)
{
    const fs::path tmp = fs::temp_directory_path() / ("lzx_bench_" + std::to_string(getpid()));
    std::ofstream(tmp, std::ios::binary) << data;
    FILE *p = popen(("xz -6 -T1 -c '" + tmp.string() + "' | wc -c").c_str(), "r");
    size_t n = 0;
    if (!p || fscanf(p, "%zu", &n) != 1)
        n = 0;
    if (p)
        pclose(p);
    fs::remove(tmp);
    return n;
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct DataSet {
    std::string name;
    std::string data;
    size_t mszipBytes = 0;
    double mszipSeconds = 0;
};

} // namespace

int main(int argc, char **argv)
{
    std::string tree = getenv("QVO_BENCH_TREE") ? getenv("QVO_BENCH_TREE") : "";
    if (argc > 1 && argv[1][0] != '-') {
        tree = argv[1];
        for (int i = 1; i + 1 < argc; ++i)
            argv[i] = argv[i + 1];
        --argc;
    }
    if (tree.empty() || !fs::is_directory(tree)) {
        fprintf(stderr, "usage: lzx_bench TREE [benchmark flags]  (make TREE with make-corpus.sh DIR small)\n");
        return 2;
    }

    static std::vector<DataSet> sets;
    sets.push_back({"tree", readTree(tree)});
    for (const char *part : {"text", "src", "bin"})
        if (fs::is_directory(fs::path(tree) / part))
            sets.push_back({part, readTree(fs::path(tree) / part)});
    // MSZIP first, so every other result can be put against it.
    for (auto &s : sets) {
        const double t0 = cpuSeconds();
        s.mszipBytes = mszipFolder(s.data);
        s.mszipSeconds = cpuSeconds() - t0;
    }

    for (auto &s : sets) {
        DataSet *set = &s;
        auto report = [set](benchmark::State &state, size_t outBytes, double seconds) {
            state.SetBytesProcessed(int64_t(set->data.size()) * int64_t(state.iterations()));
            state.counters["in_bytes"] = double(set->data.size());
            state.counters["out_bytes"] = double(outBytes);
            state.counters["pct_of_mszip"] = 100.0 * double(outBytes) / double(set->mszipBytes);
            state.counters["speed_vs_mszip"] = set->mszipSeconds / seconds;
        };
        benchmark::RegisterBenchmark(("mszip/" + s.name).c_str(), [set, report](benchmark::State &state) {
            size_t out = 0;
            const double t0 = cpuSeconds();
            for (auto _ : state)
                out = mszipFolder(set->data);
            set->mszipSeconds = (cpuSeconds() - t0) / double(state.iterations());
            report(state, out, set->mszipSeconds);
        })->Iterations(1)->Unit(benchmark::kMillisecond);
        for (int w : {15, 18, 21}) {
            benchmark::RegisterBenchmark(("lzx" + std::to_string(w) + "/" + s.name).c_str(),
                                         [set, report, w](benchmark::State &state) {
                                             size_t out = 0;
                                             const double t0 = cpuSeconds();
                                             for (auto _ : state)
                                                 out = lzxFolder(set->data, w);
                                             report(state, out, (cpuSeconds() - t0) / double(state.iterations()));
                                         })
                ->Iterations(1)->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark(("xz6/" + s.name).c_str(), [set, report](benchmark::State &state) {
            size_t out = 0;
            auto t0 = std::chrono::steady_clock::now();
            for (auto _ : state)
                out = xzSize(set->data);
            double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            report(state, out, secs / double(state.iterations()));
        })->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
