// The machinery every LZ decoder of ours shares, against plain models of
// what it must do: the sized output (ring flushes, the byte before the
// start, the declared size), the end rules of the MSB-first reader, and the
// table path of prefix codes in both bit orders.
#include "codecs/lz/lsb_bit_reader.h"
#include "codecs/lz/msb_bit_reader.h"
#include "codecs/lz/prefix_code.h"
#include "codecs/lz/sized_output.h"
#include "codecs/rar/rar_overrun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace qvo::codecs;
using qvo::base::DecodeStatus;

namespace {

class StringSink final : public qvo::base::ByteSink {
public:
    explicit StringSink(size_t refuseAfter = SIZE_MAX) : refuseAfter_(refuseAfter) {}
    bool write(const uint8_t *data, size_t size) override
    {
        if (bytes.size() + size > refuseAfter_)
            return false;
        bytes.append(reinterpret_cast<const char *>(data), size);
        return true;
    }
    std::string bytes;

private:
    size_t refuseAfter_;
};

// What a member decodes to, byte by byte: history before the first byte
// reads as `fill`, nothing past `limit` is kept.
struct Model {
    std::string out;
    uint64_t limit;
    int fill;
    bool overflowed = false;
    void put(char c)
    {
        if (out.size() >= limit)
            overflowed = true;
        else
            out += c;
    }
    bool copy(uint64_t dist, uint64_t len, uint64_t window)
    {
        if (dist == 0 || dist > window)
            return false;
        if (len > 0 && fill < 0 && dist > out.size())
            return false;
        for (uint64_t i = 0; i < len && !overflowed; ++i)
            put(dist > out.size() ? static_cast<char>(fill) : out[out.size() - dist]);
        return true;
    }
};

TEST(SizedOutput, RandomPutsAndCopiesMatchTheByteByByteModel)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
        const size_t window = size_t{16} << (rng() % 4); // rings of 16 to 128 bytes wrap often
        const int fill = round % 3 == 0 ? lz::SizedOutput::kRefuseBeforeStart : round % 3 == 1 ? 0 : ' ';
        const uint64_t limit = rng() % 600;
        const size_t refuseAfter = round % 5 == 0 ? rng() % 400 : SIZE_MAX;
        StringSink sink(refuseAfter);
        lz::SizedOutput out(sink, window, limit, fill);
        Model model{{}, limit, fill};
        bool refused = false;
        for (int op = 0; op < 120 && !refused; ++op) {
            if (rng() % 3 == 0) {
                char c = static_cast<char>('a' + rng() % 26);
                out.put(static_cast<uint8_t>(c));
                model.put(c);
            } else {
                uint64_t dist = rng() % (window + 2);
                uint64_t len = rng() % (rng() % 4 == 0 ? 3 * window : 12);
                bool ok = out.copy(dist, len);
                ASSERT_EQ(ok, model.copy(dist, len, window)) << "round " << round << " op " << op;
                refused = !ok;
            }
            ASSERT_EQ(out.total(), model.out.size());
            ASSERT_EQ(out.overflowed(), model.overflowed);
        }
        DecodeStatus s = out.finish(DecodeStatus::Ok);
        if (model.out.size() > refuseAfter) {
            EXPECT_EQ(s, DecodeStatus::OutputStopped) << "round " << round;
            EXPECT_EQ(sink.bytes, model.out.substr(0, sink.bytes.size()));
        } else {
            EXPECT_EQ(s, DecodeStatus::Ok) << "round " << round;
            EXPECT_EQ(sink.bytes, model.out) << "round " << round;
        }
    }
}

TEST(MsbBitReader, EndRulesOfLhaAndRar)
{
    const std::string data("\xA5\x0F", 2);
    qvo::base::MemorySource src(data);
    lz::MsbBitReader in(src);
    EXPECT_EQ(in.bits(4), 0xAu);
    EXPECT_EQ(in.bit(), 0u);
    EXPECT_EQ(in.bits(11), 0x50Fu); // the last bits of the data
    EXPECT_FALSE(in.overran());
    EXPECT_EQ(in.bit(), 0u); // zeros past the end
    EXPECT_TRUE(in.overran()) << "LHA: one bit past the end is too many";
    EXPECT_FALSE(rar::overrun(in));
    in.skip(31); // four whole bytes past the end
    EXPECT_FALSE(rar::overrun(in));
    in.skip(8);
    EXPECT_TRUE(rar::overrun(in)) << "RAR: more than four bytes past the end";

    class Failing final : public qvo::base::ByteSource {
    public:
        int64_t read(uint8_t *, size_t) override { return -1; }
    } failing;
    lz::MsbBitReader broken(failing);
    EXPECT_TRUE(broken.overran());
    EXPECT_TRUE(rar::overrun(broken));
}

// Canonical codes of random lengths, written symbol by symbol in the
// stream's bit order; decoding must give the symbols back, through the
// table for short codes and the walk for long ones.
template <class Code, class Reader>
void roundTripCodes(bool msbFirst)
{
    std::mt19937 rng(msbFirst ? 5 : 6);
    for (int round = 0; round < 50; ++round) {
        // A complete code: start from one symbol and split leaves.
        std::vector<uint8_t> lengths{0};
        while (lengths.size() < 2 + rng() % 200) {
            size_t leaf = rng() % lengths.size();
            if (lengths[leaf] >= 15)
                continue;
            ++lengths[leaf];
            lengths.push_back(lengths[leaf]);
        }
        std::shuffle(lengths.begin(), lengths.end(), rng);
        Code code;
        ASSERT_TRUE(code.build(lengths.data(), lengths.size(), true));
        // Canonical codes: by length, then by symbol.
        std::vector<uint32_t> codes(lengths.size());
        uint32_t next = 0;
        for (unsigned len = 1; len <= 16; ++len, next <<= 1)
            for (size_t s = 0; s < lengths.size(); ++s)
                if (lengths[s] == len)
                    codes[s] = next++;
        std::vector<size_t> message;
        std::vector<bool> bits;
        for (int i = 0; i < 300; ++i) {
            size_t s = rng() % lengths.size();
            message.push_back(s);
            for (int b = lengths[s] - 1; b >= 0; --b)
                bits.push_back((codes[s] >> b) & 1u);
        }
        std::string stream((bits.size() + 7) / 8, '\0');
        for (size_t i = 0; i < bits.size(); ++i)
            if (bits[i])
                stream[i / 8] = static_cast<char>(stream[i / 8] | (msbFirst ? 0x80 >> (i % 8) : 1 << (i % 8)));
        qvo::base::MemorySource src(stream);
        Reader in(src);
        for (size_t s : message)
            ASSERT_EQ(code.decode(in), static_cast<int>(s)) << "round " << round;
    }
}

TEST(PrefixCode, TablesOfBothBitOrdersDecodeWhatTheWalkDecodes)
{
    roundTripCodes<lz::LsbPrefixCode, lz::LsbBitReader>(false);
    roundTripCodes<lz::MsbPrefixCode, lz::MsbBitReader>(true);
}

} // namespace
