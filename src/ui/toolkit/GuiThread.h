// Workers and the GUI thread. Workers never touch a widget: every change they
// make to a window is handed to the GUI thread, and a worker that needs the
// result waits for it. A window starts its workers through its `Workers`; when
// the window goes away it stops them: each worker's stop token is signalled,
// which ends any blocking port step of its job, and any worker waiting for the
// GUI thread is released (the call then returns false and the worker should end).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace pemberlux {

bool OnGuiThread();

// Runs `fn` on the GUI thread and waits until it has run. On the GUI thread it
// runs at once. Returns false without running `fn` when the calling worker's
// owner is stopping it, and from a thread that no `Workers` started (nothing
// could release such a thread when its window goes away).
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

    // Starts `body` on a thread of its own, with the stop token that Stop() signals.
    void Start(std::function<void(std::stop_token)> body);
    void Start(std::function<void()> body);

    // How many of the started workers have not ended yet.
    int Running() const;
    // Whether Start() was called since the last Stop().
    bool NeedsStop() const { return started_; }

    // Signals every worker's stop token, releases workers waiting for the GUI
    // thread and joins them all. The owner calls this before its members go
    // away. On the GUI thread only. Workers started afterwards run normally.
    void Stop();

private:
    struct Thread {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    std::shared_ptr<detail::WorkerGroup> group_;
    std::vector<Thread> threads_;
    bool started_ = false;
};

} // namespace pemberlux
