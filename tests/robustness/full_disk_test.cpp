// Conversions onto a volume that fills up: the working folder and the save
// folder lie on a small tmpfs, the sources (larger than it) outside.  Every
// conversion must fail, leave no partial file and no temporary file, keep
// existing targets byte for byte, and a small conversion afterwards must
// work.  Needs root for the mount (CI runs as root).
#include "robustness_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace qvo::test;
using namespace qvo::test::robust;

namespace {

class TmpfsMount {
public:
    TmpfsMount(const fs::path &at, const std::string &size) : at_(at)
    {
        fs::create_directories(at);
        mounted_ = runCommand("mount -t tmpfs -o size=" + size + " qvo-test " + sh(at), &error_) == 0;
    }
    ~TmpfsMount()
    {
        if (mounted_)
            runCommand("umount " + sh(at_));
    }
    bool mounted() const { return mounted_; }
    const std::string &error() const { return error_; }

private:
    fs::path at_;
    bool mounted_ = false;
    std::string error_;
};

// A tree of `files` incompressible files of `each` bytes and a small text.
void makeTree(const fs::path &dir, int files, size_t each)
{
    for (int i = 0; i < files; ++i)
        writeFile(dir / ("part" + std::to_string(i)) / "data.bin", randomBytes(each, unsigned(i + 1)));
    writeFile(dir / "readme.txt", "small text\n");
}

// Files below `dir` whose size is not that of the same file in `source`:
// a partly written member.
std::string partialFiles(const fs::path &dir, const fs::path &source)
{
    std::string out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file())
            continue;
        fs::path rel = fs::relative(it->path(), dir);
        if (!fs::exists(source / rel) || fs::file_size(source / rel) != it->file_size())
            out += rel.string() + " ";
    }
    return out;
}

} // namespace

// qvo-convert with its working root (TMPDIR) and save folder on a 64 MiB
// tmpfs, converting archives small enough for the free-space check but
// holding 48 MiB each: every row fails with "変換失敗", the working root is
// left empty, existing targets keep their bytes, and a small batch
// afterwards converts.
TEST(FullDisk, QvoConvertBatchFailsEveryRowAndStaysUsable)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const fs::path program = fs::path(QVO_BIN_DIR) / "qvo-convert";
    ASSERT_TRUE(fs::exists(program)) << program;
    TempDir t;
    const fs::path disk = t / "disk";
    TmpfsMount mount(disk, "64m");
    ASSERT_TRUE(mount.mounted()) << mount.error();
    const fs::path tmp = disk / "tmp", save = disk / "save";
    fs::create_directories(tmp);
    fs::create_directories(save);

    // 48 MiB of zeros (and a little text) pack into a few kilobytes.
    writeFile(t / "bigtree" / "readme.txt", "small text\n");
    writeFile(t / "bigtree" / "zeros" / "a.bin", std::string(24 << 20, '\0'));
    writeFile(t / "bigtree" / "zeros" / "b.bin", std::string(24 << 20, '\0'));
    makeTree(t / "smalltree", 1, 3000);
    fs::create_directories(t / "in");
    fs::create_directories(t / "small");
    const Format formats[] = {Format::Lha, Format::Zip, Format::Cab};
    std::string bigSources, smallSources;
    for (Format f : formats) {
        const std::string ext = extensionOf(f);
        ASSERT_EQ(compress(f, t / "bigtree", t / "in" / ("big_" + ext + "." + ext)), 0);
        ASSERT_EQ(compress(f, t / "smalltree", t / "small" / ("small_" + ext + "." + ext)), 0);
        bigSources += " " + sh(t / "in" / ("big_" + ext + "." + ext));
        smallSources += " " + sh(t / "small" / ("small_" + ext + "." + ext));
        // Existing targets that a failed conversion must not touch.
        writeFile(save / ("big_" + ext + ".zip"), "existing zip target from " + ext);
        writeFile(save / ("big_" + ext + ".lzh"), "existing lzh target from " + ext);
    }
    const auto saveBefore = snapshot(save);
    // Japanese status words, as the windows show them.
    const std::string env = "LANGUAGE=ja TMPDIR=" + sh(tmp) + " ";

    for (const char *to : {"zip", "lzh", "cab"}) {
        SCOPED_TRACE(std::string("--to ") + to);
        std::string out;
        int rc = runCommand(env + sh(program) + " --to " + to + " --overwrite --same-type --out " + sh(save) +
                                bigSources,
                            &out);
        EXPECT_NE(rc, 0) << out;
        size_t failedRows = 0;
        for (size_t at = out.find("変換失敗"); at != std::string::npos; at = out.find("変換失敗", at + 1))
            ++failedRows;
        EXPECT_EQ(failedRows, std::size(formats)) << out;
        EXPECT_EQ(snapshot(save), saveBefore) << out;
        const fs::path root = tmp / "Qvo";
        EXPECT_TRUE(!fs::exists(root) || fs::is_empty(root)) << "left in the working root: " << out;
    }

    std::string out;
    EXPECT_EQ(runCommand(env + sh(program) + " --to zip --same-type --out " + sh(save / "small") + smallSources, &out),
              0)
        << out;
    for (Format f : formats)
        EXPECT_TRUE(fs::is_regular_file(save / "small" / (std::string("small_") + extensionOf(f) + ".zip"))) << out;
}

TEST(FullDisk, ConversionsFailCleanlyAndTheVolumeStaysUsable)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    TempDir t;
    const fs::path disk = t / "disk";
    TmpfsMount mount(disk, "16m");
    ASSERT_TRUE(mount.mounted()) << mount.error();
    const fs::path work = disk / "work", save = disk / "save";
    fs::create_directories(work);
    fs::create_directories(save);

    const Format formats[] = {Format::Lha, Format::Zip, Format::Cab};
    // Sources of 12 MiB each, outside the volume.
    makeTree(t / "bigtree", 3, 4 << 20);
    makeTree(t / "smalltree", 1, 3000);
    for (Format f : formats) {
        ASSERT_EQ(compress(f, t / "bigtree", t / (std::string("big.") + extensionOf(f))), 0);
        ASSERT_EQ(compress(f, t / "smalltree", t / (std::string("small.") + extensionOf(f))), 0);
        writeFile(save / (std::string("big.") + extensionOf(f)), "an existing target " + std::string(extensionOf(f)));
    }
    const auto saveBefore = snapshot(save);

    // Extraction runs into the full volume.
    int n = 0;
    for (Format from : formats) {
        for (Format to : formats) {
            SCOPED_TRACE(std::string(extensionOf(from)) + " -> " + extensionOf(to));
            const fs::path wf = work / ("big_" + std::to_string(++n));
            fs::create_directories(wf);
            int32_t rc = extract(from, t / (std::string("big.") + extensionOf(from)), wf);
            if (rc == 0)
                rc = compress(to, wf, save / (std::string("big.") + extensionOf(to)));
            EXPECT_NE(rc, 0);
            EXPECT_EQ(partialFiles(wf, t / "bigtree"), "");
            fs::remove_all(wf);
            EXPECT_EQ(snapshot(save), saveBefore);
        }
    }

    // Packing onto the full volume: the folder fits, the archive does not.
    const fs::path wf = work / "fits";
    makeTree(wf, 2, 3 << 20);
    writeFile(disk / "filler", randomBytes(5 << 20, 99));
    for (Format to : formats) {
        SCOPED_TRACE(std::string("pack to ") + extensionOf(to));
        EXPECT_NE(compress(to, wf, save / (std::string("big.") + extensionOf(to))), 0);
        EXPECT_EQ(snapshot(save), saveBefore);
    }
    fs::remove_all(wf);
    fs::remove(disk / "filler");
    EXPECT_TRUE(fs::is_empty(work));

    // The volume is usable again: small conversions go through.
    for (Format from : formats) {
        for (Format to : formats) {
            SCOPED_TRACE(std::string("small ") + extensionOf(from) + " -> " + extensionOf(to));
            const fs::path wf2 = work / "small";
            fs::create_directories(wf2);
            ASSERT_EQ(extract(from, t / (std::string("small.") + extensionOf(from)), wf2), 0);
            const fs::path target = save / (std::string("small_") + extensionOf(from) + "." + extensionOf(to));
            EXPECT_EQ(compress(to, wf2, target), 0);
            EXPECT_TRUE(fs::is_regular_file(target));
            fs::remove_all(wf2);
        }
    }
}
