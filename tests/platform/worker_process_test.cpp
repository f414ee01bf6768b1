// Worker processes and their channels.
#include "platform/worker_process.h"
#include "test_support.h"

#include <csignal>

using qvo::platform::MessageChannel;
using qvo::platform::waitReadable;
using qvo::platform::WorkerProcess;

TEST(WorkerProcess, ChildAnswersEachMessageAndEndsWhenTheChannelCloses)
{
    WorkerProcess worker = WorkerProcess::start([](MessageChannel &channel) {
        int count = 0;
        while (const std::optional<std::string> message = channel.receive()) {
            ++count;
            if (!channel.send("got " + *message))
                return 9;
        }
        return count;
    });
    const std::string large(1u << 20, 'x'); // more than a socket holds at once
    for (const std::string &message : {std::string("one"), std::string(), large}) {
        ASSERT_TRUE(worker.channel().send(message));
        EXPECT_TRUE(waitReadable({-1, worker.channel().descriptor()}, 10000)[1]);
        EXPECT_EQ(worker.channel().receive(), "got " + message);
    }
    worker.channel().close();
    EXPECT_EQ(worker.wait(), 3);
    EXPECT_EQ(worker.endText(), "exit status 3");
}

TEST(WorkerProcess, AChildThatDiesClosesItsChannel)
{
    WorkerProcess worker = WorkerProcess::start([](MessageChannel &) {
        std::raise(SIGKILL);
        return 0;
    });
    EXPECT_EQ(worker.channel().receive(), std::nullopt);
    EXPECT_EQ(worker.wait(), 128 + SIGKILL);
    EXPECT_EQ(worker.endText().rfind("signal 9", 0), 0u) << worker.endText();

    WorkerProcess waiting = WorkerProcess::start([](MessageChannel &channel) {
        channel.receive();
        return 0;
    });
    waiting.stop();
    EXPECT_EQ(waiting.wait(), 128 + SIGTERM);
}
