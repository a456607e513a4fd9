// USB printers through the kernel's usblp driver. Each printer is
// <sysfs>/class/usbmisc/lpN; its `device` link is the USB interface, whose
// parent folder, the USB device, holds idVendor and idProduct. The node is
// <dev>/ + DEVNAME of the class entry's uevent (usb/lpN).
#include "port/PortIo.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace pemberlux {

using namespace portio;
namespace fs = std::filesystem;

Guarded<std::string> UsbVendorId;
Guarded<std::string> UsbSecondId;
std::atomic<int> UsbVendorOnly{0};

namespace {

fs::path RootFromEnv(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return fs::path(v && *v ? v : fallback);
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// The lpN entries in number order.
std::vector<std::string> PrinterEntries(const fs::path& classDir) {
    std::vector<std::pair<int, std::string>> numbered;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(classDir, ec)) {
        std::string name = e.path().filename().string();
        if (name.compare(0, 2, "lp") == 0 && AllDigits(name.substr(2)))
            numbered.emplace_back(TextToInt(name.substr(2)), name);
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> names;
    for (auto& [number, name] : numbered)
        names.push_back(std::move(name));
    return names;
}

// "USB#VID_vvvv&PID_pppp#lpN", the parts the device tells.
std::string IdentityOf(const fs::path& entry) {
    std::error_code ec;
    fs::path usbDevice = fs::canonical(entry / "device", ec).parent_path();
    std::string identity = "USB";
    if (!ec) {
        std::string vid = FirstLine(usbDevice / "idVendor");
        std::string pid = FirstLine(usbDevice / "idProduct");
        if (!vid.empty()) identity += "#VID_" + vid;
        if (!pid.empty()) identity += "&PID_" + pid;
    }
    return identity + "#" + entry.filename().string();
}

std::string DevName(const fs::path& entry) {
    std::ifstream in(entry / "uevent");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 8, "DEVNAME=") == 0) return line.substr(8);
    return {};
}

// The USB selection as one open sees it, taken once at its start.
struct UsbSelection {
    std::string vendor = UsbVendorId.Get();
    std::string second = UsbSecondId.Get();
    bool vendorOnly = UsbVendorOnly != 0;

    bool Wants(const std::string& identity) const {
        if (vendor.empty() && second.empty()) return true;
        std::string vid, pid;
        if (!ParseVidPid(identity, vid, pid)) return false;
        if (vendorOnly) return vid == vendor || vid == second;
        return vid == vendor && pid == second;
    }
};

} // namespace

int OpenUsbPort(PrinterPort& port) {
    ClosePort(port);
    const fs::path classDir = RootFromEnv("PEMBERLUX_SYSFS_ROOT", "/sys") / "class" / "usbmisc";
    const fs::path devRoot = RootFromEnv("PEMBERLUX_DEV_ROOT", "/dev");
    std::error_code ec;
    if (!fs::is_directory(classDir, ec)) Fail(PORT_ERR_NO_DEVICES);

    auto entries = PrinterEntries(classDir);
    if (entries.size() > MAX_USB_PORTS) entries.resize(MAX_USB_PORTS);
    const UsbSelection selection;
    int opened = 0;
    for (const std::string& name : entries) {
        const fs::path entry = classDir / name;
        std::string node = DevName(entry);
        if (node.empty()) {
            if (opened) break;
            Fail(PORT_ERR_NO_INFO);
        }
        if (!selection.Wants(IdentityOf(entry))) continue;
        int fd = OpenDevice((devRoot / node).string());
        if (fd < 0) {
            if (!opened) Fail(PORT_ERR_OPEN);
            continue;
        }
        port.handles[opened++] = fd;
    }
    // No printer at all, or none of those examined is the selected model.
    if (!opened) Fail(PORT_ERR_NO_INFO);
    return 1;
}

std::size_t WriteUsbPort(PrinterPort& port) {
    std::size_t written = 0;
    for (int fd : port.handles)
        if (fd >= 0) written = WriteBlock(fd, port.data, port.length, std::nullopt, false);
    return written;
}

namespace portio {

std::size_t ReadUsbPort(PrinterPort& port, void* buffer, std::size_t count, const std::atomic<bool>* abort,
                        const ReplyComplete*) {
    if (count == 0) return 0;
    if (!abort) {
        // Each printer in turn, as long as each takes to answer; the last one's answer stays.
        std::size_t last = 0;
        for (int fd : port.handles) {
            if (fd < 0) continue;
            for (;;) {
                WaitFor(fd, POLLIN, std::nullopt, nullptr);
                ReadResult r = ReadOnce(fd, buffer, count, false);
                if (r.kind == ReadResult::Nothing) {
                    Pause();
                    continue;
                }
                last = r.count;
                break;
            }
        }
        return last;
    }
    std::vector<pollfd> fds;
    for (int fd : port.handles)
        if (fd >= 0) fds.push_back({fd, POLLIN, 0});
    if (fds.empty()) return 0;
    for (;;) {
        if (WaitFor(fds.data(), fds.size(), std::nullopt, abort) == Wait::Aborted) return 0;
        for (const pollfd& p : fds) {
            if (!p.revents) continue;
            ReadResult r = ReadOnce(p.fd, buffer, count, false);
            if (r.kind == ReadResult::Data) return r.count;
        }
        // Ready without bytes (an empty packet, a driver's spurious wake-up): wait on.
        Pause();
    }
}

} // namespace portio
} // namespace pemberlux
