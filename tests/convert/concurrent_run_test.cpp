// Two conversions at once share the working root without harming each
// other: each one's start-of-run clean-up spares the other's folders.
#include "engine_fixture.h"

#include <condition_variable>
#include <thread>

using namespace qvo;
using namespace qvo::test;
namespace fs = std::filesystem;

TEST_F(RunTest, TwoRunsAtOnceBothSucceed)
{
    source("in/first.lzh");
    VectorRows secondRows;
    writeFile(path("in2/second.lzh"), fakeArchive({{"s.txt", "second"}}));
    secondRows.add(path("in2/second.lzh"));

    // The first run pauses before packing, its working folder filled,
    // while the second run starts, cleans the root and finishes.
    std::mutex lock;
    std::condition_variable changed;
    bool firstInside = false, secondDone = false;
    fakes.zip->state.onCompress = [&](const qvo::backends::clsArchiveActionOption &) {
        std::unique_lock<std::mutex> guard(lock);
        firstInside = true;
        changed.notify_all();
        changed.wait(guard, [&] { return secondDone; });
    };
    std::thread first([&] { run(); });
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return firstInside; });
    }
    FakeArchiveLayer otherProgram;
    settings::clsQvoSettings otherSettings = settings;
    otherSettings.saveFolder = path("out2").string();
    convert::ConversionEngine second(otherSettings, otherProgram.controller, &secondRows);
    second.run();
    {
        std::lock_guard<std::mutex> guard(lock);
        secondDone = true;
    }
    changed.notify_all();
    first.join();
    EXPECT_EQ(secondRows.status(0), convert::kStatusSucceeded);
    EXPECT_EQ(rows.status(0), convert::kStatusSucceeded);
    ASSERT_TRUE(readFakeArchive(path("out/first.zip")));
    EXPECT_EQ(readFakeArchive(path("out/first.zip"))->at("a.txt"), "hello");
    EXPECT_EQ(readFakeArchive(path("out/first.zip"))->at("sub/b.bin"), std::string(3000, 'x'));
}
