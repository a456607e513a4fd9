// Linked into a program for the start-up benchmark: when the first window has
// been painted, writes the monotonic clock in nanoseconds to the file
// descriptor named by PEMBERLUX_FIRST_PAINT_FD and ends the process at once.
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {

class FirstPaint final : public QObject {
public:
    explicit FirstPaint(int fd) : QObject(QCoreApplication::instance()), fd_(fd) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (done_ || event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
        if (!static_cast<QWidget*>(watched)->isWindow()) return false;
        done_ = true;
        // Once this paint and the ones of the children it started are through.
        QMetaObject::invokeMethod(
            this,
            [this] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                const std::string line =
                    std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec) + "\n";
                [[maybe_unused]] const ssize_t written = ::write(fd_, line.data(), line.size());
                std::_Exit(0);
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    int fd_;
    bool done_ = false;
};

void InstallProbe() {
    const char* fd = std::getenv("PEMBERLUX_FIRST_PAINT_FD");
    if (!fd) return;
    QCoreApplication::instance()->installEventFilter(new FirstPaint(std::atoi(fd)));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
