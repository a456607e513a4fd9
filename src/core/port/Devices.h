// The printer devices of this machine, for the interface dialogs and the
// command line's `ports`: serial lines, parallel ports and usblp printers, and
// a monitor that says when one came or went.
//
// Two sources behind one interface. On a real system libudev (Devices via
// udev, the kernel's own view, with the names udev gives). With
// PEMBERLUX_SYSFS_ROOT set, the fake tree the simulator lays out: USB printers
// from its sysfs, serial and parallel nodes by name under PEMBERLUX_DEV_ROOT
// (a ttyS with its port type in <sysfs>/class/tty/ttySn/type, as the kernel
// shows it), and inotify over those folders as the monitor.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace pemberlux {

struct DeviceEntry {
    enum Kind { Serial, Parallel, Usb };
    Kind kind = Serial;
    // The device node: what a port setting stores and an open opens.
    std::string node;
    // The stable name udev gives a serial line (/dev/serial/by-id/...), or "".
    std::string name;
    // USB printers: four lower-case hex digits each, as the device tells them.
    std::string vendorId;
    std::string productId;
    bool operator==(const DeviceEntry&) const = default;
};

// Every device of the machine: serial lines (ttyS only with a real UART
// behind it, ttyUSB, ttyACM, ttyAMA, rfcomm), then the parallel ports (lpN),
// then the USB printers; each kind in natural order (ttyUSB2 before ttyUSB10).
std::vector<DeviceEntry> ListDevices();

// The devices of one kind, in the order of ListDevices.
std::vector<DeviceEntry> ListDevices(DeviceEntry::Kind kind);

// What the user sees for a device: the node, and the stable name or the USB
// ids after it when there are.
std::string DeviceLabel(const DeviceEntry& device);

// Tells when a device was added or removed, from the source ListDevices uses
// now. Its descriptor becomes readable when something happened; Changed()
// then reads everything that waits, without blocking. One monitor serves one
// thread.
class DeviceMonitor {
public:
    DeviceMonitor();
    ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    // The descriptor to watch for reading; -1 when no monitor could be made
    // (the lists then stay as they were read).
    int Fd() const;
    // Reads the waiting events; true when a device was added or removed.
    bool Changed();

    struct Source {
        virtual ~Source() = default;
        virtual int Fd() const = 0;
        virtual bool Changed() = 0;
    };

private:
    std::unique_ptr<Source> source_;
};

namespace devices {
// The libudev source (UdevDevices.cpp).
std::vector<DeviceEntry> ListFromUdev();
std::unique_ptr<DeviceMonitor::Source> UdevMonitor();
// Natural order within a kind: by the name's letters, then its number.
bool NaturalLess(const std::string& a, const std::string& b);
// Whether the tty `name` (ttyUSB0) is a serial line to list; `type` is its
// port type as sysfs gives it ("" when it has none). The 8250 driver registers
// every built-in port (ttyS) it may have: only those with a UART found behind
// them, of a type other than 0 (unknown), are lines.
bool ListedSerialLine(const std::string& name, const std::string& type);
} // namespace devices

} // namespace pemberlux
