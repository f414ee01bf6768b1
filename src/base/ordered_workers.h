// A bounded worker pool whose results come out in submission order.
//
// One consumer thread submits jobs and takes them back, done, strictly in
// the order it submitted them; worker threads run the jobs ahead of it.
// Workers claim the oldest unclaimed job.  They may run ahead of the
// consumer by at most `maxJobsAhead` jobs and `maxBytesAhead` of the costs
// the caller gave them (jobs claimed but not yet taken), except that the job
// the consumer takes next may always be claimed: the budget never stalls
// the line, and a job larger than the budget runs alone.  A job that throws
// is taken as its exception, which take() rethrows on the consumer's
// thread; nothing leaves a worker.
//
// Threads start lazily, one with each submitted job up to `threads`, so a
// short list never starts more than it uses and none start for no work.
// With no worker (`threads` 0, or none could be started) the consumer runs
// each job itself as it takes it.  Options let the consumer, while it
// waits, run unclaimed jobs itself (a sleeping consumer leaves a core
// idle), and let consumer and workers sleep until a few results or jobs
// have gathered rather than wake for each one (for jobs of microseconds, a
// wake-up costs about as much as the job).
//
// The caller guarantees that one thread submits and takes (the consumer),
// and that every job it takes was submitted.  Destroying the pool drops
// the jobs nobody started and waits for those running.
//
// Memory: the jobs submitted and not yet taken (the caller bounds how many
// it submits ahead), and `threads` threads.  Worker slot numbers 0 to
// threads-1 and the consumer's, slots()-1, let the caller keep per-thread
// state (a codec's tables) without locking.
//
// The pool takes everything from its options; the test switches that
// force threads and log what ran where are applied to them by
// platform::withWorkerSwitches (environment_switches.h).
#pragma once
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace qvo::base {

struct OrderedWorkersStats {
    unsigned threadsStarted = 0;
    size_t ranOnWorkers = 0;
    size_t ranOnConsumer = 0;
};

struct OrderedWorkersOptions {
    unsigned threads = 0;
    size_t maxJobsAhead = std::numeric_limits<size_t>::max();
    uint64_t maxBytesAhead = std::numeric_limits<uint64_t>::max();
    // The consumer sleeps until this many results from the one it waits
    // for on (of those already claimed) are done.
    size_t resultBatch = 1;
    // A sleeping worker is woken by a submission once this many jobs wait.
    size_t jobBatch = 1;
    // While it waits, the consumer runs the job it waits for if nobody has
    // started it, and unclaimed jobs costing at most consumerHelpsUpTo.
    bool consumerHelps = false;
    uint64_t consumerHelpsUpTo = std::numeric_limits<uint64_t>::max();
    // Told what ran where when the pool is destroyed, if it ran any job.
    std::function<void(const OrderedWorkersStats &)> whenDone = nullptr;
};

template <class Job>
class OrderedWorkers {
public:
    // Runs one job in place; `slot` tells which thread runs it.
    using Run = std::function<void(Job &job, unsigned slot)>;

    OrderedWorkers(const OrderedWorkersOptions &options, Run run)
        : options_(options), run_(std::move(run))
    {
        options_.resultBatch = std::max<size_t>(options_.resultBatch, 1);
    }

    ~OrderedWorkers()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        workCv_.notify_all();
        for (std::thread &t : workers_)
            t.join();
        if (options_.whenDone && ranOnWorkers_ + ranOnConsumer_ > 0)
            options_.whenDone({static_cast<unsigned>(workers_.size()), ranOnWorkers_, ranOnConsumer_});
    }

    OrderedWorkers(const OrderedWorkers &) = delete;
    OrderedWorkers &operator=(const OrderedWorkers &) = delete;

    // Workers it starts at most.
    unsigned threads() const { return options_.threads; }
    // Per-thread slots: the workers', then the consumer's.
    unsigned slots() const { return options_.threads + 1; }

    void submit(Job job, uint64_t cost)
    {
        std::unique_lock lock(mutex_);
        jobs_.push_back(Entry{std::move(job), cost, nullptr, false});
        ++submitted_;
        if (workers_.size() < options_.threads) {
            try {
                workers_.emplace_back([this, slot = unsigned(workers_.size())] { work(slot); });
                return; // it looks for work as it starts
            } catch (const std::system_error &) {
                // Fewer threads than wished still get the work done.
            }
        }
        bool wake = idle_ > 0 && submitted_ - claimed_ >= options_.jobBatch && claimable();
        lock.unlock();
        if (wake)
            workCv_.notify_one();
    }

    // The oldest job not yet taken, done; rethrows what it threw.
    Job take()
    {
        std::unique_lock lock(mutex_);
        const size_t index = taken_;
        Entry &entry = jobs_.front();
        while (!entry.done) {
            if (consumerMayClaim(index)) {
                Entry &e = claim();
                lock.unlock();
                runGuarded(e, slots() - 1);
                lock.lock();
                e.done = true;
                ++ranOnConsumer_;
                continue;
            }
            waitingFor_ = index;
            waitUntil_ = claimed_ > index ? std::min(index + options_.resultBatch, claimed_) - 1 : index;
            if (claimed_ == index && idle_ > 0)
                workCv_.notify_one();
            if (options_.consumerHelps)
                doneCv_.wait(lock); // any finished job may let it help again
            else
                doneCv_.wait(lock, [&] { return batchDone(); });
            waitingFor_ = kNone;
        }
        Job job = std::move(entry.job);
        std::exception_ptr error = entry.error;
        bytesAhead_ -= entry.cost;
        jobs_.pop_front();
        ++taken_;
        bool wake = idle_ > 0 && claimable();
        lock.unlock();
        if (wake)
            workCv_.notify_all();
        if (error)
            std::rethrow_exception(error);
        return job;
    }

    OrderedWorkersStats stats() const
    {
        std::lock_guard lock(mutex_);
        return {static_cast<unsigned>(workers_.size()), ranOnWorkers_, ranOnConsumer_};
    }

private:
    static constexpr size_t kNone = std::numeric_limits<size_t>::max();

    struct Entry {
        Job job;
        uint64_t cost;
        std::exception_ptr error;
        bool done;
    };

    // With mutex_ held, as every member below.
    bool claimable() const
    {
        if (claimed_ == submitted_)
            return false;
        if (claimed_ == taken_)
            return true; // the job the consumer takes next
        uint64_t cost = jobs_[claimed_ - taken_].cost;
        return claimed_ - taken_ < options_.maxJobsAhead && bytesAhead_ <= options_.maxBytesAhead &&
               cost <= options_.maxBytesAhead - bytesAhead_;
    }

    bool consumerMayClaim(size_t waitedFor) const
    {
        if (claimed_ == waitedFor && (workers_.empty() || options_.consumerHelps))
            return true;
        return options_.consumerHelps && claimable() && jobs_[claimed_ - taken_].cost <= options_.consumerHelpsUpTo;
    }

    Entry &claim()
    {
        Entry &e = jobs_[claimed_ - taken_];
        ++claimed_;
        bytesAhead_ += e.cost;
        return e;
    }

    bool batchDone() const
    {
        for (size_t i = waitingFor_; i <= waitUntil_; ++i) {
            if (!jobs_[i - taken_].done)
                return false;
        }
        return true;
    }

    void runGuarded(Entry &e, unsigned slot)
    {
        try {
            run_(e.job, slot);
        } catch (...) {
            e.error = std::current_exception();
        }
    }

    void work(unsigned slot)
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (stop_)
                return;
            if (!claimable()) {
                ++idle_;
                workCv_.wait(lock);
                --idle_;
                continue;
            }
            const size_t index = claimed_;
            Entry &e = claim();
            lock.unlock();
            runGuarded(e, slot);
            lock.lock();
            e.done = true;
            ++ranOnWorkers_;
            if (waitingFor_ != kNone &&
                (options_.consumerHelps || (waitingFor_ <= index && index <= waitUntil_ && batchDone())))
                doneCv_.notify_one();
        }
    }

    OrderedWorkersOptions options_;
    const Run run_;

    mutable std::mutex mutex_;
    std::condition_variable workCv_; // a job may be claimed, or stop
    std::condition_variable doneCv_; // what the consumer waits for is done
    std::deque<Entry> jobs_;         // from the next to take on; a deque keeps them in place
    size_t submitted_ = 0;
    size_t claimed_ = 0;
    size_t taken_ = 0;
    uint64_t bytesAhead_ = 0; // costs of the jobs claimed and not yet taken
    size_t waitingFor_ = kNone;
    size_t waitUntil_ = 0;
    unsigned idle_ = 0;
    bool stop_ = false;
    size_t ranOnWorkers_ = 0;
    size_t ranOnConsumer_ = 0;
    std::vector<std::thread> workers_;
};

} // namespace qvo::base
