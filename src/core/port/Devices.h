// The printer devices of this machine, for the interface dialogs and the
// command line's `ports`: serial lines, parallel ports and usblp printers, and
// a monitor that says when one came or went.
//
// Two sources behind one interface. On a real system libudev (Devices via
// udev, the kernel's own view, with the names udev gives). With
// PEMBERLUX_SYSFS_ROOT set, the fake tree the simulator lays out: USB printers
// from its sysfs, serial and parallel nodes by name under PEMBERLUX_DEV_ROOT
// (a ttyS only where its <sysfs>/class/tty/ttySn/type is not 0, as udev's),
// the stable names of serial lines from the links in <dev>/serial/by-id, and
// inotify over those folders as the monitor.
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

// An entry of the serial or parallel dialog's port list.
struct PortChoice {
    // What the settings keep: "COMn", "LPTn" or a device path.
    std::string value;
    // What the list shows.
    std::string text;
    bool operator==(const PortChoice&) const = default;
};

// The ports a dialog of `kind` (Serial or Parallel) offers, in the order of
// ListDevices: "COMn" for a listed ttyS(n-1) and "LPTn" for a listed lp(n-1),
// each with the node the name opens ("COM1 (/dev/ttyS0)"); the other devices by
// their stable name with the node, or by the node. Then each value of `keep`
// (the stored port, the one selected) that names a port and is not offered yet:
// marked absent (in the calling thread's language) unless it is a path that
// exists. Other names in `keep` (a placeholder for a missing value) are left out.
std::vector<PortChoice> PortChoices(DeviceEntry::Kind kind, const std::vector<std::string>& keep);

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
