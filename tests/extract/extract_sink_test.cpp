#include "extract/extract_sink.h"
#include "extract/member_path.h"
#include "text/archive_names.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvo::archivers;
using namespace qvo::extract;
using qvo::test::readFile;
using qvo::test::ScopedEnv;
using qvo::test::TempDir;
using qvo::test::writeFile;

namespace {

mode_t currentUmaskForTest()
{
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

MemberInfo fileMember(std::string name, std::optional<uint32_t> mode = std::nullopt)
{
    MemberInfo m;
    m.name = std::move(name);
    m.unixMode = mode;
    return m;
}

MemberInfo folderMember(std::string name, std::optional<uint32_t> mode = std::nullopt)
{
    MemberInfo m;
    m.name = std::move(name);
    m.kind = MemberInfo::Kind::Directory;
    m.unixMode = mode;
    return m;
}

MemberInfo linkMember(std::string name, std::string target)
{
    MemberInfo m;
    m.name = std::move(name);
    m.kind = MemberInfo::Kind::Symlink;
    m.linkTarget = std::move(target);
    return m;
}

// One file member the way a reader feeds it; returns the member's result.
int32_t putFile(ExtractSink &sink, const MemberInfo &m, const std::string &data, bool ok = true)
{
    int32_t r = sink.beginMember(m);
    if (r != kOk)
        return r;
    r = sink.write(data.data(), data.size());
    if (r != kOk) {
        sink.endMember(false, r);
        return r;
    }
    return sink.endMember(ok);
}

ExtractOptions optionsFor(const fs::path &dest)
{
    ExtractOptions o;
    o.destination = dest;
    o.freeSpaceMargin = 1; // tests run on any volume
    return o;
}

// Every entry below `root` as "name" (files), "name/" (folders), "name@" (links).
std::set<std::string> listTree(const fs::path &root)
{
    std::set<std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        std::string rel = fs::relative(it->path(), root).string();
        if (it->is_symlink())
            out.insert(rel + "@");
        else if (it->is_directory())
            out.insert(rel + "/");
        else
            out.insert(rel);
    }
    return out;
}

mode_t modeOf(const fs::path &p)
{
    struct stat st;
    EXPECT_EQ(lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

} // namespace

TEST(MemberPath, SplitNormalizesAndRefuses)
{
    PathComponents c;
    EXPECT_TRUE(splitMemberName("a//./b/", c));
    EXPECT_EQ(c, (PathComponents{"a", "b"}));
    EXPECT_TRUE(splitMemberName("a\\b", c));
    EXPECT_EQ(c, (PathComponents{"a", "b"}));
    EXPECT_TRUE(splitMemberName("./", c));
    EXPECT_TRUE(c.empty());
    EXPECT_TRUE(splitMemberName("...", c)); // an odd but harmless name
    for (const char *bad : {"", "/abs", "\\abs", "C:\\x", "c:x", "../x", "a/../../x", "a/..",
                            "..\\x", "a\\..\\b"})
        EXPECT_FALSE(splitMemberName(bad, c)) << bad;
    EXPECT_FALSE(splitMemberName(std::string("a\0b", 3), c));
}

TEST(MemberPath, LinkTargetsResolveAgainstTheirFolder)
{
    PathComponents r;
    EXPECT_TRUE(resolveLinkTargetLexically({"a", "b"}, "../c", r));
    EXPECT_EQ(r, (PathComponents{"a", "c"}));
    EXPECT_TRUE(resolveLinkTargetLexically({"a"}, "..", r));
    EXPECT_TRUE(r.empty());
    EXPECT_FALSE(resolveLinkTargetLexically({"a"}, "../..", r));
    EXPECT_FALSE(resolveLinkTargetLexically({}, "x/../../y", r)); // out and back in
    EXPECT_FALSE(resolveLinkTargetLexically({"a"}, "/etc/passwd", r));
    EXPECT_FALSE(resolveLinkTargetLexically({"a"}, "C:/x", r));
    EXPECT_FALSE(resolveLinkTargetLexically({"a"}, "", r));
}

TEST(ExtractSink, ExtractsFilesAndFoldersWithTimes)
{
    TempDir t;
    ExtractSink sink(optionsFor(t.path()));
    MemberInfo f = fileMember("dir/sub/日本語.txt");
    f.mtimeSec = 946684800; // 2000-01-01
    f.mtimeNsec = 500;
    f.size = 5;
    MemberInfo d = folderMember("dir/sub");
    d.mtimeSec = 1000000000;
    EXPECT_EQ(putFile(sink, f, "hello"), kOk);
    EXPECT_EQ(sink.beginMember(d), kOk);
    EXPECT_EQ(sink.endMember(true), kOk);
    EXPECT_EQ(sink.beginMember(folderMember("empty")), kOk);
    EXPECT_EQ(putFile(sink, fileMember("./a//b.txt"), ""), kOk);
    EXPECT_EQ(sink.finish(), kOk);

    EXPECT_EQ(listTree(t.path()), (std::set<std::string>{"a/", "a/b.txt", "dir/", "dir/sub/",
                                                         "dir/sub/日本語.txt", "empty/"}));
    EXPECT_EQ(readFile(t / "dir/sub/日本語.txt"), "hello");
    struct stat st;
    ASSERT_EQ(stat((t / "dir/sub/日本語.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800);
    EXPECT_EQ(st.st_mtim.tv_nsec, 500);
    // The folder's time survives the file written into it after its member.
    ASSERT_EQ(stat((t / "dir/sub").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
}

TEST(ExtractSink, RefusesHostileNamesButGoesOn)
{
    TempDir t;
    fs::create_directory(t / "dest");
    ExtractSink sink(optionsFor(t / "dest"));
    for (const char *bad : {"../escape", "/tmp/abs", "C:\\x", "a/../../escape2", "..\\escape3"}) {
        EXPECT_EQ(putFile(sink, fileMember(bad), "x"), kErrUnsafeEntry) << bad;
        EXPECT_EQ(sink.beginMember(folderMember(bad)), kErrUnsafeEntry) << bad;
    }
    EXPECT_EQ(putFile(sink, fileMember(std::string("nul\0x", 5)), "x"), kErrUnsafeEntry);
    MemberInfo fifo = fileMember("fifo");
    fifo.isDeviceOrFifo = true;
    EXPECT_EQ(sink.beginMember(fifo), kErrUnsafeEntry);
    EXPECT_EQ(putFile(sink, fileMember("."), "x"), kErrUnsafeEntry); // no file name
    EXPECT_NE(putFile(sink, fileMember(std::string(5000, 'a')), "x"), kOk);
    std::string deep;
    for (int i = 0; i < 3000; ++i)
        deep += "d/";
    EXPECT_NE(putFile(sink, fileMember(deep + "f"), "x"), kOk);
    EXPECT_EQ(putFile(sink, fileMember("good.txt"), "ok"), kOk);
    EXPECT_EQ(sink.finish(), kErrUnsafeEntry);
    EXPECT_EQ(listTree(t.path()), (std::set<std::string>{"dest/", "dest/good.txt"}));
}

TEST(ExtractSink, LinksOnlyInsideAndAfterEverythingElse)
{
    TempDir t;
    fs::create_directory(t / "dest");
    ExtractSink sink(optionsFor(t / "dest"));
    EXPECT_EQ(putFile(sink, fileMember("d/file.txt"), "data"), kOk);
    EXPECT_EQ(sink.beginMember(linkMember("d/up", "../d/file.txt")), kOk);
    EXPECT_EQ(sink.beginMember(linkMember("d/out", "../../x")), kErrUnsafeEntry);
    EXPECT_EQ(sink.beginMember(linkMember("abs", "/etc/passwd")), kErrUnsafeEntry);
    // A link through which a later member would be written is not there yet:
    // the member gets a real folder, and the link then finds its name taken.
    EXPECT_EQ(sink.beginMember(linkMember("via", "d")), kOk);
    EXPECT_EQ(putFile(sink, fileMember("via/x"), "x"), kOk);
    // Each link alone stays inside, but "e/dot" leads to the top, so
    // "chain" = e/dot/.. would be above it.
    EXPECT_EQ(sink.beginMember(linkMember("e/dot", "..")), kOk);
    EXPECT_EQ(sink.beginMember(linkMember("chain", "e/dot/..")), kOk);
    EXPECT_EQ(sink.finish(), kErrUnsafeEntry);

    EXPECT_EQ(fs::read_symlink(t / "dest/d/up"), "../d/file.txt");
    EXPECT_EQ(readFile(t / "dest/d/up"), "data");
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(t / "dest/via")));
    EXPECT_TRUE(fs::is_symlink(t / "dest/e/dot"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(t / "dest/chain")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(t / "dest/d/out")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(t / "dest/abs")));
}

// In a conversion's working folder a link is data for the new archive:
// kept as stored wherever it leads, since nothing reads through it.  A
// member written through such a link still fails, and anywhere but a fresh
// private folder links are checked as always.
TEST(ExtractSink, ConversionKeepsLinksLeadingOutsideAsData)
{
    TempDir t;
    fs::create_directories(t / "work");
    fs::permissions(t / "work", fs::perms::owner_all);
    writeFile(t / "canary", "outside");
    ExtractOptions o = optionsFor(t / "work");
    o.linksAsData = true;
    o.listMembers = true;
    {
        ExtractSink sink(o);
        EXPECT_EQ(putFile(sink, fileMember("d/file.txt"), "data"), kOk);
        EXPECT_EQ(sink.beginMember(linkMember("abs", (t / "canary").string())), kOk);
        EXPECT_EQ(sink.beginMember(linkMember("d/up", "../../canary")), kOk);
        EXPECT_EQ(sink.beginMember(linkMember("d/win", "..\\..\\canary")), kOk);
        EXPECT_EQ(sink.beginMember(linkMember("d/near", "file.txt")), kOk);
        EXPECT_EQ(sink.beginMember(linkMember("empty", "")), kErrUnsafeEntry);
        EXPECT_EQ(sink.beginMember(linkMember("via", "/tmp")), kOk);
        EXPECT_EQ(putFile(sink, fileMember("via/x"), "x"), kOk); // gets a real folder: the link then finds it
        EXPECT_EQ(sink.finish(), kErrUnsafeEntry); // the empty link's, the earliest failure
        using Kind = ListedMember::Kind;
        std::map<std::string, Kind> kinds;
        for (const ListedMember &m : sink.listedMembers())
            kinds[m.name] = m.kind;
        EXPECT_EQ(kinds["abs"], Kind::LinkLeadingOutside);
        EXPECT_EQ(kinds["d/up"], Kind::LinkLeadingOutside);
        EXPECT_EQ(kinds["d/win"], Kind::LinkLeadingOutside);
        EXPECT_EQ(kinds["d/near"], Kind::Link);
    }
    EXPECT_EQ(fs::read_symlink(t / "work/abs"), t / "canary");
    EXPECT_EQ(fs::read_symlink(t / "work/d/up"), "../../canary");
    EXPECT_EQ(fs::read_symlink(t / "work/d/win"), "../../canary");
    EXPECT_EQ(fs::read_symlink(t / "work/d/near"), "file.txt");
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(t / "work/via")));
    EXPECT_EQ(readFile(t / "canary"), "outside");

    // A folder others may enter, or one that held something: checked.
    for (const bool shared : {true, false}) {
        TempDir u;
        if (shared)
            fs::permissions(u.path(), fs::perms::owner_all | fs::perms::others_exec);
        else
            writeFile(u / "before", "b");
        ExtractOptions checked = optionsFor(u.path());
        checked.linksAsData = true;
        ExtractSink sink(checked);
        EXPECT_EQ(sink.beginMember(linkMember("abs", "/etc/passwd")), kErrUnsafeEntry);
        EXPECT_EQ(sink.beginMember(linkMember("up", "x/../../y")), kErrUnsafeEntry);
        EXPECT_EQ(sink.finish(), kErrUnsafeEntry);
        EXPECT_FALSE(fs::exists(fs::symlink_status(u / "abs")));
    }
}

TEST(ExtractSink, ChainedLinkCreatedBeforeItsStepIsRemoved)
{
    // "chain" is made first, while "e/dot" does not exist yet; only the later
    // link turns it into a way out.
    TempDir t;
    fs::create_directory(t / "dest");
    ExtractSink sink(optionsFor(t / "dest"));
    EXPECT_EQ(sink.beginMember(folderMember("e")), kOk);
    EXPECT_EQ(sink.beginMember(linkMember("chain", "e/dot/..")), kOk);
    EXPECT_EQ(sink.beginMember(linkMember("e/dot", "..")), kOk);
    EXPECT_EQ(sink.finish(), kErrUnsafeEntry);
    EXPECT_FALSE(fs::exists(fs::symlink_status(t / "dest/chain")));
}

TEST(ExtractSink, NeverWritesThroughAnExistingLink)
{
    TempDir t;
    fs::create_directories(t / "outside");
    fs::create_directories(t / "dest");
    fs::create_directory_symlink(t / "outside", t / "dest/evil");
    writeFile(t / "outside/victim", "keep");
    fs::create_symlink(t / "outside/victim", t / "dest/victimlink");

    ExtractOptions o = optionsFor(t / "dest");
    ExtractSink sink(o);
    EXPECT_EQ(putFile(sink, fileMember("evil/new.txt"), "x"), kErrUnsafeEntry);
    EXPECT_EQ(sink.beginMember(folderMember("evil/sub")), kErrUnsafeEntry);
    EXPECT_EQ(sink.beginMember(folderMember("evil")), kErrUnsafeEntry);
    EXPECT_EQ(putFile(sink, fileMember("victimlink"), "x"), kErrExists);
    EXPECT_EQ(sink.beginMember(linkMember("l", "evil/victim")), kOk); // refused in finish
    EXPECT_EQ(sink.beginMember(linkMember("l2", "nope/../evil")), kOk);
    EXPECT_EQ(sink.beginMember(linkMember("l3", "victimlink")), kOk);
    EXPECT_EQ(sink.finish(), kErrUnsafeEntry);
    EXPECT_EQ(listTree(t / "outside"), (std::set<std::string>{"victim"}));
    EXPECT_EQ(readFile(t / "outside/victim"), "keep");
    for (const char *name : {"l", "l2", "l3"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(t / "dest" / name))) << name;

    // Overwriting replaces the link itself, not what it points to.
    o.overwrite = true;
    ExtractSink over(o);
    EXPECT_EQ(putFile(over, fileMember("victimlink"), "new"), kOk);
    EXPECT_EQ(over.finish(), kOk);
    EXPECT_FALSE(fs::is_symlink(t / "dest/victimlink"));
    EXPECT_EQ(readFile(t / "dest/victimlink"), "new");
    EXPECT_EQ(readFile(t / "outside/victim"), "keep");
}

TEST(ExtractSink, ExistingFilesAndOverwrite)
{
    TempDir t;
    writeFile(t / "a.txt", "old");
    fs::create_directory(t / "folder");
    writeFile(t / "plain", "file");
    {
        ExtractSink sink(optionsFor(t.path()));
        EXPECT_EQ(putFile(sink, fileMember("a.txt"), "new"), kErrExists);
        EXPECT_EQ(putFile(sink, fileMember("b.txt"), "b"), kOk);
        EXPECT_EQ(sink.beginMember(folderMember("folder")), kOk); // folder over folder
        EXPECT_EQ(putFile(sink, fileMember("folder"), "x"), kErrExists);
        EXPECT_EQ(sink.beginMember(folderMember("plain")), kErrExists);
        EXPECT_EQ(putFile(sink, fileMember("plain/inner"), "x"), kErrExists);
        EXPECT_EQ(sink.finish(), kErrExists);
    }
    EXPECT_EQ(readFile(t / "a.txt"), "old");
    EXPECT_EQ(readFile(t / "b.txt"), "b");
    {
        ExtractOptions o = optionsFor(t.path());
        o.overwrite = true;
        ExtractSink sink(o);
        EXPECT_EQ(putFile(sink, fileMember("a.txt"), "new"), kOk);
        EXPECT_EQ(putFile(sink, fileMember("folder"), "x"), kErrExists);
        EXPECT_EQ(sink.finish(), kErrExists);
    }
    EXPECT_EQ(readFile(t / "a.txt"), "new");
    EXPECT_TRUE(fs::is_directory(t / "folder"));
}

TEST(ExtractSink, FlatModeUsesLastNameAndReportsClashes)
{
    TempDir t;
    ExtractOptions o = optionsFor(t.path());
    o.restorePaths = false;
    o.overwrite = true;
    ExtractSink sink(o);
    EXPECT_EQ(sink.beginMember(folderMember("x/y")), kOk);
    EXPECT_EQ(putFile(sink, fileMember("x/y/one.txt"), "1"), kOk);
    EXPECT_EQ(putFile(sink, fileMember("z/one.txt"), "2"), kErrNameClash);
    EXPECT_EQ(putFile(sink, fileMember("two.txt"), "3"), kOk);
    EXPECT_EQ(sink.finish(), kErrNameClash);
    EXPECT_EQ(listTree(t.path()), (std::set<std::string>{"one.txt", "two.txt"}));
    EXPECT_EQ(readFile(t / "one.txt"), "1");
}

TEST(ExtractSink, ModesAreMaskedAndNeverSpecial)
{
    TempDir t;
    mode_t old = umask(027);
    {
        ExtractSink sink(optionsFor(t.path()));
        EXPECT_EQ(putFile(sink, fileMember("suid", 04777), "x"), kOk);
        EXPECT_EQ(putFile(sink, fileMember("plain"), "x"), kOk);
        EXPECT_EQ(putFile(sink, fileMember("ro", 0444), "x"), kOk);
        EXPECT_EQ(sink.beginMember(folderMember("sticky", 01777)), kOk);
        // A read-only folder still receives what follows it.
        EXPECT_EQ(sink.beginMember(folderMember("rodir", 0555)), kOk);
        EXPECT_TRUE(modeOf(t / "rodir") & S_IWUSR); // until finish() (root would not notice)
        EXPECT_EQ(putFile(sink, fileMember("rodir/inside"), "in"), kOk);
        MemberInfo inner = folderMember("rodir/inner", 0500);
        inner.mtimeSec = 1234567890;
        EXPECT_EQ(sink.beginMember(inner), kOk);
        EXPECT_EQ(putFile(sink, fileMember("rodir/inner/deep"), "deep"), kOk);
        EXPECT_EQ(putFile(sink, fileMember("implicit/f"), "x"), kOk);
        EXPECT_EQ(sink.finish(), kOk);
    }
    umask(old);
    EXPECT_EQ(modeOf(t / "suid"), 0750u);
    EXPECT_EQ(modeOf(t / "plain"), 0640u);
    EXPECT_EQ(modeOf(t / "ro"), 0440u);
    EXPECT_EQ(modeOf(t / "sticky"), 0750u);
    EXPECT_EQ(modeOf(t / "rodir"), 0550u);
    EXPECT_EQ(modeOf(t / "implicit"), 0750u);
    EXPECT_EQ(readFile(t / "rodir/inside"), "in");
    EXPECT_EQ(readFile(t / "rodir/inner/deep"), "deep");
    EXPECT_EQ(modeOf(t / "rodir/inner"), 0500u);
    struct stat st;
    ASSERT_EQ(stat((t / "rodir/inner").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
}

TEST(ExtractSink, OwnerKeepsReadingUnderAnyUmask)
{
    // Files are created with their final permissions where nobody else
    // looks; a umask taking the owner's read permission must not leave a
    // file that cannot be packed.
    TempDir t;
    mode_t old = umask(0477);
    {
        ExtractSink sink(optionsFor(t.path()));
        EXPECT_EQ(putFile(sink, fileMember("f", 0644), "data"), kOk);
        EXPECT_EQ(sink.finish(), kOk);
    }
    umask(old);
    EXPECT_EQ(modeOf(t / "f"), 0600u); // 0644 less the umask, owner read added back
    EXPECT_EQ(readFile(t / "f"), "data");
}

TEST(ExtractSink, FailedDataLeavesNothing)
{
    TempDir t;
    ExtractSink sink(optionsFor(t.path()));
    EXPECT_EQ(putFile(sink, fileMember("crc.txt"), "garbage", false), kErrCorrupt);
    ASSERT_EQ(sink.beginMember(fileMember("short.txt")), kOk);
    EXPECT_EQ(sink.write("abc", 3), kOk);
    EXPECT_EQ(sink.endMember(false, kErrEncrypted), kErrEncrypted);
    MemberInfo declared = fileMember("declared.txt");
    declared.size = 10;
    EXPECT_EQ(putFile(sink, declared, "only5"), kErrCorrupt); // data ended early
    EXPECT_EQ(putFile(sink, fileMember("fine.txt"), "ok"), kOk);
    EXPECT_EQ(sink.finish(), kErrCorrupt);
    EXPECT_EQ(listTree(t.path()), (std::set<std::string>{"fine.txt"}));
}

// A fresh private folder (as mkdtemp makes) gets its files under their
// final names at once; a member named twice must still leave the first
// copy whole, and failed data must still leave nothing.
TEST(ExtractSink, MembersNamedTwiceInAFreshFolder)
{
    TempDir keep;
    {
        ExtractSink sink(optionsFor(keep.path()));
        EXPECT_EQ(putFile(sink, fileMember("a.txt"), "first"), kOk);
        EXPECT_EQ(putFile(sink, fileMember("a.txt"), "second"), kErrExists);
        EXPECT_EQ(putFile(sink, fileMember("d/gone.txt"), "partial", false), kErrCorrupt);
        EXPECT_EQ(sink.finish(), kErrExists);
    }
    EXPECT_EQ(listTree(keep.path()), (std::set<std::string>{"a.txt", "d/"}));
    EXPECT_EQ(readFile(keep / "a.txt"), "first");
}

// Overwriting is about what the destination held before the call: within
// one archive a second member of a name would replace the first and the
// archive would lose it, so it is refused (a clash of two members) in a
// fresh folder and in a used one alike, while a file that was there
// before is still replaced.
TEST(ExtractSink, OverwriteNeverLetsAMemberReplaceAnother)
{
    auto hard = [](std::string name, std::string target) {
        MemberInfo m = linkMember(std::move(name), std::move(target));
        m.kind = MemberInfo::Kind::Hardlink;
        return m;
    };
    for (const bool fresh : {true, false}) {
        SCOPED_TRACE(fresh ? "fresh private folder" : "folder in use");
        TempDir t;
        if (!fresh) {
            writeFile(t / "before.txt", "old");
            fs::permissions(t.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
        }
        ExtractOptions o = optionsFor(t.path());
        o.overwrite = true;
        ExtractSink sink(o);
        if (!fresh) {
            EXPECT_EQ(putFile(sink, fileMember("before.txt"), "new"), kOk);
        }
        EXPECT_EQ(putFile(sink, fileMember("a.txt"), "first"), kOk);
        EXPECT_EQ(putFile(sink, fileMember("a.txt"), "second"), kErrNameClash);
        EXPECT_EQ(putFile(sink, fileMember("./a.txt"), "dot"), kErrNameClash);
        EXPECT_EQ(putFile(sink, fileMember("d//a.txt"), "in d"), kOk);
        EXPECT_EQ(putFile(sink, fileMember("d/./a.txt"), "in d again"), kErrNameClash);
        EXPECT_EQ(sink.beginMember(linkMember("a.txt", "d/a.txt")), kErrNameClash);
        EXPECT_EQ(sink.beginMember(hard("a.txt", "d/a.txt")), kErrNameClash);
        EXPECT_EQ(sink.beginMember(folderMember("a.txt")), kErrExists);
        EXPECT_EQ(sink.beginMember(linkMember("l", "a.txt")), kOk);
        EXPECT_EQ(putFile(sink, fileMember("l"), "over the link"), kErrNameClash);
        EXPECT_EQ(sink.beginMember(linkMember("./l", "d/a.txt")), kErrNameClash);
        EXPECT_EQ(sink.beginMember(hard("h", "a.txt")), kOk);
        EXPECT_EQ(putFile(sink, fileMember("h"), "over the hard link"), kErrNameClash);
        // Folders named again lose nothing.
        EXPECT_EQ(sink.beginMember(folderMember("d")), kOk);
        EXPECT_EQ(sink.beginMember(folderMember("./d/")), kOk);
        EXPECT_EQ(sink.finish(), kErrNameClash);
        EXPECT_EQ(readFile(t / "a.txt"), "first");
        EXPECT_EQ(readFile(t / "d/a.txt"), "in d");
        EXPECT_EQ(fs::read_symlink(t / "l"), "a.txt");
        EXPECT_EQ(readFile(t / "h"), "first");
        if (!fresh) {
            EXPECT_EQ(readFile(t / "before.txt"), "new");
        }
    }
}

// Members with a declared size, past the first few, are created by the
// writer thread: everything the sink promises must hold all the same.
// QVO_TEST_WRITER_THREAD has the thread run on one processor too.
MemberInfo sizedMember(std::string name, const std::string &data, std::optional<uint32_t> mode = std::nullopt)
{
    MemberInfo m = fileMember(std::move(name), mode);
    m.size = data.size();
    m.mtimeSec = 1200000000 + static_cast<int64_t>(data.size());
    m.mtimeNsec = 7;
    return m;
}

void putWarmUpMembers(ExtractSink &sink)
{
    for (int i = 0; i < 10; ++i) {
        const std::string data = "warm-up " + std::to_string(i);
        ASSERT_EQ(putFile(sink, sizedMember("warm/" + std::to_string(i), data), data), kOk);
    }
}

TEST(ExtractSink, FilesHandedToTheWriterThreadKeepEveryRule)
{
    ScopedEnv forceWriter("QVO_TEST_WRITER_THREAD", "1");
    TempDir t;
    {
        ExtractSink sink(optionsFor(t.path()));
        putWarmUpMembers(sink);
        std::map<std::string, std::string> files;
        for (int i = 0; i < 60; ++i) {
            const std::string name = "d" + std::to_string(i % 5) + "/f" + std::to_string(i);
            const std::string data = std::string(static_cast<size_t>(i) * 100, char('a' + i % 26));
            files[name] = data;
            ASSERT_EQ(putFile(sink, sizedMember(name, data, 0640), data), kOk) << name;
        }
        // The same name again: the first copy stays, whole, with
        // overwriting too (both wait in the queue).
        EXPECT_EQ(putFile(sink, sizedMember("dup", "first"), "first"), kOk);
        EXPECT_EQ(putFile(sink, sizedMember("dup", "second!"), "second!"), kErrExists);
        // A file, then a folder of that name and a file inside it.
        EXPECT_EQ(putFile(sink, sizedMember("f", "a file"), "a file"), kOk);
        EXPECT_EQ(sink.beginMember(folderMember("f")), kErrExists);
        EXPECT_EQ(putFile(sink, sizedMember("f/g", "below"), "below"), kErrExists);
        // More data than declared, and data that fails: nothing remains.
        MemberInfo liar = sizedMember("liar", "abc");
        ASSERT_EQ(sink.beginMember(liar), kOk);
        EXPECT_EQ(sink.write("abcdefghij", 10), kErrCorrupt);
        EXPECT_EQ(sink.endMember(false, kErrCorrupt), kErrCorrupt);
        EXPECT_EQ(putFile(sink, sizedMember("bad", "crc"), "crc", false), kErrCorrupt);
        // The earliest member's failure is the one reported.
        EXPECT_EQ(sink.finish(), kErrExists);
        EXPECT_GE(sink.filesFromWriterThread(), files.size());

        for (const auto &[name, data] : files) {
            EXPECT_EQ(readFile(t / name), data) << name;
            struct stat st;
            ASSERT_EQ(::stat((t / name).c_str(), &st), 0);
            EXPECT_EQ(st.st_mtim.tv_sec, 1200000000 + static_cast<int64_t>(data.size())) << name;
            EXPECT_EQ(st.st_mtim.tv_nsec, 7) << name;
            EXPECT_EQ(st.st_mode & 0777, 0640u & ~currentUmaskForTest()) << name;
        }
    }
    EXPECT_EQ(readFile(t / "dup"), "first");
    EXPECT_EQ(readFile(t / "f"), "a file");
    EXPECT_FALSE(fs::exists(t / "liar"));
    EXPECT_FALSE(fs::exists(t / "bad"));
}

TEST(ExtractSink, HandedFileIsNeverReplacedByALaterMemberOfItsName)
{
    ScopedEnv forceWriter("QVO_TEST_WRITER_THREAD", "1");
    TempDir t;
    ExtractOptions o = optionsFor(t.path());
    o.overwrite = true;
    ExtractSink sink(o);
    putWarmUpMembers(sink);
    EXPECT_EQ(putFile(sink, sizedMember("dup", "first"), "first"), kOk);
    EXPECT_EQ(putFile(sink, sizedMember("./dup", "second"), "second"), kErrNameClash);
    EXPECT_EQ(sink.beginMember(linkMember("dup", "warm/0")), kErrNameClash);
    EXPECT_EQ(sink.finish(), kErrNameClash);
    EXPECT_GT(sink.filesFromWriterThread(), 0u);
    EXPECT_EQ(readFile(t / "dup"), "first");
}

// Files waiting for the writer keep their folder open until written: an
// archive whose members alternate between folders must not run out of
// descriptors however far the writer falls behind.  Run in a child with a
// low descriptor limit.
TEST(ExtractSink, MembersAlternatingBetweenFoldersStayWithinFewDescriptors)
{
    ScopedEnv forceWriter("QVO_TEST_WRITER_THREAD", "1");
    for (const int folders : {50, 300}) {
        SCOPED_TRACE(std::to_string(folders) + " folders");
        TempDir t;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit low{64, 64};
            if (::setrlimit(RLIMIT_NOFILE, &low) != 0)
                ::_exit(10);
            int32_t result = kOk;
            {
                ExtractSink sink(optionsFor(t.path()));
                for (int i = 0; i < 3000 && result == kOk; ++i) {
                    const std::string name = "d" + std::to_string(i % folders) + "/f" + std::to_string(i);
                    const std::string data = "file " + std::to_string(i);
                    result = putFile(sink, sizedMember(name, data), data);
                }
                const int32_t finished = sink.finish();
                if (result == kOk)
                    result = finished;
                if (result == kOk && sink.filesFromWriterThread() < 2900)
                    ::_exit(11);
            }
            ::_exit(result == kOk ? 0 : 12);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(readFile(t / ("d" + std::to_string(2999 % folders) + "/f2999")), "file 2999");
    }
}

TEST(ExtractSink, HandedFileNeverReplacesAFileThatAppearedMeanwhile)
{
    ScopedEnv forceWriter("QVO_TEST_WRITER_THREAD", "1");
    TempDir t;
    ExtractSink sink(optionsFor(t.path()));
    putWarmUpMembers(sink);
    ASSERT_EQ(sink.beginMember(sizedMember("x", "from the archive")), kOk);
    ASSERT_EQ(sink.write("from the archive", 16), kOk);
    writeFile(t / "x", "foreign"); // someone else, before the file is made
    sink.endMember(true);
    EXPECT_EQ(sink.beginMember(fileMember("../evil")), kErrUnsafeEntry);
    // The earlier member's failure is reported, not the later refusal.
    EXPECT_EQ(sink.finish(), kErrExists);
    EXPECT_EQ(readFile(t / "x"), "foreign");
    EXPECT_GT(sink.filesFromWriterThread(), 0u); // the warm-up files went through it
}

// What the archive handed over is listed as it came, whatever became of
// it on the disk: a conversion checks its new archive against this.
TEST(ExtractSink, ListsTheMembersHandedOver)
{
    TempDir t;
    ExtractOptions o = optionsFor(t.path());
    o.listMembers = true;
    ExtractSink sink(o);
    EXPECT_EQ(sink.beginMember(folderMember("d/")), kOk);
    ASSERT_EQ(sink.beginMember(fileMember("d//a.txt")), kOk);
    EXPECT_EQ(sink.write("ab", 2), kOk);
    EXPECT_EQ(sink.write("c", 1), kOk);
    EXPECT_EQ(sink.endMember(true), kOk);
    EXPECT_EQ(putFile(sink, fileMember("./empty"), ""), kOk);
    EXPECT_EQ(sink.beginMember(linkMember("l", "d\\a.txt")), kOk);
    MemberInfo hard = linkMember("h", "d/./a.txt");
    hard.kind = MemberInfo::Kind::Hardlink;
    EXPECT_EQ(sink.beginMember(hard), kOk);
    EXPECT_EQ(putFile(sink, fileMember("empty"), "again"), kErrExists); // listed all the same
    EXPECT_EQ(sink.finish(), kErrExists);

    using Kind = ListedMember::Kind;
    const std::vector<ListedMember> &listed = sink.listedMembers();
    ASSERT_EQ(listed.size(), 6u);
    const struct {
        Kind kind;
        const char *name;
        uint64_t size;
        uint32_t crc;
        const char *target;
    } expected[] = {
        {Kind::Folder, "d", 0, 0, ""},           {Kind::File, "d/a.txt", 3, 0x352441c2, ""},
        {Kind::File, "empty", 0, 0, ""},         {Kind::Link, "l", 0, 0, "d/a.txt"},
        {Kind::File, "h", 3, 0x352441c2, ""},    {Kind::File, "empty", 0, 0, ""},
    };
    for (size_t k = 0; k < listed.size(); ++k) {
        SCOPED_TRACE(expected[k].name);
        EXPECT_EQ(listed[k].kind, expected[k].kind);
        EXPECT_EQ(listed[k].name, expected[k].name);
        EXPECT_EQ(listed[k].size, expected[k].size);
        EXPECT_EQ(listed[k].crc32, expected[k].crc);
        EXPECT_EQ(listed[k].linkTarget, expected[k].target);
    }
}

TEST(ExtractSink, ReaderFailureIsReported)
{
    TempDir t;
    ExtractSink sink(optionsFor(t.path()));
    EXPECT_EQ(putFile(sink, fileMember("a"), "a"), kOk);
    sink.recordFailure(kErrMissingVolume);
    EXPECT_EQ(putFile(sink, fileMember("b"), "b"), kOk);
    EXPECT_EQ(sink.finish(), kErrMissingVolume);
}

TEST(ExtractSink, BombStopsAtTotalLimit)
{
    TempDir t;
    ExtractOptions o = optionsFor(t.path());
    o.maxTotalBytes = 3 * 1024 * 1024;
    ExtractSink sink(o);
    EXPECT_EQ(putFile(sink, fileMember("small"), std::string(1024, 's')), kOk);
    ASSERT_EQ(sink.beginMember(fileMember("bomb")), kOk);
    std::string chunk(64 * 1024, '\0');
    int32_t r = kOk;
    for (int i = 0; i < 1000 && r == kOk; ++i)
        r = sink.write(chunk.data(), chunk.size());
    EXPECT_EQ(r, kErrSpaceLimit);
    EXPECT_TRUE(sink.stopped());
    EXPECT_EQ(sink.endMember(false, r), kErrSpaceLimit);
    EXPECT_EQ(sink.beginMember(fileMember("after")), kErrSpaceLimit);
    EXPECT_EQ(sink.finish(), kErrSpaceLimit);
    EXPECT_EQ(listTree(t.path()), (std::set<std::string>{"small"}));
}

TEST(ExtractSink, HardLinksOnlyToFilesExtractedInside)
{
    TempDir t;
    fs::create_directories(t / "outside");
    writeFile(t / "outside/secret", "secret");
    fs::create_directories(t / "dest");
    fs::create_directory_symlink(t / "outside", t / "dest/evil");
    fs::create_symlink(t / "outside/secret", t / "dest/secretlink");
    auto hard = [](std::string name, std::string target) {
        MemberInfo m = linkMember(std::move(name), std::move(target));
        m.kind = MemberInfo::Kind::Hardlink;
        return m;
    };
    ExtractSink sink(optionsFor(t / "dest"));
    EXPECT_EQ(putFile(sink, fileMember("d/orig.txt"), "same"), kOk);
    EXPECT_EQ(sink.beginMember(hard("e/copy.txt", "d/orig.txt")), kOk);
    EXPECT_EQ(sink.beginMember(hard("missing", "d/none")), kErrCorrupt);
    EXPECT_EQ(sink.beginMember(hard("h1", "evil/secret")), kErrUnsafeEntry);
    EXPECT_EQ(sink.beginMember(hard("h2", "secretlink")), kErrUnsafeEntry);
    EXPECT_EQ(sink.beginMember(hard("h3", "../outside/secret")), kErrUnsafeEntry);
    EXPECT_EQ(sink.beginMember(hard("d/orig.txt", "e/copy.txt")), kErrExists);
    EXPECT_EQ(sink.finish(), kErrCorrupt);
    EXPECT_EQ(readFile(t / "dest/e/copy.txt"), "same");
    for (const char *name : {"missing", "h1", "h2", "h3"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(t / "dest" / name))) << name;
}

TEST(ExtractSink, Cp932NamesWithBackslashBytesStayWhole)
{
    using qvo::text::archiveNameToUtf8;
    using qvo::text::NameEncoding;
    TempDir t;
    ExtractSink sink(optionsFor(t.path()));
    // 表\ソ.txt and ..\能: the 0x5C second bytes are no separators, the
    // real "\" is, and the ".." it then shows is refused.
    auto cp932 = [](std::string_view raw) {
        return fileMember(archiveNameToUtf8(raw, NameEncoding::Cp932));
    };
    EXPECT_EQ(putFile(sink, cp932("\x95\x5C\\\x83\x5C.txt"), "x"), kOk);
    EXPECT_EQ(putFile(sink, cp932("..\\\x94\x5C"), "x"), kErrUnsafeEntry);
    EXPECT_EQ(sink.finish(), kErrUnsafeEntry);
    EXPECT_EQ(listTree(t.path()), (std::set<std::string>{"表/", "表/ソ.txt"}));
}
