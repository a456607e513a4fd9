#include "ui/port/DeviceWatch.h"

namespace pemberlux {

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent) {
    if (monitor_.Fd() < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(monitor_.Fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        if (monitor_.Changed()) emit changed();
    });
}

} // namespace pemberlux
