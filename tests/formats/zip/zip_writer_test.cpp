#include "codecs/crc32.h"
#include "codecs/deflate/deflate_encoder.h"
#include "codecs/deflate/deflate_layout.h"
#include "formats/zip/zip_format.h"
#include "formats/zip/zip_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <sys/stat.h>

using namespace qvo::formats::zip;
using namespace qvo::codecs::deflate;
using qvo::create::WriteStatus;
using qvo::test::readFile;
using qvo::test::runCommand;
using qvo::test::sh;
using qvo::test::TempDir;

namespace {

class MemoryOutput final : public qvo::base::SeekableOutput {
public:
    std::vector<uint8_t> bytes;
    bool write(const void *data, size_t size) override
    {
        auto p = static_cast<const uint8_t *>(data);
        bytes.insert(bytes.end(), p, p + size);
        return true;
    }
    bool writeAt(uint64_t offset, const void *data, size_t size) override
    {
        if (offset + size > bytes.size())
            return false;
        std::memcpy(bytes.data() + offset, data, size);
        return true;
    }
};

std::vector<uint8_t> textLike(size_t n, unsigned seed)
{
    static const char *words[] = {"archive ", "folder ", "deflate ", "ZIP ", "名前 ", "\n", "time ", "data "};
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    while (v.size() < n) {
        const char *w = words[rng() % 8];
        v.insert(v.end(), w, w + std::strlen(w));
        if (rng() % 7 == 0)
            v.push_back(static_cast<uint8_t>(rng()));
    }
    v.resize(n);
    return v;
}

std::vector<uint8_t> inflateRaw(const std::vector<uint8_t> &in, size_t expected)
{
    std::vector<uint8_t> out(expected + 1);
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = const_cast<Bytef *>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the final block";
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return out;
}

uint32_t crcOf(const std::vector<uint8_t> &v)
{
    return qvo::codecs::crc32(0, v);
}

// Three members, one written piece by piece past the output buffer so its
// local header is patched in the file, not in the buffer.
std::vector<uint8_t> sampleArchive(Zip64Thresholds limits, std::vector<uint8_t> &bigData)
{
    MemoryOutput out;
    ZipWriter w(out, limits);
    EntryMeta dir{"フォルダ", EntryMeta::Kind::Directory, 1600000001, 0755};
    EXPECT_EQ(w.addEntry(dir, DataInfo{}, {}), WriteStatus::Ok);

    std::vector<uint8_t> text = textLike(5000, 1);
    std::vector<uint8_t> packed;
    Deflater d(6);
    EXPECT_TRUE(d.compress(text, packed));
    EntryMeta small{"フォルダ/資料 1.txt", EntryMeta::Kind::File, 1600000003, 0644};
    EXPECT_EQ(w.addEntry(small, DataInfo{kMethodDeflate, crcOf(text), packed.size(), text.size()}, packed,
                         ZipWriter::deflateFlags(6)),
              WriteStatus::Ok);

    bigData = textLike(3u << 20, 2);
    EntryMeta big{"big.txt", EntryMeta::Kind::File, 1600000005, 0600};
    EXPECT_EQ(w.beginEntry(big, kMethodStore, 0, bigData.size(), bigData.size()), WriteStatus::Ok);
    size_t half = bigData.size() / 2;
    EXPECT_EQ(w.appendData(std::span(bigData).first(half)), WriteStatus::Ok);
    EXPECT_EQ(w.appendData(std::span(bigData).subspan(half)), WriteStatus::Ok);
    EXPECT_EQ(w.endEntry(DataInfo{kMethodStore, crcOf(bigData), bigData.size(), bigData.size()}),
              WriteStatus::Ok);

    std::string target = "big.txt";
    EntryMeta link{"link", EntryMeta::Kind::Symlink, 1600000007, 0777};
    auto t = std::span(reinterpret_cast<const uint8_t *>(target.data()), target.size());
    EXPECT_EQ(w.addEntry(link, DataInfo{kMethodStore, qvo::codecs::crc32(0, t), t.size(), t.size()}, t),
              WriteStatus::Ok);
    EXPECT_EQ(w.finish(), WriteStatus::Ok);
    EXPECT_EQ(w.entryCount(), 4u);
    return out.bytes;
}

bool contains(const std::vector<uint8_t> &v, uint32_t signature)
{
    uint8_t s[4] = {uint8_t(signature), uint8_t(signature >> 8), uint8_t(signature >> 16),
                    uint8_t(signature >> 24)};
    return std::search(v.begin(), v.end(), s, s + 4) != v.end();
}

// Extracts with one reader and checks every member.
void checkWithReaders(const std::vector<uint8_t> &archive, const std::vector<uint8_t> &bigData)
{
    TempDir tmp;
    std::filesystem::path zip = tmp / "a.zip";
    qvo::test::writeFile(zip, std::string(archive.begin(), archive.end()));
    const std::vector<std::pair<std::string, std::string>> readers = {
        {"unzip", "LC_ALL=C.UTF-8 unzip -q -o " + sh(zip) + " -d "},
        {"7zz", "7zz x -snld -y -bd " + sh(zip) + " -o"},
        {"bsdtar", "LC_ALL=C.UTF-8 bsdtar -xf " + sh(zip) + " -C "},
    };
    for (const auto &[tool, cmd] : readers) {
        ASSERT_TRUE(qvo::test::haveTool(tool)) << tool << " is needed";
        std::filesystem::path dest = tmp / ("x-" + tool);
        std::filesystem::create_directories(dest);
        std::string log;
        ASSERT_EQ(runCommand(cmd + sh(dest), &log), 0) << tool << ": " << log;
        std::string text = readFile(dest / "フォルダ/資料 1.txt");
        std::vector<uint8_t> expectText = textLike(5000, 1);
        EXPECT_EQ(text, std::string(expectText.begin(), expectText.end())) << tool;
        EXPECT_EQ(readFile(dest / "big.txt"), std::string(bigData.begin(), bigData.end())) << tool;
        EXPECT_TRUE(std::filesystem::is_symlink(dest / "link")) << tool;
        std::error_code ec;
        EXPECT_EQ(std::filesystem::read_symlink(dest / "link", ec), "big.txt") << tool;
        struct stat st;
        ASSERT_EQ(stat((dest / "big.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, 1600000005) << tool;
        ASSERT_EQ(stat((dest / "フォルダ").c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode)) << tool;
    }
    std::string log;
    EXPECT_EQ(runCommand("7zz t " + sh(zip), &log), 0) << log;
    EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
}

} // namespace

TEST(ZipDosTime, LocalTimeRoundedUpToEvenSecondsAndClamped)
{
    const char *old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "UTC", 1);
    tzset();
    // 2001-02-03 04:05:07 UTC -> 04:05:08
    uint32_t v = dosDateTime(981173107);
    EXPECT_EQ(v >> 16, ((2001u - 1980) << 9) | (2u << 5) | 3u);
    EXPECT_EQ(v & 0xFFFF, (4u << 11) | (5u << 5) | 4u);
    EXPECT_EQ(dosDateTime(0), (1u << 21) | (1u << 16)); // 1970 -> 1980-01-01
    EXPECT_EQ(dosDateTime(-5), (1u << 21) | (1u << 16));
    EXPECT_EQ(dosDateTime(int64_t(1) << 40) >> 25, 127u); // far future -> 2107
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ZipDeflate, IndependentChunksJoinIntoOneStream)
{
    // Text, noise (stored blocks inside) and runs, in chunks of many sizes:
    // each join must land on the exact bit where the previous chunk ended.
    std::vector<uint8_t> data = textLike(700000, 3);
    std::mt19937 rng(9);
    for (size_t i = 200000; i < 260000; ++i)
        data[i] = static_cast<uint8_t>(rng());
    std::fill(data.begin() + 400000, data.begin() + 500000, 'z');
    for (int level : {1, 6, 9}) {
        Deflater d(level);
        for (size_t chunk : {size_t(1), size_t(7), size_t(1000), size_t(65536), size_t(300001)}) {
            size_t total = chunk < 1000 ? 20000 : data.size();
            std::vector<uint8_t> stream, out;
            uint32_t crc = 0;
            for (size_t at = 0; at < total; at += chunk) {
                size_t n = std::min(chunk, total - at);
                auto input = std::span(data).subspan(at, n);
                d.compressChunk(input, at + n == total, out);
                stream.insert(stream.end(), out.begin(), out.end());
                crc = qvo::codecs::crc32Combine(crc, qvo::codecs::crc32(0, input), n);
            }
            std::vector<uint8_t> expect(data.begin(), data.begin() + static_cast<ptrdiff_t>(total));
            ASSERT_EQ(inflateRaw(stream, total), expect) << "level " << level << " chunk " << chunk;
            EXPECT_EQ(crc, crcOf(expect));
            if (chunk >= 1000) { // the bound assumes chunks of reasonable size
                EXPECT_LE(stream.size(), chunkedDeflateBound(total));
            }
        }
    }
}

TEST(ZipDeflate, LayoutFindsTheEndOfZlibStreamsAndRejectsDamage)
{
    // zlib picks stored, fixed and dynamic blocks differently from libdeflate.
    std::vector<uint8_t> data = textLike(150000, 7);
    for (int level = 0; level <= 9; ++level) {
        for (size_t n : {size_t(0), size_t(1), size_t(100), size_t(150000)}) {
            z_stream z{};
            ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
            std::vector<uint8_t> out(deflateBound(&z, n) + 16);
            z.next_in = data.data();
            z.avail_in = static_cast<uInt>(n);
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
            out.resize(out.size() - z.avail_out);
            deflateEnd(&z);
            auto layout = deflateLayout(out);
            ASSERT_TRUE(layout) << level << " " << n;
            EXPECT_EQ((layout->endBit + 7) / 8, out.size()) << level << " " << n;
            EXPECT_LT(layout->finalHeaderBit, layout->endBit);
            if (out.size() > 4) {
                out.resize(out.size() - 3);
                EXPECT_FALSE(deflateLayout(out)) << "truncated " << level << " " << n;
            }
        }
    }
    std::vector<uint8_t> junk = {0xFF, 0xFF, 0xFF, 0xFF}; // reserved block type
    EXPECT_FALSE(deflateLayout(junk));
    EXPECT_FALSE(deflateLayout({}));
}

TEST(ZipDeflate, WholeBufferShrinksTextAndDeclinesRandomOrEmptyData)
{
    std::vector<uint8_t> text = textLike(100000, 4), out;
    Deflater d(6);
    ASSERT_TRUE(d.compress(text, out));
    EXPECT_LT(out.size(), text.size() / 2);
    EXPECT_EQ(inflateRaw(out, text.size()), text);

    // Small and large (probed) noise is declined; large text passes the probe.
    for (size_t n : {size_t(50000), size_t(300000)}) {
        std::vector<uint8_t> noise(n);
        std::mt19937 rng(5);
        for (auto &b : noise)
            b = static_cast<uint8_t>(rng());
        EXPECT_FALSE(d.compress(noise, out)) << n;
    }
    std::vector<uint8_t> bigText = textLike(400000, 6);
    ASSERT_TRUE(d.compress(bigText, out));
    EXPECT_EQ(inflateRaw(out, bigText.size()), bigText);
    EXPECT_FALSE(d.compress({}, out));
    // Levels map monotonically onto libdeflate levels.
    for (int l = 2; l <= 9; ++l)
        EXPECT_LE(libdeflateLevel(l - 1), libdeflateLevel(l));
}

TEST(ZipWriter, ArchiveReadsBackWithoutZip64)
{
    std::vector<uint8_t> big;
    std::vector<uint8_t> a = sampleArchive(Zip64Thresholds{}, big);
    EXPECT_FALSE(contains(a, kZip64EndSignature));
    checkWithReaders(a, big);
}

TEST(ZipWriter, ForcedZip64RecordsReadBack)
{
    // Every size, offset and the entry count "overflow": all ZIP64 paths,
    // including the patched local ZIP64 sizes of the streamed member.
    std::vector<uint8_t> big;
    std::vector<uint8_t> a = sampleArchive(Zip64Thresholds{16, 2}, big);
    ASSERT_TRUE(contains(a, kZip64EndSignature));
    ASSERT_TRUE(contains(a, kZip64LocatorSignature));
    // Classic end record: counts and central directory offset point to ZIP64.
    const uint8_t *end = a.data() + a.size() - kEndSize;
    EXPECT_EQ(end[10] | end[11] << 8, 0xFFFF);
    EXPECT_EQ(uint32_t(end[16] | end[17] << 8 | end[18] << 16 | uint32_t(end[19]) << 24), 0xFFFFFFFFu);
    checkWithReaders(a, big);
}

TEST(ZipWriter, RefusesWhatItsHeadersCannotHold)
{
    MemoryOutput out;
    ZipWriter w(out, Zip64Thresholds{100, 0xFFFF});
    EntryMeta m{"f", EntryMeta::Kind::File, 0, 0644};
    ASSERT_EQ(w.beginEntry(m, kMethodStore, 0, 10, 10), WriteStatus::Ok);
    std::vector<uint8_t> data(200, 'x');
    ASSERT_EQ(w.appendData(data), WriteStatus::Ok);
    EXPECT_EQ(w.endEntry(DataInfo{kMethodStore, crcOf(data), 200, 200}), WriteStatus::TooLarge);
    EXPECT_EQ(w.finish(), WriteStatus::TooLarge);

    MemoryOutput out2;
    ZipWriter w2(out2);
    EntryMeta longName{std::string(70000, 'n'), EntryMeta::Kind::File, 0, 0644};
    EXPECT_EQ(w2.addEntry(longName, DataInfo{}, {}), WriteStatus::TooLarge);
}
