// -lh3- on the one real member we have (UNLHA32's lh3.lzh: its CRC is the
// reference, as no other reader decodes the method) and on damaged copies.
#include "codecs/lha/lh3_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace qvo::codecs;
using qvo::test::readFile;

namespace {

class MemorySource final : public zip::ByteSource {
public:
    explicit MemorySource(std::string_view data) : data_(data) {}
    size_t read(uint8_t *buf, size_t cap) override
    {
        size_t n = std::min({cap, size_t(5), data_.size() - pos_}); // small reads on purpose
        std::memcpy(buf, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

class MemorySink final : public zip::ByteSink {
public:
    std::string bytes;
    bool write(const uint8_t *data, size_t size) override
    {
        bytes.append(reinterpret_cast<const char *>(data), size);
        return true;
    }
};

uint16_t lhaCrc(const std::string &data)
{
    uint16_t crc = 0;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

uint64_t le(const std::string &b, size_t at, int n)
{
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v |= uint64_t(static_cast<unsigned char>(b[at + static_cast<size_t>(i)])) << (8 * i);
    return v;
}

struct Lh3Member {
    std::string data;
    uint64_t size;
    uint16_t crc;
};

// The single level-2 member of lh3.lzh.
Lh3Member corpusMember()
{
    std::string a = readFile(std::string(QVO_CORPUS_DIR) + "/lzh/lhasa/unlha32/lh3.lzh");
    EXPECT_EQ(a.substr(2, 5), "-lh3-");
    EXPECT_EQ(a[20], 2);
    size_t header = le(a, 0, 2);
    return {a.substr(header, le(a, 7, 4)), le(a, 11, 4), static_cast<uint16_t>(le(a, 21, 2))};
}

} // namespace

TEST(Lh3Decoder, CorpusMemberMatchesItsCrc)
{
    Lh3Member m = corpusMember();
    MemorySource in(m.data);
    MemorySink out;
    ASSERT_EQ(lha::decodeLh3(in, m.size, out), zip::DecodeStatus::Ok);
    EXPECT_EQ(out.bytes.size(), m.size);
    EXPECT_EQ(lhaCrc(out.bytes), m.crc);
    EXPECT_EQ(out.bytes.rfind("The MIT License", 0), 0u);
}

TEST(Lh3Decoder, DamagedMemberNeverPassesItsCrc)
{
    Lh3Member m = corpusMember();
    std::mt19937 rng(5);
    for (size_t cut : {size_t(0), size_t(3), m.data.size() / 2, m.data.size() - 1}) {
        MemorySource in(std::string_view(m.data).substr(0, cut));
        MemorySink out;
        EXPECT_NE(lha::decodeLh3(in, m.size, out), zip::DecodeStatus::Ok) << "cut at " << cut;
        EXPECT_LE(out.bytes.size(), m.size);
    }
    MemorySource whole(m.data);
    MemorySink reference;
    ASSERT_EQ(lha::decodeLh3(whole, m.size, reference), zip::DecodeStatus::Ok);
    // A flipped byte either fails, or passes the CRC only with the same
    // text (a flip in the padding after the last code).
    for (int trial = 0; trial < 300; ++trial) {
        std::string d = m.data;
        d[rng() % d.size()] ^= static_cast<char>(1 + rng() % 255);
        MemorySource in(d);
        MemorySink out;
        zip::DecodeStatus s = lha::decodeLh3(in, m.size, out);
        EXPECT_LE(out.bytes.size(), m.size);
        if (s == zip::DecodeStatus::Ok && lhaCrc(out.bytes) == m.crc) {
            EXPECT_EQ(out.bytes, reference.bytes);
        }
    }
}
