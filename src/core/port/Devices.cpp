// The choice of the device source, the order of the lists, and the fake tree
// source with its inotify monitor. The libudev source is UdevDevices.cpp.
#include "core/port/Devices.h"

#include "core/base/SerialDevices.h"
#include "core/base/UiText.h"
#include "core/port/PortIo.h"
#include "core/port/PrinterPort.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/inotify.h>
#include <unistd.h>

namespace pemberlux {

namespace fs = std::filesystem;

namespace {

const char* FakeSysfsRoot() {
    const char* root = std::getenv("PEMBERLUX_SYSFS_ROOT");
    return root && *root ? root : nullptr;
}

fs::path FakeDevRoot() {
    const char* root = std::getenv("PEMBERLUX_DEV_ROOT");
    return root && *root ? root : "/dev";
}

// The serial lines in the order of the names the kernel gives them.
int SerialRank(const std::string& node) {
    static const char* const order[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
    const std::string name = SplitDeviceName(fs::path(node).filename().string()).first;
    for (int i = 0; i < 5; ++i)
        if (name == order[i]) return i;
    return 5;
}

void Order(std::vector<DeviceEntry>& list) {
    std::stable_sort(list.begin(), list.end(), [](const DeviceEntry& a, const DeviceEntry& b) {
        if (a.kind != b.kind) return a.kind < b.kind;
        if (a.kind == DeviceEntry::Serial && SerialRank(a.node) != SerialRank(b.node))
            return SerialRank(a.node) < SerialRank(b.node);
        return devices::NaturalLess(fs::path(a.node).filename().string(), fs::path(b.node).filename().string());
    });
}

// The link in <dev>/serial/by-id that leads to `node`, or "".
std::string FakeStableName(const fs::path& devRoot, const std::string& node) {
    std::error_code ec;
    const fs::path target = fs::canonical(node, ec);
    if (ec) return {};
    for (const auto& e : fs::directory_iterator(devRoot / "serial" / "by-id", ec))
        if (std::error_code linkEc; fs::canonical(e.path(), linkEc) == target && !linkEc) return e.path().string();
    return {};
}

std::vector<DeviceEntry> ListFromFakeTree(const fs::path& sysfs) {
    std::vector<DeviceEntry> list;
    const fs::path devRoot = FakeDevRoot();
    for (const std::string& node : ListSerialDevices(devRoot))
        list.push_back({DeviceEntry::Serial, node, FakeStableName(devRoot, node), "", ""});
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(devRoot, ec)) {
        const std::string name = e.path().filename().string();
        const auto [prefix, number] = SplitDeviceName(name);
        if (prefix == "lp" && number >= 0) list.push_back({DeviceEntry::Parallel, e.path().string(), "", "", ""});
        if (prefix == "ttyS" && number >= 0) {
            std::string type;
            std::ifstream(sysfs / "class" / "tty" / name / "type") >> type;
            if (devices::ListedSerialLine(name, type))
                list.push_back({DeviceEntry::Serial, e.path().string(), "", "", ""});
        }
    }
    for (const UsbPrinterInfo& p : ListUsbPrinters())
        if (!p.node.empty()) list.push_back({DeviceEntry::Usb, p.node, "", p.vendorId, p.productId});
    return list;
}

// inotify over the fake tree's USB printer class folder and the node folder:
// a printer's class entry or a node made or removed there is a change.
class FakeTreeMonitor final : public DeviceMonitor::Source {
public:
    explicit FakeTreeMonitor(const fs::path& sysfs) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ < 0) return;
        constexpr std::uint32_t events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
        for (const fs::path& folder : {sysfs / "class" / "usbmisc", FakeDevRoot(), FakeDevRoot() / "usb"})
            ::inotify_add_watch(fd_, folder.c_str(), events);
    }
    ~FakeTreeMonitor() override {
        if (fd_ >= 0) ::close(fd_);
    }
    int Fd() const override { return fd_; }
    bool Changed() override {
        bool changed = false;
        alignas(inotify_event) std::array<char, 4096> buffer;
        for (;;) {
            const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
            if (n > 0) {
                changed = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            return changed;
        }
    }

private:
    int fd_;
};

} // namespace

namespace devices {

bool NaturalLess(const std::string& a, const std::string& b) {
    const auto [pa, na] = SplitDeviceName(a);
    const auto [pb, nb] = SplitDeviceName(b);
    if (pa != pb) return pa < pb;
    return na < nb;
}

bool ListedSerialLine(const std::string& name, const std::string& type) {
    const auto [prefix, number] = SplitDeviceName(name);
    if (number < 0) return false;
    if (prefix == "ttyS") return !type.empty() && type != "0";
    return prefix == "ttyUSB" || prefix == "ttyACM" || prefix == "ttyAMA" || prefix == "rfcomm";
}

} // namespace devices

std::vector<DeviceEntry> ListDevices() {
    const char* sysfs = FakeSysfsRoot();
    std::vector<DeviceEntry> list = sysfs ? ListFromFakeTree(sysfs) : devices::ListFromUdev();
    Order(list);
    return list;
}

std::vector<DeviceEntry> ListDevices(DeviceEntry::Kind kind) {
    std::vector<DeviceEntry> list = ListDevices();
    std::erase_if(list, [kind](const DeviceEntry& d) { return d.kind != kind; });
    return list;
}

std::string DeviceLabel(const DeviceEntry& device) {
    if (!device.name.empty()) return device.node + " (" + fs::path(device.name).filename().string() + ")";
    if (device.kind == DeviceEntry::Usb && !device.vendorId.empty())
        return device.node + " (" + device.vendorId + ":" + device.productId + ")";
    return device.node;
}

std::vector<PortChoice> PortChoices(DeviceEntry::Kind kind, const std::vector<std::string>& keep) {
    const bool serial = kind == DeviceEntry::Serial;
    const char* const prefix = serial ? "COM" : "LPT";
    const char* const builtIn = serial ? "ttyS" : "lp";
    const std::string base = std::string("/dev/") + builtIn;
    std::vector<PortChoice> choices;
    for (const DeviceEntry& d : ListDevices(kind)) {
        const auto [name, number] = SplitDeviceName(fs::path(d.node).filename().string());
        if (name == builtIn && number >= 0) {
            const std::string value = prefix + std::to_string(number + 1);
            choices.push_back({value, value + " (" + portio::DeviceNodeFor(value, prefix, base.c_str()) + ")"});
        } else {
            const std::string text =
                d.name.empty() ? d.node : fs::path(d.name).filename().string() + " (" + d.node + ")";
            choices.push_back({d.node, text});
        }
    }
    const std::size_t listed = choices.size();
    for (const std::string& value : keep) {
        const std::string node = portio::DeviceNodeFor(value, prefix, base.c_str());
        const auto same = [&](const PortChoice& c) { return c.value == value; };
        if (std::any_of(choices.begin(), choices.end(), same) || (node == value && !value.starts_with('/'))) continue;
        // A name spelt another way ("com2") opens a listed port all the same.
        const auto opensNode = [&](const PortChoice& c) {
            return portio::DeviceNodeFor(c.value, prefix, base.c_str()) == node;
        };
        std::error_code ec;
        if (node != value && std::any_of(choices.begin(), choices.begin() + listed, opensNode))
            choices.push_back({value, value + " (" + node + ")"});
        else if (node != value)
            choices.push_back({value, NoteText(NOTE_PORT_NAME_ABSENT, {value, node})});
        else if (fs::exists(value, ec))
            choices.push_back({value, value});
        else
            choices.push_back({value, NoteText(NOTE_PORT_ABSENT, {value})});
    }
    return choices;
}

DeviceMonitor::DeviceMonitor() {
    if (const char* sysfs = FakeSysfsRoot())
        source_ = std::make_unique<FakeTreeMonitor>(sysfs);
    else
        source_ = devices::UdevMonitor();
}

DeviceMonitor::~DeviceMonitor() = default;

int DeviceMonitor::Fd() const {
    return source_ ? source_->Fd() : -1;
}

bool DeviceMonitor::Changed() {
    return source_ && source_->Changed();
}

} // namespace pemberlux
