// The test switches that reach the worker pools: forced threads, and the
// log of what ran where, which the tests of the codecs and writers read.
#include "platform/environment_switches.h"

#include "test_support.h"

#include <gtest/gtest.h>

using qvo::base::OrderedWorkers;

TEST(EnvironmentSwitches, ForcedWorkerThreadsRunEveryJobOnAWorkerAndAreLogged)
{
    struct Job {
        int value = 0;
        int result = 0;
    };
    qvo::test::TempDir tmp;
    qvo::test::ScopedEnv threads("QVO_WORKER_THREADS", "2");
    qvo::test::ScopedEnv log("QVO_WORKER_LOG", (tmp / "log").string());
    {
        // No workers asked for, and a consumer that would help: all the
        // same, every job runs on one of the two forced workers.
        OrderedWorkers<Job> pool(qvo::platform::withWorkerSwitches({.consumerHelps = true}),
                                 [](Job &job, unsigned) { job.result = job.value; });
        EXPECT_EQ(pool.threads(), 2u);
        for (int i = 0; i < 10; ++i)
            pool.submit(Job{i, 0}, 1);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(pool.take().result, i);
        EXPECT_EQ(pool.stats().ranOnWorkers, 10u);
        EXPECT_EQ(pool.stats().threadsStarted, 2u);
    }
    EXPECT_EQ(qvo::test::readFile(tmp / "log"), "threads=2 jobs=10 on_workers=10\n");
}
