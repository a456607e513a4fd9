// What bounds the work of one job: the stop token of the worker that runs it
// and a deadline. Every blocking step of the port layer takes both, so a job
// ends promptly when its window closes, whatever the device does.
#pragma once

#include <chrono>
#include <stop_token>

namespace pemberlux {

using JobClock = std::chrono::steady_clock;

// How long the end of a send waits for a device that takes nothing more, when
// its job has no stall bound of its own.
constexpr std::chrono::milliseconds STALL_DEFAULT{10000};

struct JobLimits {
    std::stop_token stop;
    JobClock::time_point deadline = JobClock::time_point::max();
    // Transfers (files, loops): a write that makes no progress for this long
    // fails, and the port's own bound on the time of a whole write does not
    // apply, so a large block on a slow line is never cut off. Zero: off.
    std::chrono::milliseconds stall{0};

    // The stall bound, or STALL_DEFAULT when the job has none.
    std::chrono::milliseconds StallOrDefault() const;

    // The same job, bounded further to `ms` from now.
    JobLimits Within(std::chrono::milliseconds ms) const;
    bool Stopped() const { return stop.stop_requested(); }
    bool Expired() const { return JobClock::now() >= deadline; }
};

// Sleeps `ms`, or less when the job is stopped; false then.
bool SleepFor(const std::stop_token& stop, std::chrono::milliseconds ms);

// A descriptor that becomes readable while a stop of the current thread's job
// is requested, for poll() to watch next to the device. One per thread.
class StopWake {
public:
    explicit StopWake(const std::stop_token& stop);
    ~StopWake();
    StopWake(const StopWake&) = delete;
    StopWake& operator=(const StopWake&) = delete;

    int Fd() const { return fd_; }

private:
    struct Signal {
        int fd;
        void operator()() const;
    };
    int fd_;
    std::stop_callback<Signal> signal_;
};

} // namespace pemberlux
