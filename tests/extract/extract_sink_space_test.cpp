// The sink against a real small volume: a 64 MiB tmpfs mounted for the test.
#include "extract/extract_sink.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvo::archivers;
using namespace qvo::extract;
using qvo::test::TempDir;

namespace {

constexpr uint64_t kMiB = 1024 * 1024;

class SmallVolume : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=64m") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        mounted_ = true;
    }
    void TearDown() override
    {
        if (mounted_)
            ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
    const fs::path &path() const { return dir_.path(); }

    uint64_t freeBytes() const
    {
        struct statvfs v;
        EXPECT_EQ(::statvfs(path().c_str(), &v), 0);
        return static_cast<uint64_t>(v.f_bavail) * v.f_frsize;
    }

    static MemberInfo file(std::string name)
    {
        MemberInfo m;
        m.name = std::move(name);
        return m;
    }

    // Writes `total` zero bytes as one member; returns the first failure.
    static int32_t pour(ExtractSink &sink, const std::string &name, uint64_t total)
    {
        int32_t r = sink.beginMember(file(name));
        std::string chunk(256 * 1024, '\0');
        for (uint64_t done = 0; r == kOk && done < total; done += chunk.size())
            r = sink.write(chunk.data(), chunk.size());
        return sink.endMember(r == kOk, r);
    }

private:
    TempDir dir_;
    bool mounted_ = false;
};

} // namespace

TEST_F(SmallVolume, BombStopsBeforeTheDefaultMargin)
{
    ExtractOptions o;
    o.destination = path();
    ExtractSink sink(o); // default margin: half of this small volume
    EXPECT_EQ(pour(sink, "ok.bin", 4 * kMiB), kOk);
    EXPECT_EQ(pour(sink, "bomb.bin", 200 * kMiB), kErrSpaceLimit);
    EXPECT_TRUE(sink.stopped());
    EXPECT_EQ(sink.finish(), kErrSpaceLimit);
    EXPECT_FALSE(fs::exists(path() / "bomb.bin"));
    EXPECT_EQ(fs::file_size(path() / "ok.bin"), 4 * kMiB);
    EXPECT_GE(freeBytes(), 28 * kMiB); // the margin, less what ok.bin took
    EXPECT_EQ(std::distance(fs::directory_iterator(path()), fs::directory_iterator()), 1);
}

TEST_F(SmallVolume, ExplicitMarginIsKept)
{
    ExtractOptions o;
    o.destination = path();
    o.freeSpaceMargin = 8 * kMiB;
    ExtractSink sink(o);
    EXPECT_EQ(pour(sink, "bomb.bin", 100 * kMiB), kErrSpaceLimit);
    EXPECT_GE(freeBytes(), 60 * kMiB); // the partial file is gone
    EXPECT_TRUE(fs::is_empty(path()));
}

TEST_F(SmallVolume, FullVolumeIsAWriteErrorAndLeavesNothing)
{
    ExtractOptions o;
    o.destination = path();
    o.freeSpaceMargin = 1;
    ExtractSink sink(o);
    ASSERT_EQ(sink.beginMember(file("victim.bin")), kOk);
    std::string chunk(kMiB, 'v');
    ASSERT_EQ(sink.write(chunk.data(), chunk.size()), kOk);
    // Someone else fills the volume between two looks at the free space.
    {
        int fd = ::open((path() / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        while (::write(fd, chunk.data(), chunk.size()) > 0) {
        }
        ::close(fd);
    }
    int32_t r = kOk;
    for (int i = 0; i < 8 && r == kOk; ++i)
        r = sink.write(chunk.data(), chunk.size());
    EXPECT_TRUE(r == kErrWrite || r == kErrSpaceLimit) << resultName(r);
    EXPECT_EQ(sink.endMember(false, r), r);
    EXPECT_TRUE(sink.stopped());
    EXPECT_NE(sink.finish(), kOk);
    EXPECT_EQ(std::distance(fs::directory_iterator(path()), fs::directory_iterator()), 1);
}

TEST_F(SmallVolume, FullVolumeStopsSmallFilesAndLeavesNoneCut)
{
    // Files small enough for the writer thread, more of them than fit.  The
    // thread runs only in a private folder, as a working folder is.
    qvo::test::ScopedEnv forceWriter("QVO_TEST_WRITER_THREAD", "1");
    ASSERT_EQ(::chmod(path().c_str(), 0700), 0);
    ExtractOptions o;
    o.destination = path();
    o.freeSpaceMargin = 1;
    ExtractSink sink(o);
    const std::string data(512 * 1024, 's');
    int32_t r = kOk;
    int made = 0;
    for (int i = 0; i < 200 && !sink.stopped(); ++i) {
        MemberInfo m = file("f" + std::to_string(i));
        m.size = data.size();
        r = sink.beginMember(m);
        if (r == kOk)
            r = sink.write(data.data(), data.size());
        sink.endMember(r == kOk, r);
        made += r == kOk;
    }
    EXPECT_TRUE(sink.stopped());
    EXPECT_NE(sink.finish(), kOk);
    EXPECT_GT(made, 10);
    EXPECT_GT(sink.filesFromWriterThread(), 0u);
    for (const auto &e : fs::directory_iterator(path()))
        EXPECT_EQ(e.file_size(), data.size()) << e.path();
}
