// The legacy ZIP decoders on real members (the corpus's Shrink, Reduce,
// Implode and Deflate64 archives, Deflate64 made by 7zz) and on damaged
// input: never more than the declared size, never a hang, never Ok with
// wrong data.
#include "base/endian.h"
#include "codecs/zip_legacy/zip_legacy_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace qvo::codecs::zip_legacy;
using qvo::base::ByteSink;
using qvo::base::DecodeStatus;
using qvo::base::MemorySource;
using qvo::base::loadLe16;
using qvo::base::loadLe32;
using qvo::test::readFile;
using qvo::test::runCommand;
using qvo::test::sh;
using qvo::test::TempDir;

namespace {

class MemorySink final : public ByteSink {
public:
    std::string bytes;
    size_t refuseAfter = SIZE_MAX;
    bool write(const uint8_t *data, size_t size) override
    {
        if (bytes.size() + size > refuseAfter)
            return false;
        bytes.append(reinterpret_cast<const char *>(data), size);
        return true;
    }
};

struct Member {
    std::string name;
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint64_t size = 0;
    std::string data; // compressed
};

// The members of a simple archive, read from its local headers in order
// (sizes in the local headers, no data descriptors).
std::vector<Member> localMembers(const std::string &zip)
{
    std::vector<Member> out;
    size_t at = 0;
    while (at + 30 <= zip.size() && loadLe32(zip.data() + at) == 0x04034b50) {
        Member m;
        m.flags = loadLe16(zip.data() + at + 6);
        m.method = loadLe16(zip.data() + at + 8);
        m.crc = loadLe32(zip.data() + at + 14);
        uint64_t csize = loadLe32(zip.data() + at + 18);
        m.size = loadLe32(zip.data() + at + 22);
        size_t nameLen = loadLe16(zip.data() + at + 26), extraLen = loadLe16(zip.data() + at + 28);
        m.name = zip.substr(at + 30, nameLen);
        size_t start = at + 30 + nameLen + extraLen;
        EXPECT_EQ(m.flags & 0x0008, 0) << "data descriptor in " << m.name;
        m.data = zip.substr(start, csize);
        at = start + csize;
        out.push_back(std::move(m));
    }
    return out;
}

uint32_t crcOf(const std::string &s)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(s.data()), static_cast<uInt>(s.size())));
}

DecodeStatus decodeMember(const Member &m, MemorySink &out, size_t chunk = 4096)
{
    MemorySource in(m.data, chunk);
    return decodeLegacyMember(m.method, m.flags, in, m.size, out);
}

std::string corpus(const std::string &rel)
{
    return readFile(std::string(QVO_CORPUS_DIR) + "/" + rel);
}

} // namespace

TEST(ZipLegacyDecoders, CorpusMembersDecodeToTheirCrc)
{
    struct Case {
        const char *path;
        uint16_t method; // of the first member
    };
    const Case cases[] = {
        {"zip/zip2/legacy/shrink.zip", kMethodShrink},
        {"zip/zip2/legacy/reduce.zip", 5},
        {"zip/zip2/legacy/implode.zip", kMethodImplode},
        {"zip/dotnet-runtime-assets/compat/deflate64.zip", kMethodDeflate64},
    };
    std::vector<std::string> firstTexts;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<Member> members = localMembers(corpus(c.path));
        ASSERT_FALSE(members.empty());
        EXPECT_EQ(members[0].method, c.method);
        for (const Member &m : members) {
            if (!isLegacyMethod(m.method))
                continue;
            SCOPED_TRACE(m.name);
            MemorySink out;
            // Odd chunk sizes make the bit reader refill mid-code.
            ASSERT_EQ(decodeMember(m, out, 7), DecodeStatus::Ok);
            EXPECT_EQ(out.bytes.size(), m.size);
            EXPECT_EQ(crcOf(out.bytes), m.crc);
            if (m.size == 1092)
                firstTexts.push_back(out.bytes);
        }
    }
    // The three PKZIP 1.x archives hold the same text.
    ASSERT_EQ(firstTexts.size(), 3u);
    EXPECT_EQ(firstTexts[0], firstTexts[1]);
    EXPECT_EQ(firstTexts[0], firstTexts[2]);
}

TEST(ZipLegacyDecoders, Deflate64FromSevenZipWithFarMatchesAndLongLengths)
{
    ASSERT_TRUE(qvo::test::haveTool("7zz"));
    TempDir dir;
    // Random blocks repeated 40 to 60 KiB later (beyond Deflate's 32 KiB)
    // and long runs (beyond Deflate's 258-byte matches).
    std::mt19937 rng(7);
    std::string data;
    std::vector<std::string> blocks;
    for (int i = 0; i < 8; ++i) {
        std::string b(5000, '\0');
        for (char &ch : b)
            ch = static_cast<char>(rng());
        blocks.push_back(b);
    }
    for (int round = 0; round < 6; ++round) {
        for (const std::string &b : blocks)
            data += b;
        data += std::string(70000, static_cast<char>('a' + round));
    }
    qvo::test::writeFile(dir / "in.bin", data);
    ASSERT_EQ(runCommand("cd " + sh(dir.path()) + " && 7zz a -tzip -mm=Deflate64 -mx=9 out.zip in.bin >/dev/null"), 0);
    std::vector<Member> members = localMembers(readFile(dir / "out.zip"));
    ASSERT_EQ(members.size(), 1u);
    ASSERT_EQ(members[0].method, kMethodDeflate64);
    MemorySink out;
    ASSERT_EQ(decodeMember(members[0], out), DecodeStatus::Ok);
    EXPECT_TRUE(out.bytes == data);
}

TEST(ZipLegacyDecoders, DamagedInputFailsWithinTheDeclaredSize)
{
    const char *paths[] = {"zip/zip2/legacy/shrink.zip", "zip/zip2/legacy/reduce.zip", "zip/zip2/legacy/implode.zip",
                           "zip/dotnet-runtime-assets/compat/deflate64.zip"};
    std::mt19937 rng(11);
    for (const char *path : paths) {
        SCOPED_TRACE(path);
        std::vector<Member> members = localMembers(corpus(path));
        ASSERT_FALSE(members.empty());
        Member m = members[0];
        // Cut short: never Ok.
        for (size_t cut : {size_t(0), size_t(1), m.data.size() / 3, m.data.size() - 1}) {
            Member t = m;
            t.data.resize(cut);
            MemorySink out;
            EXPECT_NE(decodeMember(t, out), DecodeStatus::Ok) << "cut at " << cut;
            EXPECT_LE(out.bytes.size(), m.size);
        }
        // Flipped bytes: whatever comes out stays within the size, and Ok
        // only with the right content.
        for (int trial = 0, trials = m.size > 100000 ? 20 : 200; trial < trials; ++trial) {
            Member t = m;
            for (int k = 0; k < 3; ++k)
                t.data[rng() % t.data.size()] ^= static_cast<char>(1 + rng() % 255);
            MemorySink out;
            DecodeStatus s = decodeMember(t, out);
            EXPECT_LE(out.bytes.size(), m.size);
            if (s == DecodeStatus::Ok) {
                EXPECT_EQ(out.bytes.size(), m.size);
            }
        }
        // Noise of every method, with a huge declared size: ends without
        // hanging once the input runs out.
        for (uint16_t method : {uint16_t(1), uint16_t(2), uint16_t(5), uint16_t(6), uint16_t(9)}) {
            std::string noise(2000, '\0');
            for (char &ch : noise)
                ch = static_cast<char>(rng());
            Member t{"noise", method, 0x0006, 0, 1ull << 40, noise};
            MemorySink out;
            EXPECT_NE(decodeMember(t, out), DecodeStatus::Ok);
            EXPECT_LT(out.bytes.size(), 64u << 20) << "method " << method;
        }
    }
}

TEST(ZipLegacyDecoders, RefusingSinkStopsDecoding)
{
    std::vector<Member> members = localMembers(corpus("zip/dotnet-runtime-assets/compat/deflate64.zip"));
    auto big = std::max_element(members.begin(), members.end(),
                                [](const Member &a, const Member &b) { return a.size < b.size; });
    ASSERT_GT(big->size, 1u << 20);
    MemorySink out;
    out.refuseAfter = 100000;
    EXPECT_EQ(decodeMember(*big, out), DecodeStatus::OutputStopped);
    EXPECT_LE(out.bytes.size(), 100000u);
}
