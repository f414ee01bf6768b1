// Cabinets made with our LZX compressor, read back by libmspack in-process
// and by cabextract, 7zz and bsdtar.
#include <gtest/gtest.h>

#include "codecs/lzx/lzx_compressor.h"
#include "lzx_test_cabinet.h"
#include "lzx_test_data.h"
#include "test_support.h"

namespace qvo::test::lzx {
namespace {

using codecs::lzx::LzxOptions;
using codecs::lzx::makeLzxCompressor;

// Builds a cabinet of `entries`, extracts it with libmspack and compares.
void expectMspackRoundTrip(const std::vector<CabEntry> &entries, int windowBits, const LzxOptions &options = {},
                           size_t *cabSize = nullptr)
{
    auto compressor = makeLzxCompressor(windowBits, options);
    ASSERT_TRUE(compressor);
    TempDir dir;
    const std::string cab = buildCabinet(entries, *compressor);
    if (cabSize)
        *cabSize = cab.size();
    writeFile(dir / "t.cab", cab);
    std::filesystem::create_directories(dir / "out");
    ASSERT_EQ(Mspack::get().extractAll(dir / "t.cab", dir / "out"), "");
    for (const auto &e : entries) {
        const std::string got = readFile(dir / "out" / e.name);
        ASSERT_EQ(got.size(), e.data.size()) << e.name << " window " << windowBits;
        ASSERT_TRUE(got == e.data) << e.name << " differs, window " << windowBits;
    }
}

std::vector<CabEntry> variedEntries()
{
    return {
        {"empty.txt", ""},
        {"text.txt", textData(150000, 1)},
        {"calls.bin", callsData(90000, 2)},
        {"program.bin", binaryFromSystem(400000)},
        {"zeros.bin", std::string(200000, '\0')},
        {"random.bin", randomBytes(70001, 3)},
        {"tiny.txt", "abc"},
    };
}

TEST(LzxRoundTrip, VariedFilesEveryWindow)
{
    ASSERT_TRUE(Mspack::get().loaded());
    const auto entries = variedEntries();
    for (int w = 15; w <= 21; ++w)
        expectMspackRoundTrip(entries, w);
}

TEST(LzxRoundTrip, WindowsOutsideRangeAreRefused)
{
    EXPECT_FALSE(makeLzxCompressor(14));
    EXPECT_FALSE(makeLzxCompressor(22));
    EXPECT_FALSE(makeLzxCompressor(-1));
    auto c = makeLzxCompressor(18);
    ASSERT_TRUE(c);
    EXPECT_EQ(qvo::formats::cab::folderType(*c), 0x1203);
}

TEST(LzxRoundTrip, EveryBlockKindAndHeaderVariant)
{
    const auto entries = variedEntries();
    for (bool e8 : {false, true})
        for (bool stored : {false, true})
            for (bool alignedBlocks : {false, true}) {
                LzxOptions o;
                o.e8Translation = e8;
                o.allowUncompressed = stored;
                o.allowAligned = alignedBlocks;
                expectMspackRoundTrip(entries, 16, o);
            }
}

TEST(LzxRoundTrip, LargerWindowFindsLongRangeRepeats)
{
    // 600 KB of noise, then the same noise again: only a window that
    // reaches back 600 KB can share it.
    const std::string noise = randomBytes(600000, 11);
    std::vector<CabEntry> entries{{"a.bin", noise}, {"b.bin", noise}};
    size_t small = 0, large = 0;
    expectMspackRoundTrip(entries, 15, {}, &small);
    expectMspackRoundTrip(entries, 21, {}, &large);
    EXPECT_LT(large, small * 6 / 10);
}

TEST(LzxRoundTrip, RepeatsFarBeyondTheTreeAreStillFound)
{
    // 50 KB of noise, 1.3 MB of text, the noise again: the second copy lies
    // far beyond the recent bytes the tree searches, and follows data that
    // compresses, so only the window-wide table can find it.
    const std::string noise = randomBytes(50000, 21);
    const std::string text = textData(1300000, 22);
    size_t once = 0, twice = 0;
    expectMspackRoundTrip({{"a.bin", noise}, {"b.txt", text}}, 21, {}, &once);
    expectMspackRoundTrip({{"a.bin", noise}, {"b.txt", text}, {"c.bin", noise}}, 21, {}, &twice);
    EXPECT_LT(twice - once, noise.size() / 20);
}

TEST(LzxRoundTrip, TextAfterNoiseCompressesAsWell)
{
    // Noise makes the next frames searched lightly; text after it must
    // not stay that way.
    const std::string noise = randomBytes(3 * 32768, 23);
    const std::string text = textData(400000, 24);
    size_t textAlone = 0, both = 0;
    expectMspackRoundTrip({{"t.txt", text}}, 18, {}, &textAlone);
    expectMspackRoundTrip({{"n.bin", noise}, {"t.txt", text}}, 18, {}, &both);
    EXPECT_LT(both, noise.size() + textAlone + textAlone / 50 + 200);
}

TEST(LzxRoundTrip, StoredBlocksBoundIncompressibleFrames)
{
    const std::string noise = randomBytes(5 * 32768 + 17, 5);
    auto compressor = makeLzxCompressor(17);
    const std::string cab = buildCabinet({{"n.bin", noise}}, *compressor);
    // Headers (36 + 8 + 16 + 6 names, 8 per frame) plus at most a few
    // dozen bytes of block overhead per frame.
    EXPECT_LT(cab.size(), noise.size() + 6 * (8 + 20) + 66);
}

// The other readers, run on a few cabinets.
class LzxExternalReaders : public ::testing::TestWithParam<int> {};

TEST_P(LzxExternalReaders, ExtractByteExactly)
{
    const int window = GetParam();
    auto entries = variedEntries();
    entries.push_back({"big_repeats.bin", randomBytes(300000, 9) + textData(50000, 4) + randomBytes(300000, 9)});
    auto compressor = makeLzxCompressor(window);
    TempDir dir;
    writeFile(dir / "t.cab", buildCabinet(entries, *compressor));

    struct Reader {
        const char *tool;
        std::string command;
    };
    const std::string cab = (dir / "t.cab").string();
    const std::vector<Reader> readers = {
        {"cabextract", "cabextract -q -d " + (dir / "cabextract").string() + " " + cab},
        {"7zz", "7zz x -y -o" + (dir / "7zz").string() + " " + cab},
        {"bsdtar", "mkdir -p " + (dir / "bsdtar").string() + " && bsdtar -xf " + cab + " -C " +
                       (dir / "bsdtar").string()},
    };
    for (const auto &r : readers) {
        ASSERT_TRUE(haveTool(r.tool)) << r.tool << " missing";
        std::string output;
        ASSERT_EQ(runCommand(r.command, &output), 0) << r.tool << ": " << output;
        for (const auto &e : entries) {
            const std::string got = readFile(dir / r.tool / e.name);
            EXPECT_TRUE(got == e.data) << r.tool << " window " << window << ": " << e.name << " differs ("
                                       << got.size() << " of " << e.data.size() << " bytes)";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, LzxExternalReaders, ::testing::Values(15, 18, 21));

} // namespace
} // namespace qvo::test::lzx
