// Follows the device monitor on the GUI thread: `changed` is emitted after a
// device came or went, so an open dialog can read its list again.
#pragma once

#include "core/port/Devices.h"

#include <QObject>
#include <QSocketNotifier>

#include <memory>
#include <string>

class QComboBox;

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

// Fills the port list of the serial or parallel dialog with the ports of
// `kind` (PortChoices: each item's data is the value stored), keeping `stored`
// and `selected` in it, and selects `selected` (nothing when it is "" or not a
// port).
void FillPortList(QComboBox* list, DeviceEntry::Kind kind, const std::string& stored, const std::string& selected);

// The value of the selected item of a list FillPortList filled; "" when none is.
std::string SelectedPort(const QComboBox* list);

} // namespace pemberlux
