// ARJ's methods on data Debian's `arj` packs here, handed over in small
// pieces; and on cut, made-up and random data, which must end in an error
// without ever giving more than the declared size.
#include "codecs/arj/arj_decoder.h"
#include "formats/arj/arj_members.h"
#include "formats/arj/arj_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace fs = std::filesystem;
using namespace qvo::test;
using qvo::base::DecodeStatus;
using qvo::base::MemorySource;
using qvo::codecs::arj::decodeArj;

namespace {

class StringSink final : public qvo::base::ByteSink {
public:
    bool write(const uint8_t *data, size_t size) override
    {
        bytes.append(reinterpret_cast<const char *>(data), size);
        return true;
    }
    std::string bytes;
};

struct Packed {
    std::string data;
    uint8_t method = 0;
};

// `content` as arj packs it with `method`.
Packed packWithArj(const std::string &content, int method)
{
    TempDir dir;
    writeFile(dir / "f.bin", content);
    arj::runArj(dir.path(), "a -m" + std::to_string(method) + " f.arj f.bin");
    qvo::formats::arj::ArjCatalogue catalogue;
    EXPECT_EQ(qvo::formats::arj::readArjCatalogue(dir / "f.arj", catalogue), 0);
    EXPECT_EQ(catalogue.members.size(), 1u);
    if (catalogue.members.size() != 1)
        return {};
    const auto &part = catalogue.members[0].parts[0];
    return {readFile(dir / "f.arj").substr(part.dataOffset, part.compressedSize), part.method};
}

// Bytes from a string of '0' and '1', first bit highest, zero-padded.
std::string bits(const std::string &ones)
{
    std::string out((ones.size() + 7) / 8 + 2, '\0');
    for (size_t i = 0; i < ones.size(); ++i)
        if (ones[i] == '1')
            out[i / 8] = static_cast<char>(out[i / 8] | (0x80 >> (i % 8)));
    return out;
}

DecodeStatus decode(uint8_t method, std::string_view data, uint64_t size, StringSink &out, size_t piece = SIZE_MAX)
{
    MemorySource in(data, piece);
    return decodeArj(method, in, size, out);
}

std::string sample()
{
    std::string s;
    for (int i = 0; s.size() < 150000; ++i)
        s += "entry " + std::to_string(i * 31 % 977) + (i % 3 ? " text\n" : " other text\n");
    s += randomBytes(20000, 7);
    s += std::string(5000, 'z');
    return s;
}

TEST(ArjDecoders, ArjMadeDataDecodesInSmallPiecesAndStopsAtTheSize)
{
    const std::string content = sample();
    for (int method = 0; method <= 4; ++method) {
        SCOPED_TRACE("method " + std::to_string(method));
        const Packed p = packWithArj(content, method);
        ASSERT_EQ(p.method, method);
        StringSink whole, half;
        EXPECT_EQ(decode(p.method, p.data, content.size(), whole, 7), DecodeStatus::Ok);
        EXPECT_EQ(whole.bytes, content);
        EXPECT_EQ(decode(p.method, p.data, content.size() / 2, half), DecodeStatus::Ok);
        EXPECT_EQ(half.bytes, content.substr(0, content.size() / 2));
        // Cut short: an error, and never more than the size.
        for (size_t cut : {size_t(0), size_t(1), p.data.size() / 3, p.data.size() - 40}) {
            StringSink out;
            EXPECT_NE(decode(p.method, p.data.substr(0, cut), content.size(), out), DecodeStatus::Ok) << cut;
            EXPECT_LE(out.bytes.size(), content.size());
        }
    }
}

TEST(ArjDecoders, MadeUpAndRandomDataFailWithinTheSize)
{
    // Method 4: a match before any byte was written.
    StringSink early;
    EXPECT_EQ(decode(4, bits("100" "0000000000"), 100, early), DecodeStatus::Corrupt);
    // Methods 1 to 3: a code length code with three 1-bit codes.
    StringSink crowded;
    EXPECT_EQ(decode(1, bits("0000000000000001" "00011" "001" "001" "001" "00"), 100, crowded), DecodeStatus::Corrupt);
    StringSink unknown;
    EXPECT_EQ(decode(5, "data", 4, unknown), DecodeStatus::Unsupported);

    constexpr uint64_t kDeclared = 1 << 20;
    for (unsigned seed = 0; seed < 300; ++seed) {
        const std::string noise = randomBytes(16 + seed * 13 % 3000, seed);
        for (uint8_t method : {1, 4}) {
            StringSink out;
            EXPECT_NE(decode(method, noise, kDeclared, out), DecodeStatus::Ok) << int(method) << " seed " << seed;
            EXPECT_LE(out.bytes.size(), kDeclared);
        }
    }
}

} // namespace
