#include "core/port/JobPool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace pemberlux {

namespace {

// One thread stops the jobs whose time is up, whatever the number of jobs.
class Watchdog {
public:
    using Ticket = std::multimap<JobClock::time_point, std::stop_source>::iterator;

    Watchdog()
        : thread_([this](std::stop_token end) { Loop(end); }) {}
    ~Watchdog() {
        thread_.request_stop();
        {
            std::lock_guard lock(mutex_);
            changed_ = true;
        }
        wake_.notify_one();
    }

    Ticket Watch(JobClock::time_point deadline, std::stop_source source) {
        std::lock_guard lock(mutex_);
        const Ticket ticket = running_.emplace(deadline, std::move(source));
        changed_ = true;
        wake_.notify_one();
        return ticket;
    }
    void Forget(Ticket ticket) {
        std::lock_guard lock(mutex_);
        running_.erase(ticket);
    }

private:
    void Loop(const std::stop_token& end) {
        std::unique_lock lock(mutex_);
        while (!end.stop_requested()) {
            const auto now = JobClock::now();
            for (auto& [deadline, source] : running_)
                if (deadline <= now) source.request_stop();
            const auto next = std::find_if(running_.begin(), running_.end(),
                                           [&](const auto& entry) { return entry.first > now; });
            changed_ = false;
            if (next == running_.end()) {
                wake_.wait(lock, [&] { return changed_; });
            } else {
                // A copy: the entry may go (Forget) while the lock is released.
                const JobClock::time_point until = next->first;
                wake_.wait_until(lock, until, [&] { return changed_; });
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool changed_ = false;
    std::multimap<JobClock::time_point, std::stop_source> running_;
    std::jthread thread_; // last: it starts after the members it uses
};

} // namespace

void RunJobs(std::size_t count, std::size_t workers, std::chrono::milliseconds each, const std::stop_token& stop,
             const std::function<void(std::size_t index, const JobLimits& limits)>& job) {
    if (count == 0) return;
    Watchdog watchdog;
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        while (!stop.stop_requested()) {
            const std::size_t index = next.fetch_add(1);
            if (index >= count) return;
            std::stop_source own;
            std::stop_callback follow(stop, [&own] { own.request_stop(); });
            const JobLimits limits{own.get_token(), JobClock::now() + each};
            const Watchdog::Ticket ticket = watchdog.Watch(limits.deadline, own);
            job(index, limits);
            watchdog.Forget(ticket);
        }
    };
    std::vector<std::thread> threads;
    const std::size_t n = std::clamp<std::size_t>(workers, 1, count);
    threads.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        threads.emplace_back(work);
    for (std::thread& t : threads)
        t.join();
}

} // namespace pemberlux
