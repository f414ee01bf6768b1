// -lh2- and -lh3- on the real members we have (UNLHA32's lh2.lzh and
// lh3.lzh, the same text; their CRCs are the reference) and on damaged
// copies.
#include "base/endian.h"
#include "codecs/lha/lh2_decoder.h"
#include "codecs/lha/lh3_decoder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace qvo::codecs;
namespace base = qvo::base;
using qvo::base::loadLe16;
using qvo::base::loadLe32;
using qvo::test::readFile;

namespace {

class MemorySource final : public base::ByteSource {
public:
    explicit MemorySource(std::string_view data) : data_(data) {}
    int64_t read(uint8_t *buf, size_t cap) override
    {
        size_t n = std::min({cap, size_t(5), data_.size() - pos_}); // small reads on purpose
        std::memcpy(buf, data_.data() + pos_, n);
        pos_ += n;
        return static_cast<int64_t>(n);
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

class MemorySink final : public base::ByteSink {
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

struct OldMember {
    std::string data;
    uint64_t size;
    uint16_t crc;
};

using Decoder = base::DecodeStatus (*)(base::ByteSource &, uint64_t, base::ByteSink &);

struct Method {
    const char *name; // "lh2"
    Decoder decode;
};

const Method kMethods[] = {{"lh2", &lha::decodeLh2}, {"lh3", &lha::decodeLh3}};

// The single level-2 member of lh2.lzh or lh3.lzh.
OldMember corpusMember(const std::string &method)
{
    std::string a = readFile(std::string(QVO_CORPUS_DIR) + "/lzh/lhasa/unlha32/" + method + ".lzh");
    EXPECT_EQ(a.substr(2, 5), "-" + method + "-");
    EXPECT_EQ(a[20], 2);
    size_t header = loadLe16(a.data());
    return {a.substr(header, loadLe32(a.data() + 7)), loadLe32(a.data() + 11), loadLe16(a.data() + 21)};
}

std::string decodeAll(const Method &method, const std::string &data, uint64_t size, base::DecodeStatus &status)
{
    MemorySource in(data);
    MemorySink out;
    status = method.decode(in, size, out);
    return out.bytes;
}

} // namespace

TEST(LhaOldMethods, CorpusMembersMatchTheirCrcAndEachOther)
{
    std::vector<std::string> texts;
    for (const Method &method : kMethods) {
        SCOPED_TRACE(method.name);
        OldMember m = corpusMember(method.name);
        base::DecodeStatus status;
        std::string text = decodeAll(method, m.data, m.size, status);
        ASSERT_EQ(status, base::DecodeStatus::Ok);
        EXPECT_EQ(text.size(), m.size);
        EXPECT_EQ(lhaCrc(text), m.crc);
        EXPECT_EQ(text.rfind("The MIT License", 0), 0u);
        texts.push_back(text);
    }
    EXPECT_EQ(texts[0], texts[1]);
}

TEST(LhaOldMethods, DamagedMembersNeverPassTheirCrc)
{
    std::mt19937 rng(5);
    for (const Method &method : kMethods) {
        SCOPED_TRACE(method.name);
        OldMember m = corpusMember(method.name);
        base::DecodeStatus status;
        for (size_t cut : {size_t(0), size_t(3), m.data.size() / 2, m.data.size() - 1}) {
            std::string out = decodeAll(method, m.data.substr(0, cut), m.size, status);
            EXPECT_NE(status, base::DecodeStatus::Ok) << "cut at " << cut;
            EXPECT_LE(out.size(), m.size);
        }
        std::string reference = decodeAll(method, m.data, m.size, status);
        // A flipped byte either fails, or passes the CRC only with the
        // same text (a flip in the padding after the last code).
        for (int trial = 0; trial < 300; ++trial) {
            std::string d = m.data;
            d[rng() % d.size()] ^= static_cast<char>(1 + rng() % 255);
            std::string out = decodeAll(method, d, m.size, status);
            EXPECT_LE(out.size(), m.size);
            if (status == base::DecodeStatus::Ok && lhaCrc(out) == m.crc) {
                EXPECT_EQ(out, reference);
            }
        }
    }
}
