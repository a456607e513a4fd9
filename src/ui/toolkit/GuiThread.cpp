#include "ui/toolkit/GuiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>

namespace pemberlux {

namespace detail {
struct WorkerGroup {
    std::mutex mutex;
    std::condition_variable cv;
    bool stopping = false;
    std::atomic<int> running{0};
};
} // namespace detail

namespace {
thread_local std::shared_ptr<detail::WorkerGroup> currentGroup;

// Work handed to the GUI thread. The queue is ours, under our own lock, so the
// hand-over of every call is visible to tools that check threads. The wake-up is
// a write to an eventfd that the GUI thread's event loop watches: a worker touches
// nothing of Qt's (posting a Qt event would hand a Qt object over under Qt's own
// lock, which such tools cannot see).
struct GuiQueue {
    std::mutex mutex;
    std::deque<std::function<void()>> calls;
    bool wakePending = false;
};

// Set once, on the GUI thread, before the first worker starts.
std::atomic<int> wakeFd{-1};

GuiQueue& Queue() {
    static GuiQueue queue;
    return queue;
}

void RunQueued() {
    GuiQueue& q = Queue();
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(q.mutex);
            if (q.calls.empty()) {
                q.wakePending = false;
                return;
            }
            fn = std::move(q.calls.front());
            q.calls.pop_front();
        }
        fn();
    }
}

// Creates the GUI thread's watch on the wake-up eventfd; again for a new application object.
void WatchWakeups() {
    static QPointer<QSocketNotifier> notifier;
    QCoreApplication* app = QCoreApplication::instance();
    if (notifier || !app || !OnGuiThread()) return;
    int fd = wakeFd.load();
    if (fd < 0) {
        fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (fd < 0) return; // wake-ups then go through Qt's event queue
    }
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, [fd] {
        std::uint64_t count;
        // Read before running, so a call queued meanwhile wakes the loop again.
        (void)!::read(fd, &count, sizeof count);
        RunQueued();
    });
    wakeFd.store(fd);
}

void Enqueue(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    GuiQueue& q = Queue();
    bool wake;
    {
        std::lock_guard lock(q.mutex);
        q.calls.push_back(std::move(fn));
        wake = !q.wakePending;
        q.wakePending = true;
    }
    if (!wake) return;
    const std::uint64_t one = 1;
    const int fd = wakeFd.load();
    if (fd >= 0 && ::write(fd, &one, sizeof one) == static_cast<ssize_t>(sizeof one)) return;
    QMetaObject::invokeMethod(app, &RunQueued, Qt::QueuedConnection);
}

struct PendingCall {
    std::function<void()> fn;
    bool done = false;
};
} // namespace

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool RunOnGuiThread(std::function<void()> fn) {
    if (OnGuiThread()) {
        fn();
        return true;
    }
    std::shared_ptr<detail::WorkerGroup> group = currentGroup;
    if (!group || !QCoreApplication::instance()) return false;
    auto call = std::make_shared<PendingCall>();
    call->fn = std::move(fn);
    {
        std::lock_guard lock(group->mutex);
        if (group->stopping) return false;
    }
    Enqueue([group, call] {
        // Stopping is only ever set on this thread, so a worker that is
        // still waiting here has not been released yet.
        bool run;
        {
            std::lock_guard lock(group->mutex);
            run = !group->stopping;
        }
        if (run) call->fn();
        {
            std::lock_guard lock(group->mutex);
            call->done = true;
        }
        group->cv.notify_all();
    });
    std::unique_lock lock(group->mutex);
    group->cv.wait(lock, [&] { return call->done || group->stopping; });
    return call->done && !group->stopping;
}

void PostToGuiThread(std::function<void()> fn) {
    WatchWakeups();
    Enqueue(std::move(fn));
}

Workers::Workers() : group_(std::make_shared<detail::WorkerGroup>()) {}

Workers::~Workers() {
    Stop();
}

void Workers::Start(std::function<void(std::stop_token)> body) {
    WatchWakeups();
    // Join the threads that have ended, so a long run does not pile them up.
    std::erase_if(threads_, [](Thread& t) { return t.ended->load(); });
    started_ = true;
    auto ended = std::make_shared<std::atomic<bool>>(false);
    group_->running.fetch_add(1);
    std::jthread thread([group = group_, ended, body = std::move(body)](std::stop_token stop) {
        currentGroup = group;
        body(stop);
        currentGroup.reset();
        group->running.fetch_sub(1);
        ended->store(true);
    });
    threads_.push_back(Thread{std::move(thread), std::move(ended)});
}

void Workers::Start(std::function<void()> body) {
    Start([body = std::move(body)](std::stop_token) { body(); });
}

int Workers::Running() const {
    return group_->running.load();
}

void Workers::Stop() {
    if (QCoreApplication::instance() && !OnGuiThread()) {
        // Joining here could wait for this very thread, or for a call it
        // queued to the GUI thread.
        std::fputs("Workers::Stop called off the GUI thread\n", stderr);
        std::abort();
    }
    for (Thread& t : threads_)
        t.thread.request_stop();
    {
        std::lock_guard lock(group_->mutex);
        group_->stopping = true;
    }
    group_->cv.notify_all();
    // jthread joins as it goes.
    threads_.clear();
    // Jobs started later (a window shown again) run afresh.
    group_ = std::make_shared<detail::WorkerGroup>();
    started_ = false;
}

} // namespace pemberlux
