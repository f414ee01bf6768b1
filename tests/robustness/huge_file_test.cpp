// An archive holding a 5 GiB file: converted to ZIP it must come through
// with a small, bounded memory use; CAB and LHA cannot hold it and must
// say so.  The file is sparse and the source archive is made here, never
// stored.  Heavy: takes a few minutes and about 5 GiB of disk.
#include "robustness_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>

using namespace qvo::test;
using namespace qvo::test::robust;

namespace {

constexpr uint64_t kHugeSize = 5ull << 30;
constexpr long kMemoryLimitKiB = 256 * 1024;

void makeSparse(const fs::path &p, uint64_t size)
{
    fs::create_directories(p.parent_path());
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    // Some data at both ends so the content is not all one byte.
    ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
    ASSERT_EQ(::pwrite(fd, "tail", 4, off_t(size - 4)), 4);
    ::close(fd);
}

} // namespace

TEST(HugeFile, FiveGibibytesConvertToZipInLittleMemoryAndAreRefusedByCabAndLha)
{
    QVO_SKIP_IF_HEAVY();
    TempDir t;
    makeSparse(t / "tree" / "huge.bin", kHugeSize);
    writeFile(t / "tree" / "small.txt", "beside the huge one\n");

    // The source archive, by our Zip32J (a child, so its memory is apart).
    const fs::path source = t / "source.zip";
    ChildResult made = inChild([&] { return compress(Format::Zip, t / "tree", source); });
    ASSERT_TRUE(made.exited);
    ASSERT_EQ(made.result, 0);
    fs::remove_all(t / "tree");

    const fs::path wf = t / "work" / "source_1";
    fs::create_directories(wf);
    ChildResult ex = inChild([&] { return extract(Format::Zip, source, wf); });
    ASSERT_TRUE(ex.exited);
    ASSERT_EQ(ex.result, 0);
    EXPECT_LT(ex.maxRssKiB, kMemoryLimitKiB) << "extraction peak memory";
    std::printf("peak memory: extraction %ld KiB\n", ex.maxRssKiB);
    ASSERT_EQ(fs::file_size(wf / "huge.bin"), kHugeSize);

    const fs::path zip = t / "out" / "source.zip";
    fs::create_directories(zip.parent_path());
    ChildResult toZip = inChild([&] { return compress(Format::Zip, wf, zip); });
    ASSERT_TRUE(toZip.exited);
    EXPECT_EQ(toZip.result, 0);
    EXPECT_LT(toZip.maxRssKiB, kMemoryLimitKiB) << "ZIP packing peak memory";
    std::printf("peak memory: packing to ZIP %ld KiB\n", toZip.maxRssKiB);
    std::string listing;
    EXPECT_EQ(runCommand("unzip -l " + sh(zip), &listing), 0) << listing;
    EXPECT_NE(listing.find("5368709120"), std::string::npos) << listing;
    std::string tail;
    EXPECT_EQ(runCommand("unzip -p " + sh(zip) + " huge.bin | tail -c 4", &tail), 0);
    EXPECT_EQ(tail, "tail");

    for (Format f : {Format::Cab, Format::Lha}) {
        SCOPED_TRACE(extensionOf(f));
        const fs::path target = t / "out" / (std::string("source.") + extensionOf(f));
        ChildResult r = inChild([&] { return compress(f, wf, target); });
        ASSERT_TRUE(r.exited) << "crashed instead of failing";
        EXPECT_NE(r.result, 0);
        EXPECT_EQ(r.result, 0x800B) << "expected the too-large code";
        EXPECT_FALSE(fs::exists(target));
        EXPECT_LT(r.maxRssKiB, kMemoryLimitKiB);
        std::printf("peak memory: refused %s %ld KiB\n", extensionOf(f), r.maxRssKiB);
    }
}
