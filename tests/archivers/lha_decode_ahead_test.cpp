// LHA archives of many members, whose small members are decoded ahead on
// worker threads: the tree comes out exactly, members reach the folder in
// archive order among folders and large members, and damage anywhere fails
// the call without leaving a wrong file behind.  Worker threads are forced
// where it matters, so that they run on any machine, and the pools' log
// shows that members were decoded on them.
#include "unlha32_create_test_support.h"

#include "archivers/include/qvo_archiver.h"

#include <gtest/gtest.h>

using namespace qvo::test;
using namespace qvo::test::unlha32;

namespace {

// Forty small files in three folders, an empty one, and a file larger than
// what is decoded ahead in the middle.
void makeManyMembers(const fs::path &src)
{
    for (int i = 0; i < 40; ++i) {
        fs::path p = src / ("d" + std::to_string(i % 3)) / ("f" + std::to_string(i) + ".txt");
        std::string body = i % 4 == 0 ? randomBytes(1000 + 997 * i, i) : text(static_cast<size_t>(i) * 3000);
        writeFile(p, body);
        setTime(p, 1600000000 + i * 60);
    }
    writeFile(src / "d1/big.bin", text(5u << 20));
    fs::create_directories(src / "empty");
}

fs::path makeArchive(const TempDir &tmp, int level)
{
    makeManyMembers(tmp / "src");
    fs::path arc = tmp / ("many" + std::to_string(level) + ".lzh");
    EXPECT_EQ(callUnlha("a -x1 -r2 -jm" + std::to_string(level) + " " + inQuotes(arc) + " " +
                        inQuotes(tmp / "src/")),
              0);
    return arc;
}

int32_t extract(const fs::path &arc, const fs::path &out)
{
    fs::create_directories(out);
    return callUnlha("x  -n " + inQuotes(arc) + " " + inQuotes(out.string() + "/"));
}

// Every file that came out equals its source.
std::string wrongFile(const fs::path &src, const fs::path &out)
{
    for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_regular_file())
            continue;
        fs::path rel = fs::relative(it->path(), out);
        if (!fs::exists(src / rel) || readFile(src / rel) != readFile(it->path()))
            return rel.string();
    }
    return "";
}

} // namespace

TEST(LhaDecodeAhead, ManyMembersOfEachMethodExtractExactly)
{
    for (int level : {0, 2, 4}) { // -lh0-, -lh5-, -lh7-
        SCOPED_TRACE(level);
        TempDir tmp;
        fs::path arc = makeArchive(tmp, level);
        // As the machine has it (the writer helps decoding on two or more
        // cores), then with worker threads forced.
        ASSERT_EQ(extract(arc, tmp / "out"), 0);
        EXPECT_EQ(firstDifference(snapshot(tmp / "src"), snapshot(tmp / "out"), true), "");
        ForcedWorkerThreads forced;
        ASSERT_EQ(extract(arc, tmp / "forced"), 0);
        EXPECT_EQ(firstDifference(snapshot(tmp / "src"), snapshot(tmp / "forced"), true), "");
        EXPECT_GT(forced.jobsOnWorkers(), 20u);
    }
}

TEST(LhaDecodeAhead, DamageAnywhereFailsWithoutWrongFiles)
{
    TempDir tmp;
    fs::path arc = makeArchive(tmp, 2);
    const std::string good = readFile(arc);
    ForcedWorkerThreads forced;
    for (int k = 1; k < 10; ++k) {
        size_t at = good.size() * static_cast<size_t>(k) / 10;
        SCOPED_TRACE(at);
        std::string flipped = good;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        writeFile(tmp / "bad.lzh", flipped);
        fs::path out = tmp / ("flip" + std::to_string(k));
        EXPECT_NE(extract(tmp / "bad.lzh", out), 0);
        EXPECT_EQ(wrongFile(tmp / "src", out), "");

        writeFile(tmp / "cut.lzh", good.substr(0, at));
        fs::path cutOut = tmp / ("cut" + std::to_string(k));
        EXPECT_NE(extract(tmp / "cut.lzh", cutOut), 0);
        EXPECT_EQ(wrongFile(tmp / "src", cutOut), "");
    }
    EXPECT_GT(forced.jobsOnWorkers(), 0u);
}
