// A process-wide value written on the GUI thread and read by workers (the
// port settings a port opens with, the USB selection): every access takes a
// lock, and readers get a copy, so a reader never sees a half-written value.
#pragma once

#include <mutex>
#include <utility>

namespace pemberlux {

template <typename T> class Guarded {
public:
    Guarded() = default;
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    Guarded& operator=(T value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
        return *this;
    }
    T Get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    // Changes the value in place, under the lock.
    template <typename F> void Update(F&& change) {
        std::lock_guard lock(mutex_);
        change(value_);
    }
    operator T() const { return Get(); }
    bool operator==(const T& other) const { return Get() == other; }

private:
    mutable std::mutex mutex_;
    T value_{};
};

} // namespace pemberlux
