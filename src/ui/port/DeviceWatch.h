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

// Makes `list` the port list of the serial or parallel dialog: the ports of
// `kind` (PortChoices; each item's data is the value the settings keep) with
// `stored` selected and kept in it, read again while a device comes or goes,
// the choice kept. The list is as wide as its longest entry.
void ListPorts(QComboBox* list, DeviceEntry::Kind kind, const std::string& stored);

// The value of the selected item of a list ListPorts made; "" when none is.
std::string SelectedPort(const QComboBox* list);

} // namespace pemberlux
