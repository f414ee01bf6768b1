// The sink run by an ordinary user, whom permission bits do stop: read-only
// folders in an archive must still receive their contents, and whatever the
// archive says, the extracted tree must stay readable for packing.
#include "extract/extract_sink.h"
#include "platform/as_unprivileged_user.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvo::archivers;
using namespace qvo::extract;

namespace {

MemberInfo member(std::string name, MemberInfo::Kind kind, uint32_t mode)
{
    MemberInfo m;
    m.name = std::move(name);
    m.kind = kind;
    m.unixMode = mode;
    return m;
}

bool check(bool ok, const char *what)
{
    if (!ok)
        std::fprintf(stderr, "failed: %s\n", what);
    return ok;
}

bool putFile(ExtractSink &sink, const MemberInfo &m, const std::string &data)
{
    return sink.beginMember(m) == kOk && sink.write(data.data(), data.size()) == kOk &&
           sink.endMember(true) == kOk;
}

} // namespace

TEST(ExtractSinkAsUser, ReadOnlyFoldersGetTheirContentsAndStayReadable)
{
    qvo::test::TempDir t;
    fs::path dest = t.path();
    bool ok = qvo::test::asUnprivilegedUser(dest, [&dest] {
        using K = MemberInfo::Kind;
        ExtractOptions o;
        o.destination = dest;
        o.freeSpaceMargin = 1;
        ExtractSink sink(o);
        bool good = check(sink.beginMember(member("ro", K::Directory, 0555)) == kOk, "ro folder");
        good &= check(sink.beginMember(member("ro/none", K::Directory, 0)) == kOk, "mode 0 folder");
        good &= check(putFile(sink, member("ro/none/f", K::File, 0), "data"), "file in ro/none");
        good &= check(putFile(sink, member("ro/g", K::File, 0444), "g"), "file in ro");
        good &= check(sink.finish() == kOk, "finish");
        // Packing reads everything back as this same user.
        good &= check(qvo::test::readFile(dest / "ro/none/f") == "data", "read back ro/none/f");
        good &= check(::access((dest / "ro").c_str(), W_OK) != 0, "ro stays read-only");
        good &= check(::open((dest / "ro/new").c_str(), O_CREAT | O_WRONLY, 0600) < 0,
                      "nothing can be added to ro afterwards");
        return good;
    });
    EXPECT_TRUE(ok);
}
