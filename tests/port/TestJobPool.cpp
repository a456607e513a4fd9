// Many jobs on a few workers: never more at once than asked, each job stopped
// at its own deadline without holding the others, and a stop that lets no
// further job start.
#include "core/port/JobPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;

TEST(JobPool, RunsEveryJobOnceWithNoMoreAtOnceThanTheWorkers) {
    const struct {
        std::size_t jobs, workers;
    } cases[] = {{1, 16}, {40, 1}, {40, 8}, {9, 9}, {8, 9}};
    for (const auto& c : cases) {
        std::atomic<int> running{0}, peak{0};
        std::mutex mutex;
        std::multiset<std::size_t> ran;
        std::set<std::thread::id> threads;
        RunJobs(c.jobs, c.workers, 10s, {}, [&](std::size_t i, const JobLimits&) {
            const int now = ++running;
            for (int seen = peak; now > seen && !peak.compare_exchange_weak(seen, now);) {
            }
            std::this_thread::sleep_for(2ms);
            --running;
            std::lock_guard lock(mutex);
            ran.insert(i);
            threads.insert(std::this_thread::get_id());
        });
        EXPECT_EQ(ran.size(), c.jobs) << c.jobs << " on " << c.workers;
        for (std::size_t i = 0; i < c.jobs; ++i)
            EXPECT_EQ(ran.count(i), 1u) << i;
        EXPECT_LE(peak.load(), static_cast<int>(std::min(c.jobs, c.workers)));
        EXPECT_LE(threads.size(), std::min(c.jobs, c.workers));
    }
}

TEST(JobPool, AJobPastItsDeadlineIsStoppedAndTheOthersRunOn) {
    std::atomic<int> finished{0};
    std::atomic<bool> hungStopped{false};
    RunJobs(6, 2, 300ms, {}, [&](std::size_t i, const JobLimits& job) {
        if (i == 0) {
            // A job that waits for nothing but its stop.
            hungStopped = !SleepFor(job.stop, 60s) && job.Expired();
            return;
        }
        EXPECT_FALSE(job.stop.stop_requested());
        ++finished;
    });
    EXPECT_TRUE(hungStopped);
    EXPECT_EQ(finished, 5);
}

TEST(JobPool, AStopEndsTheRunningJobsAndStartsNoMore) {
    std::stop_source stop;
    std::atomic<int> started{0};
    std::jthread requester([&] {
        while (started < 2)
            std::this_thread::sleep_for(1ms);
        stop.request_stop();
    });
    RunJobs(10, 2, 60s, stop.get_token(), [&](std::size_t, const JobLimits& job) {
        ++started;
        SleepFor(job.stop, 60s);
    });
    EXPECT_EQ(started, 2);
}

} // namespace
} // namespace pemberlux
