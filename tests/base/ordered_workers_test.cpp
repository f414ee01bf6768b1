// The ordered worker pool: results in submission order whatever the
// threads do, workers never further ahead than the budget allows (but the
// job the consumer waits for always runs), a job's exception reaches the
// consumer, and destruction waits for running jobs and drops the rest.
#include "base/ordered_workers.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

using qvo::base::OrderedWorkers;
using qvo::base::OrderedWorkersOptions;
using namespace std::chrono_literals;

namespace {

struct Job {
    int value = 0;
    int result = 0;
    unsigned slot = 0;
};

// Waits until `counter` reaches `n` (or five seconds pass), then a little
// longer, and returns it: a pool that should stop at `n` has had the time
// to run past it.
size_t settled(const std::atomic<size_t> &counter, size_t n)
{
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (counter.load() < n && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(30ms);
    return counter.load();
}

void spin(int microseconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
    while (std::chrono::steady_clock::now() < end) {
    }
}

} // namespace

TEST(OrderedWorkers, ResultsComeInSubmissionOrderUnderEveryOption)
{
    const std::vector<std::pair<const char *, OrderedWorkersOptions>> setups = {
        {"consumer alone", {}},
        {"three workers", {.threads = 3}},
        {"tight budget", {.threads = 3, .maxJobsAhead = 2, .maxBytesAhead = 25}},
        {"batched wake-ups", {.threads = 2, .resultBatch = 8, .jobBatch = 4}},
        {"consumer helps", {.threads = 2, .jobBatch = 4, .consumerHelps = true, .consumerHelpsUpTo = 10}},
    };
    for (const auto &[name, options] : setups) {
        SCOPED_TRACE(name);
        // Jobs submitted all at once, then while earlier ones are taken.
        for (bool streaming : {false, true}) {
            std::vector<std::atomic<int>> runs(600);
            std::mt19937 rng(7);
            std::vector<int> work(runs.size());
            for (int &w : work)
                w = static_cast<int>(rng() % 50);
            OrderedWorkers<Job> pool(options, [&](Job &job, unsigned slot) {
                ++runs[static_cast<size_t>(job.value)];
                spin(work[static_cast<size_t>(job.value)]);
                job.result = job.value * 3;
                job.slot = slot;
            });
            size_t taken = 0;
            auto takeOne = [&] {
                Job job = pool.take();
                EXPECT_EQ(job.value, static_cast<int>(taken));
                EXPECT_EQ(job.result, job.value * 3);
                EXPECT_LT(job.slot, pool.slots());
                ++taken;
            };
            for (size_t i = 0; i < runs.size(); ++i) {
                pool.submit(Job{static_cast<int>(i)}, static_cast<uint64_t>(work[i]) + 1);
                if (streaming && i >= 20)
                    takeOne();
            }
            while (taken < runs.size())
                takeOne();
            for (size_t i = 0; i < runs.size(); ++i)
                EXPECT_EQ(runs[i].load(), 1) << "job " << i;
            auto stats = pool.stats();
            EXPECT_EQ(stats.ranOnWorkers + stats.ranOnConsumer, runs.size());
            if (options.threads == 0) {
                EXPECT_EQ(stats.ranOnWorkers, 0u);
            }
        }
    }
}

TEST(OrderedWorkers, WorkersStayWithinTheBudgetButTheAwaitedJobAlwaysRuns)
{
    // Budget 100 bytes and 4 jobs ahead; the consumer takes one at a time
    // and the test looks at how many jobs started in between.
    const std::vector<uint64_t> costs = {40, 40, 40, 30, 250, 10, 10, 10, 10, 10};
    std::atomic<size_t> started{0};
    OrderedWorkers<Job> pool({.threads = 3, .maxJobsAhead = 4, .maxBytesAhead = 100},
                             [&](Job &, unsigned) { ++started; });
    for (size_t i = 0; i < costs.size(); ++i)
        pool.submit(Job{static_cast<int>(i)}, costs[i]);
    // Then, after each take: 40+40 fit, not a third 40; 40+40 after the first
    // is taken; 40+30 but not the 250; still not beside 30; the 250 alone
    // once nothing else is ahead; then four of the 10s (the count limit);
    // then the last.
    const std::vector<size_t> expected = {2, 3, 4, 4, 5, 9, 10};
    EXPECT_EQ(settled(started, expected[0]), expected[0]);
    for (size_t step = 1; step < expected.size(); ++step) {
        EXPECT_EQ(pool.take().value, static_cast<int>(step - 1));
        EXPECT_EQ(settled(started, expected[step]), expected[step]) << "after " << step << " taken";
    }
    for (size_t i = expected.size() - 1; i < costs.size(); ++i)
        EXPECT_EQ(pool.take().value, static_cast<int>(i));
}

TEST(OrderedWorkers, AJobsExceptionReachesTheConsumerInItsPlace)
{
    for (unsigned threads : {0u, 2u}) {
        SCOPED_TRACE(threads);
        OrderedWorkers<Job> pool({.threads = threads}, [](Job &job, unsigned) {
            if (job.value == 3)
                throw std::runtime_error("job three");
            job.result = job.value;
        });
        for (int i = 0; i < 6; ++i)
            pool.submit(Job{i}, 1);
        for (int i = 0; i < 6; ++i) {
            if (i == 3) {
                try {
                    pool.take();
                    ADD_FAILURE() << "no exception";
                } catch (const std::runtime_error &e) {
                    EXPECT_STREQ(e.what(), "job three");
                }
                continue;
            }
            EXPECT_EQ(pool.take().result, i);
        }
    }
}

TEST(OrderedWorkers, DestructionWaitsForRunningJobsAndDropsTheRest)
{
    std::atomic<size_t> started{0};
    std::atomic<size_t> finished{0};
    {
        OrderedWorkers<Job> pool({.threads = 2}, [&](Job &, unsigned) {
            ++started;
            std::this_thread::sleep_for(20ms);
            ++finished;
        });
        for (int i = 0; i < 50; ++i)
            pool.submit(Job{i}, 1);
        settled(started, 2);
        // Destroyed with two jobs running and most never started.
    }
    EXPECT_EQ(finished.load(), started.load());
    EXPECT_LT(started.load(), 50u);
    size_t after = started.load();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(started.load(), after);
}

TEST(OrderedWorkers, ThreadsStartWithTheJobsUpToTheirNumber)
{
    OrderedWorkers<Job> pool({.threads = 4}, [](Job &job, unsigned) { job.result = job.value; });
    EXPECT_EQ(pool.stats().threadsStarted, 0u);
    pool.submit(Job{0}, 1);
    pool.submit(Job{1}, 1);
    EXPECT_EQ(pool.stats().threadsStarted, 2u);
    EXPECT_EQ(pool.take().result, 0);
    EXPECT_EQ(pool.take().result, 1);
}

TEST(OrderedWorkers, AWaitingConsumerRunsSmallJobsButNotLargeOnes)
{
    std::atomic<bool> release{false};
    std::atomic<size_t> started{0};
    std::atomic<bool> largeRanEarly{false};
    OrderedWorkers<Job> pool({.threads = 1, .consumerHelps = true, .consumerHelpsUpTo = 10},
                             [&](Job &job, unsigned slot) {
                                 job.slot = slot;
                                 ++started;
                                 if (job.value == 0) {
                                     while (!release)
                                         std::this_thread::sleep_for(1ms);
                                 }
                                 if (job.value == 2 && !release)
                                     largeRanEarly = true;
                             });
    pool.submit(Job{0}, 1);
    ASSERT_EQ(settled(started, 1), 1u); // the worker holds job 0
    pool.submit(Job{1}, 5);  // small: the waiting consumer runs it
    pool.submit(Job{2}, 50); // large: left to the worker
    std::thread releaser([&] {
        settled(started, 2);
        release = true;
    });
    Job first = pool.take();
    Job small = pool.take();
    Job large = pool.take();
    releaser.join();
    const unsigned consumerSlot = pool.slots() - 1;
    EXPECT_EQ(first.slot, 0u);
    EXPECT_EQ(small.value, 1);
    EXPECT_EQ(small.slot, consumerSlot);
    EXPECT_EQ(large.value, 2);
    EXPECT_EQ(large.slot, 0u);
    EXPECT_FALSE(largeRanEarly);
    EXPECT_EQ(pool.stats().ranOnConsumer, 1u);
}

