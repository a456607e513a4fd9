#include "QtTestSupport.h"

#include <QTimer>

#include <memory>
#include <thread>

namespace pemberlux::test {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void RunEventsFor(std::chrono::milliseconds time) {
    const auto deadline = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void WhenModalShown(std::function<void(QWidget*)> act, std::chrono::milliseconds timeout) {
    auto* timer = new QTimer;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act), deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (std::chrono::steady_clock::now() >= deadline) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
}

} // namespace pemberlux::test
