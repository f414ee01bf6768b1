#include "formats/readers.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using qvo::formats::shared::ArchiveFamily;
using qvo::formats::readerName;

namespace {

fs::path corpus(const std::string &relative)
{
    return fs::path(QVO_CORPUS_DIR) / relative;
}

std::string contains(ArchiveFamily family, const fs::path &archive, const std::string &part)
{
    const std::string name = readerName(family, archive);
    return name.find(part) != std::string::npos ? "" : name;
}

} // namespace

// Which reader takes which archive: the cases where more than one could.
TEST(Readers, EachArchiveGoesToTheReaderThatDecodesIt)
{
    const fs::path implode = corpus("zip/zip2/legacy/implode.zip");
    const fs::path plainZip = corpus("zip/zip2/files_and_dirs.zip");
    const fs::path nulInName = corpus("zip/zip2/zip64_magic_in_filename_3.zip");
    const fs::path rar3 = corpus("rar/rarfile/rar3-subdirs.rar");
    const fs::path rar5 = corpus("rar/rarfile/rar5-crc.rar");
    for (const fs::path &p : {implode, plainZip, nulInName, rar3, rar5})
        ASSERT_TRUE(fs::exists(p)) << p;

    EXPECT_EQ(contains(ArchiveFamily::Zip, implode, "our reader"), "");
    EXPECT_EQ(contains(ArchiveFamily::Many, implode, "our reader"), "");
    EXPECT_EQ(contains(ArchiveFamily::Zip, nulInName, "our reader"), "");
    EXPECT_EQ(contains(ArchiveFamily::Zip, plainZip, "libarchive"), "");
    EXPECT_EQ(contains(ArchiveFamily::Many, plainZip, "libarchive"), "");
    EXPECT_EQ(contains(ArchiveFamily::Rar, rar3, "RAR 1.5-4: our reader"), "");
    EXPECT_EQ(contains(ArchiveFamily::Rar, rar5, "RAR 5: libarchive"), "");
    EXPECT_EQ(contains(ArchiveFamily::Lha, plainZip, "lhasa"), "");
    EXPECT_EQ(contains(ArchiveFamily::Cab, plainZip, "libmspack"), "");
    EXPECT_EQ(contains(ArchiveFamily::Arj, plainZip, "ARJ: our reader"), "");
}

// 7-zip32 reads other formats first: a file that starts as one of them is
// not taken for the ZIP archive it may hold, while unzip32 still reads the
// ZIP inside.
TEST(Readers, ZipInsideAnotherFormatStaysWithLibarchiveFor7Zip32)
{
    qvo::test::TempDir dir;
    const fs::path wrapped = dir / "wrapped.bin";
    {
        std::ifstream in(corpus("zip/zip2/legacy/implode.zip"), std::ios::binary);
        std::ofstream out(wrapped, std::ios::binary);
        out << "Rar!" << std::string(60, '\0') << in.rdbuf();
    }
    EXPECT_EQ(contains(ArchiveFamily::Many, wrapped, "libarchive"), "");
    EXPECT_EQ(contains(ArchiveFamily::Zip, wrapped, "our reader"), "");
}
