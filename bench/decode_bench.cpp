// Our own decoders on the corpus members they exist for: RAR 1.5 to 4.x,
// the legacy ZIP methods (Shrink, Reduce, Implode, Deflate64) and LHA's
// -lh2- and -lh3-.  The members are small, so each benchmark decodes all
// of its members from memory in one pass and repeats the pass; nothing is
// written, the sink only counts.
//
//   decode_bench [CORPUS] [benchmark flags]   (CORPUS defaults to the
//                                              shared corpus of the tree)
//
// Counters: bytes_per_second (decoded bytes) and members.  The first pass
// checks every member's CRC, so a broken decoder cannot look fast.  The
// corpus's RAR 1.5 and 2.0 members are a few bytes each: that benchmark
// mostly measures setting up an unpacker (its 4 MiB window).  On a shared
// machine, compare the CPU column, or count instructions under callgrind.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/byte_stream.h"
#include "base/endian.h"
#include "codecs/lha/lh2_decoder.h"
#include "codecs/lha/lh3_decoder.h"
#include "codecs/lha/lha_crc16.h"
#include "codecs/rar/rar_unpacker.h"
#include "codecs/zip_legacy/zip_legacy_decoder.h"

namespace {

namespace fs = std::filesystem;
using qvo::base::loadLe16;
using qvo::base::loadLe32;
using qvo::base::MemorySource;

fs::path gCorpus = fs::path(QVO_SOURCE_DIR) / "../shared/corpus";

std::string readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const uint8_t *at(const std::string &s, size_t i) { return reinterpret_cast<const uint8_t *>(s.data()) + i; }

// Counts the bytes and, when asked, their CRC-32 or LHA's CRC-16.
class CountingSink final : public qvo::base::ByteSink {
public:
    enum class Crc { None, Zip, Lha };
    explicit CountingSink(Crc crc) : kind_(crc) {}
    bool write(const uint8_t *data, size_t size) override
    {
        total += size;
        if (kind_ == Crc::Zip)
            crc = static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
        else if (kind_ == Crc::Lha)
            crc = qvo::codecs::lha::crc16Update(static_cast<uint16_t>(crc), data, size);
        return true;
    }
    uint64_t total = 0;
    uint32_t crc = 0;

private:
    Crc kind_;
};

struct Member {
    std::string name;
    std::string packed;
    uint64_t size = 0;
    uint32_t crc = 0;
    int version = 0;   // RAR unpacker version
    bool solid = false; // RAR: continues the previous member
    uint16_t method = 0;
    uint16_t flags = 0;
};

// The compressed members of a RAR 1.5-4 archive (after any self-extractor
// stub), in order; empty for encrypted, split or RAR 5 archives.
std::vector<Member> rarMembers(const fs::path &file)
{
    static const std::string kMark("Rar!\x1a\x07\x00", 7);
    std::string raw = readFile(file);
    size_t p = raw.find(kMark);
    if (p == std::string::npos)
        return {};
    p += kMark.size();
    std::vector<Member> out;
    while (p + 7 <= raw.size()) {
        uint8_t type = static_cast<uint8_t>(raw[p + 2]);
        uint16_t flags = loadLe16(at(raw, p + 3));
        size_t headSize = loadLe16(at(raw, p + 5));
        if (headSize < 7 || p + headSize > raw.size())
            break;
        uint64_t add = (flags & 0x8000) && p + 11 <= raw.size() ? loadLe32(at(raw, p + 7)) : 0;
        if (type == 0x73 && (flags & 0x80))
            return {}; // encrypted headers
        if (type == 0x74 && headSize >= 32) {
            if (flags & 0x07) // split or encrypted
                return {};
            Member m;
            m.size = loadLe32(at(raw, p + 11));
            m.crc = loadLe32(at(raw, p + 16));
            m.version = static_cast<uint8_t>(raw[p + 24]);
            m.method = static_cast<uint8_t>(raw[p + 25]);
            m.solid = (flags & 0x10) != 0;
            m.name = file.filename().string() + ":" + raw.substr(p + 32, loadLe16(at(raw, p + 26)));
            m.packed = raw.substr(p + headSize, add);
            if (m.method != 0x30 && m.size > 0)
                out.push_back(std::move(m));
        }
        p += headSize + add;
    }
    return out;
}

// The members of a ZIP archive with the given methods, from the local
// headers (sizes there, no data descriptors).
std::vector<Member> zipMembers(const fs::path &file)
{
    std::string raw = readFile(file);
    std::vector<Member> out;
    size_t p = 0;
    while (p + 30 <= raw.size() && loadLe32(at(raw, p)) == 0x04034b50) {
        Member m;
        m.flags = loadLe16(at(raw, p + 6));
        m.method = loadLe16(at(raw, p + 8));
        m.crc = loadLe32(at(raw, p + 14));
        uint64_t packed = loadLe32(at(raw, p + 18));
        m.size = loadLe32(at(raw, p + 22));
        size_t start = p + 30 + loadLe16(at(raw, p + 26)) + loadLe16(at(raw, p + 28));
        m.name = file.filename().string() + ":" + raw.substr(p + 30, loadLe16(at(raw, p + 26)));
        m.packed = raw.substr(start, packed);
        p = start + packed;
        if (qvo::codecs::zip_legacy::isLegacyMethod(m.method))
            out.push_back(std::move(m));
    }
    return out;
}

// The one level-2 member of lh2.lzh / lh3.lzh.
std::vector<Member> lhaMember(const fs::path &file, const char *method)
{
    std::string raw = readFile(file);
    if (raw.size() < 26 || raw.compare(2, 5, method) != 0 || raw[20] != 2)
        return {};
    Member m;
    m.name = file.filename().string();
    m.size = loadLe32(at(raw, 11));
    m.crc = loadLe16(at(raw, 21));
    m.packed = raw.substr(loadLe16(at(raw, 0)), loadLe32(at(raw, 7)));
    return {m};
}

// One pass decodes every member once.
void decodePasses(benchmark::State &state, const std::vector<Member> &members, CountingSink::Crc crc,
                  const std::function<bool(const std::vector<Member> &, CountingSink::Crc, bool)> &pass)
{
    if (members.empty()) {
        state.SkipWithError("no members found in the corpus");
        return;
    }
    if (!pass(members, crc, true)) {
        state.SkipWithError("a member did not decode to its CRC");
        return;
    }
    uint64_t bytes = 0;
    for (const Member &m : members)
        bytes += m.size;
    for (auto _ : state)
        pass(members, crc, false);
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
    state.counters["members"] = static_cast<double>(members.size());
}

bool rarPass(const std::vector<Member> &members, CountingSink::Crc, bool check)
{
    // A solid member continues the previous one: one unpacker per archive.
    std::unique_ptr<qvo::codecs::rar::Rar4Unpacker> unpacker;
    bool ok = true;
    for (const Member &m : members) {
        if (!m.solid || !unpacker)
            unpacker = std::make_unique<qvo::codecs::rar::Rar4Unpacker>();
        MemorySource in(m.packed);
        CountingSink out(check ? CountingSink::Crc::Zip : CountingSink::Crc::None);
        auto r = unpacker->unpack(m.version, m.solid, in, m.size, out);
        if (check && (r != qvo::base::DecodeStatus::Ok || out.total != m.size || out.crc != m.crc)) {
            std::fprintf(stderr, "%s: does not decode\n", m.name.c_str());
            ok = false;
        }
    }
    return ok;
}

template <class Decode>
auto memberPass(Decode decode)
{
    return [decode](const std::vector<Member> &members, CountingSink::Crc crc, bool check) {
        bool ok = true;
        for (const Member &m : members) {
            MemorySource in(m.packed);
            CountingSink out(check ? crc : CountingSink::Crc::None);
            auto r = decode(m, in, out);
            if (check && (r != qvo::base::DecodeStatus::Ok || out.total != m.size || out.crc != m.crc)) {
                std::fprintf(stderr, "%s: does not decode\n", m.name.c_str());
                ok = false;
            }
        }
        return ok;
    };
}

std::vector<Member> rarCorpus(int minVersion, int maxVersion)
{
    std::vector<Member> all;
    for (const auto &e : fs::recursive_directory_iterator(gCorpus / "rar")) {
        if (!e.is_regular_file())
            continue;
        std::vector<Member> ms = rarMembers(e.path());
        bool fits = !ms.empty();
        for (const Member &m : ms)
            fits = fits && m.version >= minVersion && m.version <= maxVersion;
        if (fits)
            all.insert(all.end(), ms.begin(), ms.end());
    }
    return all;
}

void BM_Rar15And20(benchmark::State &state)
{
    static const std::vector<Member> members = rarCorpus(15, 26);
    decodePasses(state, members, CountingSink::Crc::Zip, rarPass);
}

void BM_Rar29(benchmark::State &state)
{
    static const std::vector<Member> members = rarCorpus(29, 36);
    decodePasses(state, members, CountingSink::Crc::Zip, rarPass);
}

void BM_ZipLegacy(benchmark::State &state, const char *archive)
{
    const std::vector<Member> members = zipMembers(gCorpus / "zip" / archive);
    decodePasses(state, members, CountingSink::Crc::Zip,
                 memberPass([](const Member &m, MemorySource &in, CountingSink &out) {
                     return qvo::codecs::zip_legacy::decodeLegacyMember(m.method, m.flags, in, m.size, out);
                 }));
}

void BM_Lh2(benchmark::State &state)
{
    const std::vector<Member> members = lhaMember(gCorpus / "lzh/lhasa/unlha32/lh2.lzh", "-lh2-");
    decodePasses(state, members, CountingSink::Crc::Lha,
                 memberPass([](const Member &m, MemorySource &in, CountingSink &out) {
                     return qvo::codecs::lha::decodeLh2(in, m.size, out);
                 }));
}

void BM_Lh3(benchmark::State &state)
{
    const std::vector<Member> members = lhaMember(gCorpus / "lzh/lhasa/unlha32/lh3.lzh", "-lh3-");
    decodePasses(state, members, CountingSink::Crc::Lha,
                 memberPass([](const Member &m, MemorySource &in, CountingSink &out) {
                     return qvo::codecs::lha::decodeLh3(in, m.size, out);
                 }));
}

} // namespace

BENCHMARK(BM_Rar15And20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rar29)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ZipLegacy, Shrink, "zip2/legacy/shrink.zip")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ZipLegacy, Reduce, "zip2/legacy/reduce.zip")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ZipLegacy, Implode, "zip2/legacy/implode.zip")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ZipLegacy, Deflate64, "dotnet-runtime-assets/compat/deflate64.zip")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lh2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lh3)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    if (argc > 1 && argv[1][0] != '-') {
        gCorpus = argv[1];
        --argc;
        ++argv;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
