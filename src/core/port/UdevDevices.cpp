// The devices as libudev sees them: the tty, printer (the parallel port's lp
// driver) and usbmisc (usblp) subsystems, and a monitor on udev's netlink
// group, which hears of a device once udev has made its node and links.
#include "core/port/Devices.h"

#include <cctype>
#include <cstring>
#include <libudev.h>
#include <optional>

namespace pemberlux::devices {

namespace {

constexpr const char* SUBSYSTEMS[] = {"tty", "printer", "usbmisc"};

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
template <class T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* value) {
    return value ? value : "";
}

// `name` is `prefix` followed by a number.
bool Numbered(const std::string& name, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    return name.size() > n && name.compare(0, n, prefix) == 0 &&
           std::isdigit(static_cast<unsigned char>(name[n]));
}

bool SerialName(const std::string& name) {
    for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"})
        if (Numbered(name, prefix)) return true;
    return false;
}

// The kind of a device of the watched subsystems by its subsystem and name;
// nothing for the others (virtual consoles, ptys). The monitor hears of every
// serial line by this, including one that is gone and shows no port type.
std::optional<DeviceEntry::Kind> KindOf(udev_device* d) {
    const std::string subsystem = Text(udev_device_get_subsystem(d));
    const std::string name = Text(udev_device_get_sysname(d));
    if (subsystem == "tty" && SerialName(name)) return DeviceEntry::Serial;
    if (subsystem == "printer" && Numbered(name, "lp")) return DeviceEntry::Parallel;
    if (subsystem == "usbmisc" && Numbered(name, "lp")) return DeviceEntry::Usb;
    return std::nullopt;
}

std::optional<DeviceEntry> EntryOf(udev_device* d) {
    const std::optional<DeviceEntry::Kind> kind = KindOf(d);
    const char* node = udev_device_get_devnode(d);
    if (!kind || !node) return std::nullopt;
    DeviceEntry entry;
    entry.kind = *kind;
    entry.node = node;
    if (*kind == DeviceEntry::Serial) {
        if (!devices::ListedSerialLine(Text(udev_device_get_sysname(d)),
                                       Text(udev_device_get_sysattr_value(d, "type"))))
            return std::nullopt;
        for (udev_list_entry* link = udev_device_get_devlinks_list_entry(d); link;
             link = udev_list_entry_get_next(link)) {
            const std::string path = Text(udev_list_entry_get_name(link));
            if (path.rfind("/dev/serial/by-id/", 0) == 0) entry.name = path;
        }
    } else if (*kind == DeviceEntry::Usb) {
        if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_device")) {
            entry.vendorId = Text(udev_device_get_sysattr_value(usb, "idVendor"));
            entry.productId = Text(udev_device_get_sysattr_value(usb, "idProduct"));
        }
    }
    return entry;
}

class UdevSource final : public DeviceMonitor::Source {
public:
    UdevSource() : udev_(udev_new()) {
        if (!udev_) return;
        monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
        if (!monitor_) return;
        for (const char* subsystem : SUBSYSTEMS)
            udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), subsystem, nullptr);
        if (udev_monitor_enable_receiving(monitor_.get()) < 0) monitor_.reset();
    }
    int Fd() const override { return monitor_ ? udev_monitor_get_fd(monitor_.get()) : -1; }
    // The socket does not block: receiving ends when nothing waits.
    bool Changed() override {
        bool changed = false;
        if (!monitor_) return changed;
        while (UdevPtr<udev_device> d{udev_monitor_receive_device(monitor_.get())}) {
            const std::string action = Text(udev_device_get_action(d.get()));
            if ((action == "add" || action == "remove") && KindOf(d.get())) changed = true;
        }
        return changed;
    }

private:
    UdevPtr<udev> udev_;
    UdevPtr<udev_monitor> monitor_;
};

} // namespace

std::vector<DeviceEntry> ListFromUdev() {
    std::vector<DeviceEntry> list;
    UdevPtr<udev> u{udev_new()};
    if (!u) return list;
    UdevPtr<udev_enumerate> e{udev_enumerate_new(u.get())};
    if (!e) return list;
    for (const char* subsystem : SUBSYSTEMS)
        udev_enumerate_add_match_subsystem(e.get(), subsystem);
    udev_enumerate_scan_devices(e.get());
    for (udev_list_entry* item = udev_enumerate_get_list_entry(e.get()); item; item = udev_list_entry_get_next(item)) {
        UdevPtr<udev_device> d{udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(item))};
        if (!d) continue;
        if (std::optional<DeviceEntry> entry = EntryOf(d.get())) list.push_back(std::move(*entry));
    }
    return list;
}

std::unique_ptr<DeviceMonitor::Source> UdevMonitor() {
    return std::make_unique<UdevSource>();
}

} // namespace pemberlux::devices
