// Workers and the GUI thread. Workers never touch a widget: every change they
// make to a window is handed to the GUI thread, and a worker that needs the
// result waits for it. A page starts its workers through its `Workers`; when
// the page goes away it stops them, which releases any worker still waiting for
// the GUI thread (the call then returns false and the worker should end).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace pemberlux {

bool OnGuiThread();

// Runs `fn` on the GUI thread and waits until it has run. On the GUI thread it
// runs at once. Returns false without running `fn` when the calling worker's
// owner is shutting down.
bool RunOnGuiThread(std::function<void()> fn);

// Hands `fn` to the GUI thread and returns at once.
void PostToGuiThread(std::function<void()> fn);

namespace detail {
struct WorkerGroup;
}

// The worker threads of one page or dialog.
class Workers {
public:
    Workers();
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Starts `body` on a thread of its own.
    void Start(std::function<void()> body);

    // How many of the started workers have not ended yet.
    int Running() const;
    // True once Stop() was called: a worker should give up and end.
    bool Stopping() const;

    // Releases workers waiting for the GUI thread and joins them all. The
    // owner calls this before its members go away.
    void Stop();

private:
    struct Thread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    std::shared_ptr<detail::WorkerGroup> group_;
    std::vector<Thread> threads_;
};

} // namespace pemberlux
