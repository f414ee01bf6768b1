// Writers killed in the middle (SIGKILL: no destructor, no clean-up of
// their own) must not leave partial files in the folders they write to.
#include "create/atomic_output_file.h"
#include "extract/extract_sink.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvo::archivers;
using namespace qvo::create;
using namespace qvo::extract;
using qvo::test::readFile;
using qvo::test::ScopedEnv;
using qvo::test::TempDir;
using qvo::test::writeFile;

namespace {

constexpr size_t kWritten = 8u << 20;

// A child process that runs `write` and then waits, still holding what it
// opened, until it is killed.
class WriterProcess {
public:
    explicit WriterProcess(const std::function<bool()> &write)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const char done = write() ? 'y' : 'n';
            if (::write(fds[1], &done, 1) != 1)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(fds[1]);
        char done = 'n';
        wrote_ = pid_ > 0 && ::read(fds[0], &done, 1) == 1 && done == 'y';
        ::close(fds[0]);
    }
    ~WriterProcess() { kill(); }
    WriterProcess(const WriterProcess &) = delete;
    WriterProcess &operator=(const WriterProcess &) = delete;

    bool wrote() const { return wrote_; }
    void kill()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    bool wrote_ = false;
};

// Starts an archive at `target` and writes part of it.  The file stays open
// (never committed nor discarded) in the process that called this.
bool startArchive(const fs::path &target)
{
    auto *file = new AtomicOutputFile; // dies with the process
    std::string error;
    const std::string data(kWritten, 'a');
    return file->open(target, error) && file->write(data.data(), data.size());
}

// Starts extracting a member into `destination` and writes part of it.
bool startMember(const fs::path &destination)
{
    ExtractOptions options;
    options.destination = destination;
    auto *sink = new ExtractSink(options); // dies with the process
    MemberInfo member;
    member.name = "member.bin";
    member.size = 2 * kWritten;
    const std::string data(kWritten, 'm');
    return sink->beginMember(member) == kOk && sink->write(data.data(), data.size()) == kOk;
}

std::set<std::string> namesIn(const fs::path &dir)
{
    std::set<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// The names in `after` that `before` does not hold.
std::set<std::string> added(const std::set<std::string> &before, const std::set<std::string> &after)
{
    std::set<std::string> out;
    for (const std::string &name : after)
        if (!before.count(name))
            out.insert(name);
    return out;
}

bool isTemporaryOf(const std::string &name, const std::string &stem)
{
    const std::string head = "." + stem + ".qvo-";
    return name.size() == head.size() + 6 && name.compare(0, head.size(), head) == 0;
}

} // namespace

TEST(KilledWriter, ArchivesAndMembersHalfWrittenLeaveNothing)
{
    TempDir dir;
    writeFile(dir / "big.lzh", "old archive");
    writeFile(dir / "other.txt", "other");
    const std::set<std::string> before = namesIn(dir.path());

    for (const char *target : {"big.lzh", "new.lzh"}) {
        WriterProcess writer([&] { return startArchive(dir / target); });
        ASSERT_TRUE(writer.wrote()) << target;
        writer.kill();
        EXPECT_EQ(namesIn(dir.path()), before) << target;
    }
    // A folder that is not a private working folder: members are written
    // aside before they take their names.
    WriterProcess extraction([&] { return startMember(dir.path()); });
    ASSERT_TRUE(extraction.wrote());
    extraction.kill();
    EXPECT_EQ(namesIn(dir.path()), before);
    EXPECT_EQ(readFile(dir / "big.lzh"), "old archive");
}

// Where files cannot be made without a name, a killed writer's file stays
// until the next writer into that folder (in another process) clears it;
// the file of a writer still at work, and anything not plainly a leftover
// of ours, stays.
TEST(KilledWriter, LeftOversOfNamedTemporariesGoWithTheNextWriter)
{
    ScopedEnv named("QVO_TEST_NAMED_TEMPORARIES", "1");
    TempDir dir;
    writeFile(dir / "big.lzh", "old archive");
    const std::set<std::string> before = namesIn(dir.path());

    WriterProcess live([&] { return startArchive(dir / "live.lzh"); });
    ASSERT_TRUE(live.wrote());
    const std::set<std::string> liveFile = added(before, namesIn(dir.path()));
    ASSERT_EQ(liveFile.size(), 1u);
    EXPECT_TRUE(isTemporaryOf(*liveFile.begin(), "live.lzh")) << *liveFile.begin();

    std::set<std::string> expected = namesIn(dir.path());
    {
        WriterProcess killed([&] { return startArchive(dir / "big.lzh"); });
        ASSERT_TRUE(killed.wrote());
    }
    const std::set<std::string> archiveLeftOver = added(expected, namesIn(dir.path()));
    ASSERT_EQ(archiveLeftOver.size(), 1u);
    EXPECT_TRUE(isTemporaryOf(*archiveLeftOver.begin(), "big.lzh")) << *archiveLeftOver.begin();

    // An extraction into that folder clears the archive's leftover, keeps
    // the live writer's file and leaves one of its own when killed.
    {
        WriterProcess killed([&] { return startMember(dir.path()); });
        ASSERT_TRUE(killed.wrote());
    }
    const std::set<std::string> memberLeftOver = added(expected, namesIn(dir.path()));
    ASSERT_EQ(memberLeftOver.size(), 1u);
    EXPECT_TRUE(isTemporaryOf(*memberLeftOver.begin(), "part")) << *memberLeftOver.begin();

    // Look-alikes: not of the pattern, not regular files, not ours.
    writeFile(dir / ".big.lzh.qvo-12345", "short suffix");
    writeFile(dir / "big.lzh.qvo-ABCDEF", "not hidden");
    fs::create_directory(dir / ".folder.qvo-ABCDEF");
    fs::create_symlink("big.lzh", dir / ".link.qvo-ABCDEF");
    if (::geteuid() == 0) {
        writeFile(dir / ".theirs.qvo-ABCDEF", "another user's");
        ASSERT_EQ(::chown((dir / ".theirs.qvo-ABCDEF").c_str(), 65534, 65534), 0);
    }
    expected = namesIn(dir.path());
    expected.erase(*memberLeftOver.begin());
    expected.insert("next.lzh");

    AtomicOutputFile next;
    std::string error;
    ASSERT_TRUE(next.open(dir / "next.lzh", error)) << error;
    ASSERT_TRUE(next.write("new", 3));
    ASSERT_TRUE(next.commit(error)) << error;
    EXPECT_EQ(namesIn(dir.path()), expected);
    EXPECT_EQ(readFile(dir / "big.lzh"), "old archive");
}
