// Archives that need ZIP64 for real: a member over 4 GiB and more than
// 65,535 entries.  Slow and disk-hungry, so skipped in the sanitizer run.
#include "zip32j_test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <fstream>

using namespace qvo::test;
using namespace qvo::test::zip32j;
using namespace qvo::archivers;

namespace {

std::string tail(const fs::path &p, size_t n)
{
    std::ifstream in(p, std::ios::binary);
    in.seekg(-static_cast<std::streamoff>(n), std::ios::end);
    std::string s(n, '\0');
    in.read(s.data(), static_cast<std::streamsize>(n));
    return s;
}

bool hasZip64End(const fs::path &zip)
{
    // ZIP64 end record (56 bytes) and locator (20) precede the classic end record.
    std::string t = tail(zip, 22 + 20 + 56);
    return t.compare(0, 4, "PK\x06\x06") == 0 && t.compare(56, 4, "PK\x06\x07") == 0;
}

} // namespace

TEST(Zip32JHeavy, MemberOverFourGiB)
{
    QVO_SKIP_IF_HEAVY();
    ASSERT_TRUE(zipLibrary().loaded());
    TempDir tmp;
    fs::path src = tmp / "src";
    fs::create_directories(src);
    const uint64_t size = (uint64_t(4) << 30) + 4;
    {
        // Sparse: 4 GiB of zeros cost no disk, the tail marks the end.
        std::ofstream f(src / "big.bin", std::ios::binary);
        f.seekp(static_cast<std::streamoff>(size - 4));
        f << "tail";
    }
    writeFile(src / "z.txt", "after the big one\n");
    setTime(src / "big.bin", 1600000001);
    fs::path zip = tmp / "big.zip";
    ASSERT_EQ(zipLibrary().run(src, "-r -q -1 \"" + zip.string() + "\" *.*"), kOk);

    std::string log;
    EXPECT_EQ(runCommand("unzip -tq " + sh(zip), &log), 0) << log;
    EXPECT_EQ(runCommand("7zz t " + sh(zip), &log), 0) << log;
    EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
    EXPECT_NE(log.find(std::to_string(size + 18)), std::string::npos) << log; // total size
    EXPECT_EQ(runCommand("bsdtar -tvf " + sh(zip), &log), 0) << log;
    EXPECT_NE(log.find(std::to_string(size)), std::string::npos) << log;
    EXPECT_EQ(runCommand("bsdtar -xOf " + sh(zip) + " z.txt", &log), 0) << log;
    EXPECT_EQ(log, "after the big one\n");
    // 4 GiB + 4 of zeros and "tail": the CRC the readers checked is the right one.
    EXPECT_EQ(runCommand("unzip -Zv " + sh(zip) + " big.bin | grep -i 'crc'", &log), 0);
    EXPECT_EQ(fileCrc(src / "big.bin"), std::stoul(log.substr(log.rfind(' ') + 1), nullptr, 16)) << log;
}

TEST(Zip32JHeavy, SeventyThousandEntries)
{
    QVO_SKIP_IF_HEAVY();
    ASSERT_TRUE(zipLibrary().loaded());
    TempDir tmp;
    fs::path src = tmp / "src";
    const int folders = 70, perFolder = 1000;
    for (int d = 0; d < folders; ++d) {
        fs::path dir = src / ("d" + std::to_string(d));
        fs::create_directories(dir);
        for (int i = 0; i < perFolder; ++i)
            std::ofstream(dir / ("f" + std::to_string(i) + ".txt")) << d << "/" << i << "\n";
    }
    fs::path zip = tmp / "many.zip";
    ASSERT_EQ(zipLibrary().run(src, "-r -q -6 \"" + zip.string() + "\" *.*"), kOk);
    EXPECT_TRUE(hasZip64End(zip));

    std::string log;
    EXPECT_EQ(runCommand("unzip -tq " + sh(zip), &log), 0) << log.substr(0, 2000);
    EXPECT_EQ(runCommand("7zz t " + sh(zip), &log), 0) << log.substr(0, 2000);
    EXPECT_NE(log.find("Files: 70000"), std::string::npos) << log;
    EXPECT_NE(log.find("Folders: 70"), std::string::npos) << log;
    EXPECT_EQ(runCommand("bsdtar -tf " + sh(zip) + " | wc -l", &log), 0);
    EXPECT_EQ(std::stoi(log), folders * perFolder + folders);
    // The last member lies past the 65,535th central directory record.
    EXPECT_EQ(runCommand("bsdtar -xOf " + sh(zip) + " d69/f999.txt", &log), 0) << log;
    EXPECT_EQ(log, "69/999\n");
}
