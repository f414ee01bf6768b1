// The LHA encoders against an independent decoder: many random and
// structured inputs are compressed with lh1, lh5, lh6 and lh7, packed into
// one archive per method and extracted by lhasa; every member must come
// back byte for byte.
#include "codecs/lha/lh1_encoder.h"
#include "codecs/lha/lh_static_encoder.h"
#include "codecs/lha/lha_crc16.h"
#include "formats/lha/lha_header_writer.h"
#include "codecs/lha/lha_method.h"
#include "codecs/match/hc_matchfinder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>

using namespace qvo::codecs::lha;
using namespace qvo::formats::lha;
using qvo::test::TempDir;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes randomBytes(std::mt19937 &rng, size_t n, unsigned alphabet = 256)
{
    Bytes b(n);
    std::uniform_int_distribution<unsigned> d(0, alphabet - 1);
    for (auto &x : b)
        x = uint8_t(d(rng));
    return b;
}

Bytes wordsText(std::mt19937 &rng, size_t n)
{
    static const char *words[] = {"the ", "archive ", "圧縮 ", "file\n", "LHA ", "window ",
                                  "match ", "名前 ", "0123 ", "\t", "{}", "==> "};
    Bytes b;
    std::uniform_int_distribution<size_t> d(0, std::size(words) - 1);
    while (b.size() < n) {
        const char *w = words[d(rng)];
        b.insert(b.end(), w, w + std::strlen(w));
    }
    b.resize(n);
    return b;
}

// A block repeated with a period near a window size: matches at the
// largest distances the methods allow.
Bytes periodic(std::mt19937 &rng, size_t period, size_t n)
{
    Bytes unit = randomBytes(rng, period);
    Bytes b;
    while (b.size() < n)
        b.insert(b.end(), unit.begin(), unit.end());
    b.resize(n);
    return b;
}

// Byte frequencies growing like Fibonacci numbers: an unlimited Huffman
// code would need more than 16 bits.
Bytes fibonacciSkew(std::mt19937 &rng)
{
    Bytes b;
    uint32_t f0 = 1, f1 = 1;
    for (unsigned sym = 0; sym < 24; ++sym) {
        b.insert(b.end(), f0, uint8_t(sym * 7));
        uint32_t f2 = f0 + f1;
        f0 = f1;
        f1 = f2;
    }
    std::shuffle(b.begin(), b.end(), rng);
    return b;
}

std::vector<Bytes> testInputs()
{
    std::mt19937 rng(20240102);
    std::vector<Bytes> in;
    in.push_back({'a'});
    in.push_back({'a', 'b'});
    in.push_back({'a', 'a', 'a'});
    in.push_back(Bytes(4, 0));
    for (size_t n : {100u, 5000u, 70000u, 300000u})
        in.push_back(Bytes(n, 0x5C));
    for (size_t n : {17u, 1000u, 40000u, 140000u})
        in.push_back(randomBytes(rng, n));
    for (unsigned alphabet : {2u, 3u, 5u, 40u})
        in.push_back(randomBytes(rng, 50000, alphabet));
    for (size_t n : {300u, 9000u, 100000u, 400000u})
        in.push_back(wordsText(rng, n));
    for (size_t period : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u, 32767u, 32768u, 65535u, 65536u})
        in.push_back(periodic(rng, period, period * 3 + 123));
    in.push_back(fibonacciSkew(rng));
    // Changing statistics: text, noise, runs, text again (block splits).
    Bytes mixed = wordsText(rng, 120000);
    Bytes noise = randomBytes(rng, 60000);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    mixed.insert(mixed.end(), 90000, 'z');
    Bytes more = wordsText(rng, 80000);
    mixed.insert(mixed.end(), more.begin(), more.end());
    in.push_back(mixed);
    // Random-length runs of a few literals: many short matches.
    Bytes runs;
    std::uniform_int_distribution<unsigned> len(1, 300), sym(0, 3);
    while (runs.size() < 200000)
        runs.insert(runs.end(), len(rng), uint8_t('A' + sym(rng)));
    in.push_back(runs);
    return in;
}

Bytes encodeAll(LhaMethod m, const Bytes &in)
{
    Bytes out;
    ByteSink sink = [&](const uint8_t *p, size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
    };
    // No limit: incompressible inputs must still decode.
    const uint64_t unlimited = ~uint64_t(0);
    EncodeResult r;
    switch (m) {
    case LhaMethod::Lh1:
        r = encodeLh1(in.data(), in.size(), unlimited, sink);
        break;
    case LhaMethod::Lh5:
        r = encodeLhStatic(kLh5Params, in.data(), in.size(), unlimited, sink);
        break;
    case LhaMethod::Lh6:
        r = encodeLhStatic(kLh6Params, in.data(), in.size(), unlimited, sink);
        break;
    default:
        r = encodeLhStatic(kLh7Params, in.data(), in.size(), unlimited, sink);
        break;
    }
    EXPECT_EQ(r.status, EncodeStatus::Ok);
    EXPECT_EQ(r.compressedSize, out.size());
    return out;
}

class LhaEncoderRoundTrip : public ::testing::TestWithParam<LhaMethod> {};

TEST_P(LhaEncoderRoundTrip, LhasaDecodesEveryInput)
{
    const LhaMethod m = GetParam();
    const auto inputs = testInputs();
    TempDir dir;
    Bytes archive;
    for (size_t i = 0; i < inputs.size(); ++i) {
        Bytes packed = encodeAll(m, inputs[i]);
        LhaMemberHeader h;
        std::memcpy(h.method, lhaMethodId(m), 5);
        h.compressedSize = uint32_t(packed.size());
        h.originalSize = uint32_t(inputs[i].size());
        h.dataCrc = crc16Update(0, inputs[i].data(), inputs[i].size());
        h.fileName = "in" + std::to_string(i) + ".bin";
        auto hb = buildLevel2Header(h);
        archive.insert(archive.end(), hb.begin(), hb.end());
        archive.insert(archive.end(), packed.begin(), packed.end());
    }
    archive.push_back(0);
    std::ofstream(dir / "t.lzh", std::ios::binary)
        .write(reinterpret_cast<const char *>(archive.data()), std::streamsize(archive.size()));

    std::filesystem::create_directory(dir / "out");
    std::string log;
    ASSERT_EQ(qvo::test::runCommand("lhasa xqw=" + (dir / "out").string() + " " +
                                        qvo::test::sh(dir / "t.lzh"),
                                    &log),
              0)
        << log;
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::string got = qvo::test::readFile(dir / "out" / ("in" + std::to_string(i) + ".bin"));
        ASSERT_EQ(got.size(), inputs[i].size()) << "input " << i;
        EXPECT_TRUE(std::equal(got.begin(), got.end(), inputs[i].begin(),
                               [](char a, uint8_t b) { return uint8_t(a) == b; }))
            << "input " << i << " differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, LhaEncoderRoundTrip,
                         ::testing::Values(LhaMethod::Lh1, LhaMethod::Lh5, LhaMethod::Lh6,
                                           LhaMethod::Lh7),
                         [](const auto &p) { return std::string(lhaMethodId(p.param)).substr(1, 3); });

TEST(LhaEncoders, CompressibleDataShrinksAndNoiseIsReportedNotSmaller)
{
    std::mt19937 rng(7);
    Bytes text = wordsText(rng, 100000), noise = randomBytes(rng, 100000);
    ByteSink sink = [](const uint8_t *, size_t) { return true; };
    for (LhaMethod m : {LhaMethod::Lh1, LhaMethod::Lh5, LhaMethod::Lh6, LhaMethod::Lh7}) {
        EncodeResult a = encodeLhaMember(m, text.data(), text.size(), sink);
        EXPECT_EQ(a.status, EncodeStatus::Ok);
        EXPECT_LT(a.compressedSize, text.size() / 3);
        EXPECT_EQ(encodeLhaMember(m, noise.data(), noise.size(), sink).status, EncodeStatus::NotSmaller);
        EXPECT_EQ(encodeLhaMember(m, nullptr, 0, sink).status, EncodeStatus::NotSmaller);
    }
    ByteSink failing = [](const uint8_t *, size_t) { return false; };
    EXPECT_EQ(encodeLhaMember(LhaMethod::Lh5, text.data(), text.size(), failing).status,
              EncodeStatus::SinkFailed);
}

TEST(LhaCrc16, MatchesTheBitwiseDefinition)
{
    std::mt19937 rng(3);
    Bytes data = randomBytes(rng, 1001);
    uint16_t ref = 0;
    for (uint8_t byte : data) {
        ref ^= byte;
        for (int k = 0; k < 8; ++k)
            ref = (ref & 1) ? uint16_t((ref >> 1) ^ 0xA001) : uint16_t(ref >> 1);
    }
    EXPECT_EQ(crc16Update(0, data.data(), data.size()), ref);
    // In pieces of odd sizes too.
    uint16_t c = crc16Update(0, data.data(), 5);
    c = crc16Update(c, data.data() + 5, 996);
    EXPECT_EQ(c, ref);
    EXPECT_EQ(crc16Update(0, "123456789", 9), 0xBB3D); // CRC-16/ARC check value
}

TEST(HcMatchFinder, FindsTheLongestMatchInsideTheWindowOnly)
{
    qvo::codecs::match::HcMatchFinder mf(4, 10); // 16-byte window
    const uint8_t in[] = "abcdefXabcdefYabcdZZZZZZZZZZZZZZZZZZZZabcdef";
    const uint32_t n = sizeof in - 1;
    uint32_t dist = 0;
    unsigned best = 0;
    for (uint32_t pos = 0; pos < n; ++pos) {
        uint32_t d = 0;
        unsigned len = mf.findAndInsert(in, pos, n, 2, 256, 256, 64, &d);
        if (pos == 7) {
            best = len;
            dist = d;
        }
        if (pos == n - 6) { // "abcdef" again, but 31 bytes back: out of the window
            EXPECT_LT(len, 3u);
        }
    }
    EXPECT_EQ(best, 6u);
    EXPECT_EQ(dist, 7u);
}

TEST(HcMatchFinder, ListsEveryLongerMatchNearestFirst)
{
    qvo::codecs::match::HcMatchFinder mf(8, 10);
    // At the end, "abcdefgh" matches 3 bytes 4 back, 5 bytes 13 back and
    // 8 bytes 22 back.
    const uint8_t in[] = "abcdefghXabcdeYYYYabcXabcdefgh";
    const uint32_t n = sizeof in - 1;
    qvo::codecs::match::LzMatch found[16];
    for (uint32_t pos = 0; pos + 8 < n; ++pos)
        mf.insert(in, pos, n);
    unsigned count = mf.findAllAndInsert(in, n - 8, n, 256, 256, 16, found);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(found[0].length, 3u);
    EXPECT_EQ(found[0].distance, 4u);
    EXPECT_EQ(found[1].length, 5u);
    EXPECT_EQ(found[1].distance, 13u);
    EXPECT_EQ(found[2].length, 8u);
    EXPECT_EQ(found[2].distance, 22u);
}

} // namespace
