// Volume sets and solid archives through our RAR 1.5-4 reader: members
// split across volumes (with the packed CRC of each part), missing and
// damaged volumes, and solid state carried past members that are refused
// or fail.
#include "archivers/include/qvo_archiver.h"
#include "extract/extract_sink.h"
#include "formats/rar/rar4_reader.h"
#include "rar4_test_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace qvo::archivers;
using namespace qvo::extract;
using namespace qvo::formats::rar;
using namespace qvo::test;
using namespace qvo::test::rar4build;

namespace {

const fs::path kCorpus = fs::path(QVO_CORPUS_DIR) / "rar";

int32_t extractTo(const fs::path &archive, const fs::path &dest, bool overwrite = false)
{
    ExtractOptions o;
    o.destination = dest;
    o.overwrite = overwrite;
    ExtractSink sink(o);
    int32_t r = readRar4(archive, "", sink);
    if (r != kOk)
        sink.recordFailure(r);
    int32_t s = sink.finish();
    return r != kOk ? r : s;
}

// "set.partN.rar": `whole` split over three volumes after one small member,
// so the split member starts in the first volume and ends in the third.
void writeSplitSet(const fs::path &dir, const std::string &whole)
{
    const uint16_t first = rar4::kMainVolume | rar4::kMainNewNaming | rar4::kMainFirstVolume;
    const uint16_t later = rar4::kMainVolume | rar4::kMainNewNaming;
    std::string p1 = whole.substr(0, 100), p2 = whole.substr(100, 200), p3 = whole.substr(300);
    auto u = static_cast<uint32_t>(whole.size());
    writeFile(dir / "set.part1.rar",
              buildRar4({Member("small.txt", "small"),
                         Member("big.bin", p1, rar4::kFileSplitAfter, rar4::kHostUnix, 0100644, crcOf(p1), u)},
                        first, rar4::kEndNextVolume));
    writeFile(dir / "set.part2.rar",
              buildRar4({Member("big.bin", p2, rar4::kFileSplitBefore | rar4::kFileSplitAfter, rar4::kHostUnix,
                                0100644, crcOf(p2), u)},
                        later, rar4::kEndNextVolume));
    writeFile(dir / "set.part3.rar",
              buildRar4({Member("big.bin", p3, rar4::kFileSplitBefore, rar4::kHostUnix, 0100644, crcOf(whole), u),
                         Member("after.txt", "after")},
                        later, 0));
}

std::string sample(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return s;
}

TEST(Rar4Volumes, SplitMemberIsJoinedAcrossVolumes)
{
    TempDir src, out;
    std::string whole = sample(1000);
    writeSplitSet(src.path(), whole);
    ASSERT_EQ(extractTo(src / "set.part1.rar", out.path()), kOk);
    EXPECT_EQ(readFile(out / "small.txt"), "small");
    EXPECT_EQ(readFile(out / "big.bin"), whole);
    EXPECT_EQ(readFile(out / "after.txt"), "after");
}

TEST(Rar4Volumes, MissingOrDamagedVolumesFailClearly)
{
    std::string whole = sample(1000);
    {
        // The last volume is gone: the split member fails, the rest stays.
        TempDir src, out;
        writeSplitSet(src.path(), whole);
        fs::remove(src / "set.part3.rar");
        EXPECT_EQ(extractTo(src / "set.part1.rar", out.path()), kErrMissingVolume);
        EXPECT_EQ(readFile(out / "small.txt"), "small");
        EXPECT_FALSE(fs::exists(out / "big.bin"));
    }
    {
        // A later volume given alone.
        TempDir src, out;
        writeSplitSet(src.path(), whole);
        EXPECT_EQ(extractTo(src / "set.part2.rar", out.path()), kErrMissingVolume);
    }
    {
        // A byte of the middle part changed: its packed CRC tells, before the
        // member is joined.
        TempDir src, out;
        writeSplitSet(src.path(), whole);
        std::string p2 = readFile(src / "set.part2.rar");
        p2[p2.size() - 30] ^= 0x40; // inside the data, before the end block
        writeFile(src / "set.part2.rar", p2);
        EXPECT_EQ(extractTo(src / "set.part1.rar", out.path()), kErrCorrupt);
        EXPECT_FALSE(fs::exists(out / "big.bin"));
        EXPECT_EQ(readFile(out / "small.txt"), "small");
    }
}

TEST(Rar4Volumes, CorpusSetsOfBothNamingSchemes)
{
    // Old naming (.rar, .r00, .r01) and new (.partN.rar), a member split
    // over all three volumes; folders and links spread over ten volumes.
    TempDir a, b, c;
    ASSERT_EQ(extractTo(kCorpus / "rarfile/rar3-old.rar", a.path()), kOk);
    EXPECT_EQ(fs::file_size(a / "vols/bigfile.txt"), 205000u);
    EXPECT_EQ(fs::file_size(a / "vols/smallfile.txt"), 2050u);
    ASSERT_EQ(extractTo(kCorpus / "rarfile/rar3-vols.part1.rar", b.path()), kOk);
    EXPECT_EQ(readFile(a / "vols/bigfile.txt"), readFile(b / "vols/bigfile.txt"));
    ASSERT_EQ(extractTo(kCorpus / "libarchive/test_rar_multivolume_uncompressed_files.part01.rar", c.path()), kOk);
    EXPECT_TRUE(fs::is_directory(c / "testdir"));
    EXPECT_TRUE(fs::is_symlink(c / "testsymlink"));
}

TEST(Rar4Solid, StateCarriesPastRefusedAndFailingMembers)
{
    // Solid archive: the second member is decoded from the first member's
    // window and tables.  Refusing the first member (it exists and overwrite
    // is off) must not break the second.
    fs::path solid = kCorpus / "rarfile/rar3-solid.rar";
    TempDir all;
    ASSERT_EQ(extractTo(solid, all.path()), kOk);
    std::string second = readFile(all / "stest2.txt");
    ASSERT_FALSE(second.empty());

    TempDir partial;
    writeFile(partial / "stest1.txt", "keep me");
    EXPECT_EQ(extractTo(solid, partial.path()), kErrExists);
    EXPECT_EQ(readFile(partial / "stest1.txt"), "keep me");
    EXPECT_EQ(readFile(partial / "stest2.txt"), second);

    // Encrypted solid members: every member fails as encrypted, nothing is
    // written, and nothing is decoded from a state never built.
    TempDir enc;
    EXPECT_EQ(extractTo(kCorpus / "libarchive/test_read_format_rar4_solid_encrypted.rar", enc.path()),
              kErrEncrypted);
    EXPECT_TRUE(fs::is_empty(enc.path()));

    // Partly encrypted: the plain members still come out.
    TempDir part;
    EXPECT_EQ(extractTo(kCorpus / "libarchive/test_read_format_rar4_encrypted.rar", part.path()), kErrEncrypted);
    EXPECT_TRUE(fs::exists(part / "a.txt"));
    EXPECT_TRUE(fs::exists(part / "c.txt"));
    EXPECT_FALSE(fs::exists(part / "b.txt"));
    EXPECT_FALSE(fs::exists(part / "d.txt"));
}

} // namespace
