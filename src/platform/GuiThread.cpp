#include "platform/GuiThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>

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
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    std::shared_ptr<detail::WorkerGroup> group = currentGroup;
    if (!group) {
        // A thread that no page started: nothing can release it early.
        QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
        return true;
    }
    auto call = std::make_shared<PendingCall>();
    call->fn = std::move(fn);
    {
        std::lock_guard lock(group->mutex);
        if (group->stopping) return false;
    }
    QMetaObject::invokeMethod(
        app,
        [group, call] {
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
        },
        Qt::QueuedConnection);
    std::unique_lock lock(group->mutex);
    group->cv.wait(lock, [&] { return call->done || group->stopping; });
    return call->done && !group->stopping;
}

void PostToGuiThread(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

Workers::Workers() : group_(std::make_shared<detail::WorkerGroup>()) {}

Workers::~Workers() {
    Stop();
}

void Workers::Start(std::function<void()> body) {
    // Join the threads that have ended, so a long run does not pile them up.
    std::vector<Thread> alive;
    for (Thread& t : threads_) {
        if (t.ended->load()) {
            t.thread.join();
        } else {
            alive.push_back(std::move(t));
        }
    }
    threads_ = std::move(alive);
    auto ended = std::make_shared<std::atomic<bool>>(false);
    group_->running.fetch_add(1);
    std::thread thread([group = group_, ended, body = std::move(body)] {
        currentGroup = group;
        body();
        currentGroup.reset();
        group->running.fetch_sub(1);
        ended->store(true);
    });
    threads_.push_back(Thread{std::move(thread), std::move(ended)});
}

int Workers::Running() const {
    return group_->running.load();
}

bool Workers::Stopping() const {
    std::lock_guard lock(group_->mutex);
    return group_->stopping;
}

void Workers::Stop() {
    {
        std::lock_guard lock(group_->mutex);
        group_->stopping = true;
    }
    group_->cv.notify_all();
    for (Thread& t : threads_) {
        if (t.thread.joinable()) t.thread.join();
    }
    threads_.clear();
}

} // namespace pemberlux
