// Many generated inputs through the LZX compressor and independent decoders,
// compared byte for byte: libmspack for every case, 7zz and bsdtar for
// whole batches.
#include <gtest/gtest.h>

#include <random>

#include "codecs/lzx/lzx_compressor.h"
#include "lzx_test_cabinet.h"
#include "lzx_test_data.h"
#include "test_support.h"

namespace qvo::test::lzx {
namespace {

using codecs::lzx::LzxOptions;
using codecs::lzx::makeLzxCompressor;

constexpr size_t kFrame = 32768;

// A generated input: pieces of noise, runs, near and far repeats (far ones
// close to the window size), repeats placed across frame ends, and E8
// bytes near frame ends.
std::string generate(std::mt19937 &rng, int windowBits)
{
    const size_t window = size_t(1) << windowBits;
    const size_t target = rng() % 4 == 0 ? rng() % 64 : rng() % (window + 5 * kFrame);
    std::string s;
    while (s.size() < target) {
        switch (rng() % 8) {
        case 0: // noise
            s += randomBytes(1 + rng() % 3000, rng());
            break;
        case 1: // short runs of one byte
            s.append(1 + rng() % 20, char(rng()));
            break;
        case 2: // small alphabet: many short matches and repeated offsets
            for (size_t n = 1 + rng() % 4000; n > 0; --n)
                s.push_back("ab\xE8\0"[rng() % 4]);
            break;
        case 3: // near repeat
            if (!s.empty()) {
                size_t dist = 1 + rng() % std::min<size_t>(s.size(), 300);
                for (size_t n = 2 + rng() % 400; n > 0; --n)
                    s.push_back(s[s.size() - dist]);
            }
            break;
        case 4: // far repeat, at distances close to the window size
            if (s.size() > 1000) {
                size_t maxDist = std::min(s.size(), window - 3);
                size_t dist = maxDist - rng() % std::min<size_t>(maxDist, 8);
                for (size_t n = 3 + rng() % 600; n > 0; --n)
                    s.push_back(s[s.size() - dist]);
            }
            break;
        case 5: // a repeat that runs over the next frame end
            if (s.size() > 100) {
                size_t toEnd = kFrame - s.size() % kFrame;
                if (toEnd < 2000) {
                    size_t dist = 1 + rng() % std::min<size_t>(s.size(), 5000);
                    for (size_t n = toEnd + 1 + rng() % 300; n > 0; --n)
                        s.push_back(s[s.size() - dist]);
                }
            }
            break;
        case 6: { // E8 calls, some in the last bytes of a frame
            size_t toEnd = kFrame - s.size() % kFrame;
            if (toEnd < 16)
                s += randomBytes(toEnd - 1 - rng() % std::min<size_t>(toEnd, 4) + (toEnd == 0), rng());
            uint32_t rel = rng() % 2 ? rng() % 100000 : uint32_t(-int32_t(rng() % 100000));
            s.push_back(char(0xE8));
            for (int i = 0; i < 4; ++i)
                s.push_back(char(rel >> (8 * i)));
            break;
        }
        default:
            s += textData(1 + rng() % 5000, rng());
            break;
        }
    }
    s.resize(target);
    return s;
}

LzxOptions randomOptions(std::mt19937 &rng)
{
    LzxOptions o;
    o.e8Translation = rng() % 4 != 0;
    o.allowUncompressed = rng() % 4 != 0;
    o.allowAligned = rng() % 4 != 0;
    o.searchDepth = rng() % 2 ? 0 : 1 + rng() % 40;
    o.niceLength = rng() % 2 ? 0 : 3 + rng() % 255;
    return o;
}

TEST(LzxProperty, GeneratedInputsDecodeWithLibmspack)
{
    ASSERT_TRUE(Mspack::get().loaded());
    std::mt19937 rng(20261207);
    TempDir dir;
    for (int round = 0; round < 70; ++round) {
        const int window = 15 + round % 7;
        const LzxOptions options = randomOptions(rng);
        std::vector<CabEntry> entries;
        for (int f = 0, files = 1 + int(rng() % 3); f < files; ++f)
            entries.push_back({"f" + std::to_string(f), generate(rng, window)});

        auto compressor = makeLzxCompressor(window, options);
        ASSERT_TRUE(compressor);
        const auto cabPath = dir / ("r" + std::to_string(round) + ".cab");
        const auto outDir = dir / ("r" + std::to_string(round));
        writeFile(cabPath, buildCabinet(entries, *compressor));
        std::filesystem::create_directories(outDir);
        ASSERT_EQ(Mspack::get().extractAll(cabPath, outDir), "") << "round " << round;
        for (const auto &e : entries)
            ASSERT_TRUE(readFile(outDir / e.name) == e.data)
                << "round " << round << " window " << window << " file " << e.name << " size " << e.data.size();
        std::filesystem::remove_all(outDir);
        std::filesystem::remove(cabPath);
    }
}

TEST(LzxProperty, GeneratedBatchesDecodeWith7zzAndBsdtar)
{
    std::mt19937 rng(777);
    for (int window : {15, 17, 21}) {
        std::vector<CabEntry> entries;
        for (int f = 0; f < 8; ++f)
            entries.push_back({"g" + std::to_string(f), generate(rng, window)});
        auto compressor = makeLzxCompressor(window, randomOptions(rng));
        TempDir dir;
        const std::string cab = (dir / "b.cab").string();
        writeFile(cab, buildCabinet(entries, *compressor));
        for (const char *tool : {"7zz", "bsdtar"}) {
            ASSERT_TRUE(haveTool(tool)) << tool << " missing";
            const std::string out = (dir / tool).string();
            const std::string cmd = std::string(tool) == "7zz" ? "7zz x -y -o" + out + " " + cab
                                                                 : "mkdir -p " + out + " && bsdtar -xf " + cab + " -C " + out;
            std::string output;
            ASSERT_EQ(runCommand(cmd, &output), 0) << tool << " window " << window << ": " << output;
            for (const auto &e : entries)
                EXPECT_TRUE(readFile(dir / tool / e.name) == e.data) << tool << " window " << window << " " << e.name;
        }
    }
}

} // namespace
} // namespace qvo::test::lzx
