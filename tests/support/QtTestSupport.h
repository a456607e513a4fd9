// Helpers of the widget tests: waiting while the GUI thread keeps running, and
// acting on a modal dialog once it is up.
#pragma once

#include <QApplication>
#include <QWidget>

#include <chrono>
#include <functional>

namespace pemberlux::test {

// Runs the GUI thread's events until `done` holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Runs the GUI thread's events for `time`.
void RunEventsFor(std::chrono::milliseconds time);

// Calls `act` with the modal dialog as soon as one is shown (from within the
// modal loop of whatever opens it). If none shows within `timeout`, nothing.
void WhenModalShown(std::function<void(QWidget*)> act, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The top-level windows of the given type that are visible now.
template <class T> T* VisibleWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
    }
    return nullptr;
}

} // namespace pemberlux::test
