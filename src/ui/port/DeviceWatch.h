// Follows the device monitor on the GUI thread: `changed` is emitted after a
// device came or went, so an open dialog can read its list again.
#pragma once

#include "core/port/Devices.h"

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace pemberlux {

class DeviceWatch final : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatch(QObject* parent = nullptr);

signals:
    void changed();

private:
    DeviceMonitor monitor_;
    // Declared after the monitor: it is gone before the descriptor closes.
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace pemberlux
