// RAR 5 archives whose headers libarchive 3.6 misreads on its own: bytes
// after the main header's fields and blocks of unknown types.
// The archives are built here byte by byte around one stored file.
#include "archivers/include/qvo_archiver.h"
#include "base/endian.h"
#include "extract/extract_sink.h"
#include "formats/shared/libarchive_adapter.h"
#include "formats/rar/rar5_blocks.h"
#include "formats/rar/rar5_header_cleanup.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace fs = std::filesystem;
using namespace qvo::archivers;
using namespace qvo::extract;
using namespace qvo::formats::rar;
using namespace qvo::formats::shared;
using namespace qvo::test;

namespace {

const std::string kContent = "hello from a stored RAR 5 member\n";

std::string le32(uint32_t v)
{
    std::string s;
    qvo::base::appendLe32(s, v);
    return s;
}

// CRC, size and header, from the header's own bytes (type onwards).
std::string block(const std::string &header)
{
    std::string sized;
    rar5::appendVint(sized, header.size());
    sized += header;
    uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(sized.data()), static_cast<uInt>(sized.size()));
    return le32(static_cast<uint32_t>(crc)) + sized;
}

std::string vints(std::initializer_list<uint64_t> values)
{
    std::string s;
    for (uint64_t v : values)
        rar5::appendVint(s, v);
    return s;
}

// Main header: archive flags 0, a locator record, then `trailing` bytes.
std::string mainHeader(const std::string &trailing)
{
    std::string locator = vints({1, 1}) + vints({0}); // type locator, quick open at 0
    std::string extra = vints({locator.size()}) + locator;
    return block(vints({rar5::kTypeMain, rar5::kFlagExtra, extra.size() + trailing.size(), 0}) + extra + trailing);
}

std::string storedFile(const std::string &name, const std::string &data)
{
    uint32_t crc = static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef *>(data.data()),
                                               static_cast<uInt>(data.size())));
    std::string h = vints({rar5::kTypeFile, rar5::kFlagData, data.size()});
    h += vints({0x0006, data.size(), 0100644});    // file flags: mtime, CRC; size; mode
    h += le32(1704164645) + le32(crc);             // 2024-01-02 03:04:05 UTC
    h += vints({0, 1, name.size()}) + name;        // stored, Unix host, name
    return block(h) + data;
}

std::string endBlock()
{
    return block(vints({rar5::kTypeEnd, 0, 0}));
}

std::string archive(const std::string &mainBlock, const std::string &between)
{
    return std::string(rar5::kMarker, rar5::kMarkerSize) + mainBlock + between
        + storedFile("dir/hello.txt", kContent) + endBlock();
}

struct Result {
    int32_t code = -1;
    std::string content;
};

Result extract(const TempDir &dir, const std::string &bytes)
{
    fs::path file = dir / "test.rar";
    writeFile(file, bytes);
    fs::create_directories(dir / "out");
    ExtractOptions o;
    o.destination = dir / "out";
    ExtractSink sink(o);
    int32_t r = readWithLibarchive(file, ArchiveFamily::Rar, nullptr, "", sink);
    if (r != kOk)
        sink.recordFailure(r);
    Result out;
    out.code = sink.finish();
    if (fs::exists(dir / "out/dir/hello.txt"))
        out.content = readFile(dir / "out/dir/hello.txt");
    return out;
}

} // namespace

TEST(Rar5HeaderCleanup, PlainArchivesAreReadAsStored)
{
    TempDir dir;
    std::string plain = archive(mainHeader(""), "");
    writeFile(dir / "plain.rar", plain);
    EXPECT_TRUE(rar5CleanLayout(dir / "plain.rar").empty());
    Result r = extract(dir, plain);
    EXPECT_EQ(r.code, kOk);
    EXPECT_EQ(r.content, kContent);
}

TEST(Rar5HeaderCleanup, BytesAfterTheMainHeaderFieldsAndSkippableBlocks)
{
    std::string skippable = block(vints({0x30, rar5::kFlagSkipIfUnknown | rar5::kFlagData, 5}) + "xx") + "12345";
    std::string unknown = block(vints({0x31, 0}) + "yy");
    for (const auto &[main, between] : {std::pair{mainHeader(std::string(8, '\0')), std::string()},
                                        std::pair{mainHeader(""), skippable},
                                        std::pair{mainHeader(""), unknown},
                                        std::pair{mainHeader("abc"), skippable + unknown + skippable}}) {
        TempDir dir;
        std::string bytes = archive(main, between);
        writeFile(dir / "a.rar", bytes);
        std::vector<ArchivePiece> layout = rar5CleanLayout(dir / "a.rar");
        EXPECT_FALSE(layout.empty());
        Result r = extract(dir, bytes);
        EXPECT_EQ(r.code, kOk);
        EXPECT_EQ(r.content, kContent);
    }
}

TEST(Rar5HeaderCleanup, DamageIsStillReported)
{
    // A damaged header after the one we rebuild, and data that does not
    // match its CRC: both fail, nothing half-written.
    std::string bytes = archive(mainHeader(std::string(4, '\0')), "");
    bytes[bytes.size() - kContent.size() - 10] ^= 0x55; // the file header's name
    TempDir dir;
    Result r = extract(dir, bytes);
    EXPECT_NE(r.code, kOk);
    EXPECT_TRUE(r.content.empty());

    std::string damaged = archive(mainHeader(std::string(4, '\0')), "");
    damaged[damaged.size() - 20] ^= 0x55; // inside the stored data: CRC mismatch
    TempDir dir2;
    Result d = extract(dir2, damaged);
    EXPECT_NE(d.code, kOk);
    EXPECT_FALSE(fs::exists(dir2 / "out/dir/hello.txt"));
}
