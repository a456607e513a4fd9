#include "core/port/Job.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

namespace pemberlux {

JobLimits JobLimits::Within(std::chrono::milliseconds ms) const {
    return {stop, std::min(deadline, JobClock::now() + ms), stall};
}

std::chrono::milliseconds JobLimits::StallOrDefault() const {
    return stall.count() > 0 ? stall : STALL_DEFAULT;
}

bool SleepFor(const std::stop_token& stop, std::chrono::milliseconds ms) {
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    cv.wait_for(lock, stop, ms, [] { return false; });
    return !stop.stop_requested();
}

namespace {

// The thread's wake-up descriptor, made on first use and kept for the thread's life.
int ThreadWakeFd() {
    struct Fd {
        int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        ~Fd() {
            if (fd >= 0) ::close(fd);
        }
    };
    thread_local Fd wake;
    return wake.fd;
}

void Drain(int fd) {
    std::uint64_t count;
    while (fd >= 0 && ::read(fd, &count, sizeof count) > 0) {
    }
}

} // namespace

void StopWake::Signal::operator()() const {
    const std::uint64_t one = 1;
    if (fd >= 0) (void)!::write(fd, &one, sizeof one);
}

// A stop left over from an earlier job of this thread is drained first.
StopWake::StopWake(const std::stop_token& stop)
    : fd_((Drain(ThreadWakeFd()), ThreadWakeFd())), signal_(stop, Signal{fd_}) {}

StopWake::~StopWake() = default;

} // namespace pemberlux
