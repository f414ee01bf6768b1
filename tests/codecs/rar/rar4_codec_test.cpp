// The RAR 1.5-4 decoders on their own (old comments, table and filter
// robustness) and the whole library on damaged copies of real archives of
// each method: every damaged archive must end cleanly, in bounded time.
#include "archivers/include/qvo_archiver.h"
#include "base/endian.h"
#include "codecs/lz/msb_bit_reader.h"
#include "codecs/rar/rar_filters.h"
#include "codecs/rar/rar_huffman.h"
#include "codecs/rar/rar_unpacker.h"
#include "archivers/reader_test_support.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <random>

namespace fs = std::filesystem;
using namespace qvo::codecs::rar;
using qvo::base::ByteSink;
using qvo::base::ByteSource;
using qvo::base::DecodeStatus;
using namespace qvo::archivers;
using namespace qvo::test;

namespace {

const fs::path kCorpus = fs::path(QVO_CORPUS_DIR) / "rar";

class BytesSource : public ByteSource {
public:
    explicit BytesSource(std::string b) : b_(std::move(b)) {}
    int64_t read(uint8_t *dst, size_t n) override
    {
        n = std::min(n, b_.size() - at_);
        std::memcpy(dst, b_.data() + at_, n);
        at_ += n;
        return static_cast<int64_t>(n);
    }

private:
    std::string b_;
    size_t at_ = 0;
};

class StringSink : public ByteSink {
public:
    bool write(const uint8_t *d, size_t n) override
    {
        s.append(reinterpret_cast<const char *>(d), n);
        return true;
    }
    std::string s;
};

TEST(Rar4Codecs, OldArchiveCommentDecodesWithTheRar15Method)
{
    // rar15-comment.rar keeps its archive comment, packed by RAR 1.5, inside
    // the main header: block (7), size (2), version (1), method (1), CRC16 (2).
    std::string raw = readFile(kCorpus / "rarfile/rar15-comment.rar");
    size_t at = 7 + 13;
    size_t blockSize = static_cast<uint8_t>(raw[at + 5]) | (static_cast<uint8_t>(raw[at + 6]) << 8);
    size_t size = static_cast<uint8_t>(raw[at + 7]) | (static_cast<uint8_t>(raw[at + 8]) << 8);
    ASSERT_EQ(static_cast<uint8_t>(raw[at + 9]), 15);
    BytesSource src(raw.substr(at + 13, blockSize - 13));
    StringSink out;
    Rar4Unpacker unpacker;
    ASSERT_EQ(unpacker.unpack(15, false, src, size, out), DecodeStatus::Ok);
    EXPECT_EQ(out.s, "RARcomment -----");
    EXPECT_FALSE(Rar4Unpacker::supportsVersion(50));
}

// Reads at most a few bytes per call, so every block boundary of the bit
// reader falls somewhere else.
class TrickleSource : public ByteSource {
public:
    TrickleSource(std::string b, unsigned seed) : b_(std::move(b)), rng_(seed) {}
    int64_t read(uint8_t *dst, size_t n) override
    {
        n = std::min({n, b_.size() - at_, static_cast<size_t>(1 + rng_() % 5)});
        std::memcpy(dst, b_.data() + at_, n);
        at_ += n;
        return static_cast<int64_t>(n);
    }

private:
    std::string b_;
    size_t at_ = 0;
    std::mt19937 rng_;
};

struct FirstMember {
    std::string packed;
    uint64_t size = 0;
    uint32_t crc = 0;
    int version = 0;
};

FirstMember firstMember(const fs::path &archive)
{
    std::string raw = readFile(archive);
    auto u16 = [&](size_t i) { return qvo::base::loadLe16(raw.data() + i); };
    auto u32 = [&](size_t i) { return qvo::base::loadLe32(raw.data() + i); };
    size_t at = 7 + u16(7 + 5);
    FirstMember m;
    m.size = u32(at + 11);
    m.crc = u32(at + 16);
    m.version = static_cast<uint8_t>(raw[at + 24]);
    m.packed = raw.substr(at + u16(at + 5), u32(at + 7));
    return m;
}

TEST(Rar4Codecs, OutputDoesNotDependOnHowTheInputArrives)
{
    for (const char *rel : {"rarfile/rar15-comment.rar", "rarfile/rar2-unix-owner.rar",
                            "libarchive/test_read_format_rar_filter.rar",
                            "libarchive/test_read_format_rar_compress_best.rar"}) {
        SCOPED_TRACE(rel);
        FirstMember m = firstMember(kCorpus / rel);
        for (unsigned seed = 1; seed <= 3; ++seed) {
            TrickleSource src(m.packed, seed);
            StringSink out;
            Rar4Unpacker unpacker;
            ASSERT_EQ(unpacker.unpack(m.version, false, src, m.size, out), DecodeStatus::Ok);
            EXPECT_EQ(out.s.size(), m.size);
            EXPECT_EQ(static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef *>(out.s.data()),
                                                  static_cast<uInt>(out.s.size()))),
                      m.crc);
        }
    }
}

TEST(Rar4Codecs, SinkThatStopsEndsDecoding)
{
    class Refusing : public ByteSink {
    public:
        bool write(const uint8_t *, size_t) override { return false; }
    };
    FirstMember m = firstMember(kCorpus / "libarchive/test_read_format_rar_filter.rar");
    BytesSource src(m.packed);
    Refusing out;
    Rar4Unpacker unpacker;
    EXPECT_EQ(unpacker.unpack(m.version, false, src, m.size, out), DecodeStatus::OutputStopped);
}

TEST(Rar4Codecs, BrokenCodeLengthsStillDecodeInsideTheTable)
{
    // Tables a hostile stream can send: empty, over-full, incomplete.
    std::mt19937 rng(7);
    std::vector<std::vector<uint8_t>> tables = {std::vector<uint8_t>(299, 0), std::vector<uint8_t>(299, 1),
                                                std::vector<uint8_t>(60, 15), {3}};
    std::vector<uint8_t> random(404);
    for (auto &l : random)
        l = static_cast<uint8_t>(rng() % 16);
    tables.push_back(random);
    std::string noise(4096, '\0');
    for (auto &c : noise)
        c = static_cast<char>(rng());
    for (const auto &lengths : tables) {
        HuffmanTable t;
        t.build(lengths.data(), lengths.size());
        BytesSource src(noise);
        qvo::codecs::lz::MsbBitReader in;
        in.reset(src);
        for (int i = 0; i < 2000; ++i)
            ASSERT_LT(t.decode(in), std::max<size_t>(lengths.size(), 1));
    }
}

TEST(Rar4Codecs, FiltersRefuseParametersOutsideTheirMemory)
{
    std::vector<uint8_t> mem(kFilterMemory + 4, 0);
    size_t offset = 0, size = 0;
    auto run = [&](FilterKind k, std::array<uint32_t, 7> r) { return runFilter(k, r, mem, offset, size); };
    EXPECT_FALSE(run(FilterKind::E8, {0, 0, 0, 0, kFilterMemory + 1, 0, 0}));
    EXPECT_FALSE(run(FilterKind::E8E9, {0, 0, 0, 0, 3, 0, 0}));
    EXPECT_FALSE(run(FilterKind::Itanium, {0, 0, 0, 0, 0xFFFFFFFF, 0, 0}));
    EXPECT_FALSE(run(FilterKind::Delta, {0, 0, 0, 0, 100, 0, 0}));                  // no channels
    EXPECT_FALSE(run(FilterKind::Delta, {3, 0, 0, 0, kFilterMemory / 2 + 1, 0, 0})); // output past memory
    EXPECT_FALSE(run(FilterKind::Rgb, {1000, 0, 0, 0, 300, 0, 0}));                 // wider than the block
    EXPECT_FALSE(run(FilterKind::Rgb, {30, 3, 0, 0, 300, 0, 0}));                   // red outside a pixel
    EXPECT_FALSE(run(FilterKind::Audio, {0, 0, 0, 0, 300, 0, 0}));
    EXPECT_FALSE(run(FilterKind::Unknown, {0, 0, 0, 0, 300, 0, 0}));
    EXPECT_TRUE(run(FilterKind::Rgb, {30, 2, 0, 0, kFilterMemory / 2, 0, 0}));
    EXPECT_EQ(offset, kFilterMemory / 2);

    // E8: an absolute call target inside the file becomes relative again.
    std::fill(mem.begin(), mem.end(), 0);
    uint8_t code[] = {0x90, 0xE8, 0x10, 0x00, 0x00, 0x00, 0x90, 0x90, 0x90};
    std::copy(std::begin(code), std::end(code), mem.begin());
    ASSERT_TRUE(run(FilterKind::E8, {0, 0, 0, 0, sizeof code, 0, 0x100}));
    EXPECT_EQ(mem[2] | (mem[3] << 8), (0x10 - (2 + 0x100)) & 0xFFFF);
}

// Real archives, one per method and feature.
const char *const kSamples[] = {
    "rarfile/rar15-comment.rar",                                    // 1.5
    "rarfile/rar2-unix-owner.rar",                                  // 2.0
    "libarchive/test_read_format_rar3_lowdist_reset.rar",           // 2.9 LZ
    "libarchive/test_read_format_rar_filter.rar",                   // 2.9 with filters
    "libarchive/test_read_format_rar_compress_best.rar",            // PPMd
    "rarfile/rar3-solid.rar",                                       // solid
};

size_t firstDataOffset(const std::string &raw)
{
    size_t at = 7;
    at += static_cast<uint8_t>(raw[at + 5]) | (static_cast<uint8_t>(raw[at + 6]) << 8);
    at += static_cast<uint8_t>(raw[at + 5]) | (static_cast<uint8_t>(raw[at + 6]) << 8);
    return std::min(at, raw.size());
}

TEST(Rar4Hostile, DamagedDataOfEveryMethodFailsCleanly)
{
    std::mt19937 rng(2026);
    for (const char *rel : kSamples) {
        SCOPED_TRACE(rel);
        std::string raw = readFile(kCorpus / rel);
        size_t data = firstDataOffset(raw);
        ASSERT_LT(data, raw.size());
        for (int variant = 0; variant < 14; ++variant) {
            TempDir dir;
            std::string bad = raw;
            // One to eight bytes changed in the packed data.
            int changes = 1 + static_cast<int>(rng() % 8);
            for (int c = 0; c < changes; ++c)
                bad[data + rng() % (raw.size() - data)] ^= static_cast<char>(1 + rng() % 255);
            writeFile(dir / "bad.rar", bad);
            fs::create_directory(dir / "out");
            CallOutcome o = callArchiver(kUnrar, "-x -o \"" + (dir / "bad.rar").string() + "\" \""
                                                     + (dir / "out").string() + "/\"", 30);
            ASSERT_TRUE(o.finished) << "variant " << variant << ": " << describe(o);
            EXPECT_TRUE(o.result == kOk || o.result == kErrCorrupt || o.result == kErrNotSupported)
                << "variant " << variant << ": " << describe(o);
        }
    }
}

TEST(Rar4Hostile, TruncatedArchivesOfEveryMethodFailCleanly)
{
    for (const char *rel : kSamples) {
        SCOPED_TRACE(rel);
        std::string raw = readFile(kCorpus / rel);
        size_t data = firstDataOffset(raw);
        for (size_t cut : {data + 1, data + (raw.size() - data) / 3, data + (raw.size() - data) / 2}) {
            if (cut >= raw.size())
                continue;
            TempDir dir;
            writeFile(dir / "cut.rar", raw.substr(0, cut));
            fs::create_directory(dir / "out");
            CallOutcome o = callArchiver(kUnrar, "-x \"" + (dir / "cut.rar").string() + "\" \""
                                                     + (dir / "out").string() + "/\"", 30);
            ASSERT_TRUE(o.finished) << "cut at " << cut << ": " << describe(o);
            EXPECT_EQ(o.result, kErrCorrupt) << "cut at " << cut;
        }
    }
}

} // namespace
