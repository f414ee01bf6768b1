// The check that lets a source go: the new archive, read back, must hold
// what the source handed over, member for member.
#include "convert/member_list.h"
#include "test_support.h"

using namespace qvo;
using namespace qvo::test;
using convert::ListedMember;
using convert::MemberList;
using Kind = convert::ListedMember::Kind;

namespace {

ListedMember file(std::string name, uint64_t size, uint32_t crc)
{
    return {Kind::File, std::move(name), size, crc, {}};
}
ListedMember folder(std::string name)
{
    return {Kind::Folder, std::move(name), 0, 0, {}};
}
ListedMember linkTo(std::string name, std::string target, Kind kind = Kind::Link)
{
    return {kind, std::move(name), 0, 0, std::move(target)};
}

// Fields, each ended by a NUL byte.
std::string record(std::initializer_list<std::string> fields)
{
    std::string out;
    for (const std::string &field : fields)
        out += field + '\0';
    return out;
}

std::string compare(const MemberList &source, const MemberList &copy, bool cab = false)
{
    std::string difference;
    backends::TargetHolds holds{};
    holds.folders = holds.links = !cab;
    const bool same = convert::sameMembers(source, copy, holds, difference);
    EXPECT_EQ(same, difference.empty()) << difference;
    return difference;
}

} // namespace

TEST(MemberList, ReadsWhatTheLibrariesWriteAndRefusesAnythingElse)
{
    TempDir dir;
    const std::string good = record({"F", "5", "0a1b2c3d", "d/a.txt", ""}) + record({"D", "0", "00000000", "d", ""}) +
                             record({"X", "0", "00000000", "up", "../x"});
    writeFile(dir / "good", good);
    const auto list = convert::readMemberList((dir / "good").string());
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[0].name, "d/a.txt");
    EXPECT_EQ((*list)[0].size, 5u);
    EXPECT_EQ((*list)[0].crc32, 0x0a1b2c3du);
    EXPECT_EQ((*list)[1].kind, Kind::Folder);
    EXPECT_EQ((*list)[2].kind, Kind::LinkLeadingOutside);
    EXPECT_EQ((*list)[2].linkTarget, "../x");
    EXPECT_EQ(convert::linksLeadingOutside(*list), 1u);

    writeFile(dir / "empty", "");
    EXPECT_TRUE(convert::readMemberList((dir / "empty").string()));
    EXPECT_FALSE(convert::readMemberList((dir / "missing").string()));
    for (const std::string &bad :
         {good.substr(0, good.size() - 1), good + record({"F", "1", "00000000"}),
          record({"Q", "0", "00000000", "a", ""}),
          record({"F", "x", "00000000", "a", ""}), record({"F", "1", "0000", "a", ""}),
          record({"F", "1", "0000000g", "a", ""})}) {
        writeFile(dir / "bad", bad);
        EXPECT_FALSE(convert::readMemberList((dir / "bad").string())) << bad.size();
    }
}

TEST(MemberList, NewArchiveMustHoldEveryMemberOfTheSource)
{
    const MemberList source = {folder("d"), file("d/a.txt", 5, 1), file("b", 0, 0), folder("empty"),
                               linkTo("l", "d/a.txt")};
    // Folders are implied by paths, on either side.
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), file("b", 0, 0), folder("empty"), linkTo("l", "d/a.txt")}), "");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), file("b", 0, 0), linkTo("l", "d/a.txt")}),
              "missing in the new archive: empty");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 2), file("b", 0, 0), folder("empty"), linkTo("l", "d/a.txt")}),
              "differs in the new archive: d/a.txt");
    EXPECT_EQ(compare(source, {file("d/a.txt", 6, 1), file("b", 0, 0), folder("empty"), linkTo("l", "d/a.txt")}),
              "differs in the new archive: d/a.txt");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), file("b", 0, 0), folder("empty"), linkTo("l", "d/other")}),
              "differs in the new archive: l");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), folder("b"), folder("empty"), linkTo("l", "d/a.txt")}),
              "differs in the new archive: b");
    // A name changed only in case is another name (case-sensitive readers).
    EXPECT_EQ(compare(source, {file("d/A.txt", 5, 1), file("b", 0, 0), folder("empty"), linkTo("l", "d/a.txt")}),
              "missing in the new archive: d/a.txt");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), file("b", 0, 0), folder("empty"), linkTo("l", "d/a.txt"),
                               file("new", 1, 1)}),
              "extra in the new archive: new");
}

TEST(MemberList, ANameTheSourceListsTwiceCanNeverBeHeld)
{
    // The archive that held two members of one name lost one on the way,
    // whatever the copy holds; a folder named twice loses nothing.
    EXPECT_EQ(compare({file("x", 1, 1), file("x", 1, 2)}, {file("x", 1, 2)}), "in the source, listed twice: x");
    EXPECT_EQ(compare({file("x", 1, 1), linkTo("x", "y")}, {linkTo("x", "y")}), "in the source, listed twice: x");
    EXPECT_EQ(compare({file("x", 1, 1), file("x/y", 1, 1)}, {file("x/y", 1, 1)}),
              "in the source, a folder and not a folder at once: x");
    EXPECT_EQ(compare({folder("d"), folder("d"), file("d/x", 1, 1)}, {file("d/x", 1, 1)}), "");
    EXPECT_EQ(compare({file("x", 1, 1)}, {file("x", 1, 1), file("x", 1, 1)}), "in the new archive, listed twice: x");
}

TEST(MemberList, CabinetsMayLackFoldersAndLinksButNotTheirFiles)
{
    const MemberList source = {folder("empty"), file("d/a.txt", 5, 1), linkTo("d/l", "a.txt"),
                               linkTo("out", "/etc/passwd", Kind::LinkLeadingOutside), linkTo("dir", "d"),
                               linkTo("nothing", "none")};
    // Links left out, or a link to a file stored as that file's content.
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1)}, true), "");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), file("d/l", 5, 1)}, true), "");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), file("d/l", 4, 1)}, true), "differs in the new archive: d/l");
    // Never a link's stand-in for anything but the file it names.
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), file("out", 5, 1)}, true), "differs in the new archive: out");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1), file("dir", 5, 1)}, true), "differs in the new archive: dir");
    EXPECT_EQ(compare(source, {}, true), "missing in the new archive: d/a.txt");
    EXPECT_EQ(compare(source, {file("d/a.txt", 5, 1)}, false), "missing in the new archive: d/l");
}
