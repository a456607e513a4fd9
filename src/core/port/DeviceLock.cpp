#include "core/port/DeviceLock.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>

namespace pemberlux {

namespace {

struct Registry {
    std::mutex mutex;
    std::condition_variable_any released;
    std::set<std::string> held;
};

Registry& Devices() {
    static Registry registry;
    return registry;
}

} // namespace

bool AcquireDevice(const std::string& key, const JobLimits& job) {
    Registry& r = Devices();
    std::unique_lock lock(r.mutex);
    std::stop_token stop = job.stop;
    auto free = [&] { return !r.held.count(key); };
    // In slices: a far deadline does not fit every clock's wait.
    while (!free()) {
        if (job.Stopped() || job.Expired()) return false;
        r.released.wait_until(lock, stop, std::min(job.deadline, JobClock::now() + std::chrono::seconds(1)), free);
    }
    r.held.insert(key);
    return true;
}

void ReleaseDevice(const std::string& key) {
    Registry& r = Devices();
    {
        std::lock_guard lock(r.mutex);
        r.held.erase(key);
    }
    r.released.notify_all();
}

std::string DeviceKey(const std::string& path) {
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

} // namespace pemberlux
