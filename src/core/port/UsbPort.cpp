// USB printers through the kernel's usblp driver. Each printer is
// <sysfs>/class/usbmisc/lpN; its `device` link is the USB interface, whose
// parent folder, the USB device, holds idVendor and idProduct. The node is
// <dev>/ + DEVNAME of the class entry's uevent (usb/lpN).
#include "core/port/PortIo.h"

#include "core/port/DeviceLock.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace pemberlux {

using namespace portio;
namespace fs = std::filesystem;

Guarded<std::string> UsbVendorId;
Guarded<std::string> UsbSecondId;
std::atomic<int> UsbVendorOnly{0};

void SelectUsbIds(const PrinterModel& model) {
    UsbVendorOnly = model.usb.vendorOnly ? 1 : 0;
    UsbVendorId = model.usb.vendorId;
    UsbSecondId = model.usb.secondId;
}

namespace {

// A write, and the transfer after it: 10000 ms + 3 ms per byte in all.
constexpr std::int64_t WRITE_TOTAL_MS = 10000;
constexpr std::int64_t WRITE_PER_BYTE_MS = 3;

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

} // namespace

std::vector<UsbPrinterInfo> ListUsbPrinters() {
    const fs::path classDir = RootFromEnv("PEMBERLUX_SYSFS_ROOT", "/sys") / "class" / "usbmisc";
    const fs::path devRoot = RootFromEnv("PEMBERLUX_DEV_ROOT", "/dev");
    std::vector<UsbPrinterInfo> printers;
    for (const std::string& name : PrinterEntries(classDir)) {
        const fs::path entry = classDir / name;
        std::error_code ec;
        const fs::path usbDevice = fs::canonical(entry / "device", ec).parent_path();
        UsbPrinterInfo info;
        const std::string node = DevName(entry);
        info.node = node.empty() ? std::string() : (devRoot / node).string();
        if (!ec) {
            info.vendorId = FirstLine(usbDevice / "idVendor");
            info.productId = FirstLine(usbDevice / "idProduct");
        }
        printers.push_back(std::move(info));
    }
    return printers;
}

bool OpenUsbPort(PrinterPort& port, const JobLimits& job) {
    ClosePort(port);
    const fs::path classDir = RootFromEnv("PEMBERLUX_SYSFS_ROOT", "/sys") / "class" / "usbmisc";
    const fs::path devRoot = RootFromEnv("PEMBERLUX_DEV_ROOT", "/dev");
    std::error_code ec;
    if (!fs::is_directory(classDir, ec)) Fail(PortErrorCode::NoDevices);

    auto entries = PrinterEntries(classDir);
    if (entries.size() > MAX_USB_PORTS) entries.resize(MAX_USB_PORTS);
    int opened = 0;
    int selected = 0;
    auto fail = [&](PortErrorCode code) {
        ClosePort(port);
        Fail(code);
    };
    for (const std::string& name : entries) {
        const fs::path entry = classDir / name;
        std::string node = DevName(entry);
        if (node.empty()) {
            if (opened) break;
            fail(PortErrorCode::NoInfo);
        }
        if (!port.usb.Wants(IdentityOf(entry))) continue;
        if (port.usb.index >= 0 && selected++ != port.usb.index) continue;
        const std::string path = (devRoot / node).string();
        try {
            HoldDevice(port, DeviceKey(path), PortErrorCode::Open, job);
        } catch (const PortError&) {
            ClosePort(port);
            throw;
        }
        int fd = OpenDevice(path);
        if (fd < 0) {
            if (!opened) {
                const int error = errno;
                ClosePort(port);
                FailOpen(PortErrorCode::Open, path, error, true);
            }
            continue;
        }
        port.handles[opened++] = fd;
    }
    // No printer at all, or none of those examined is the selected model.
    if (!opened) fail(PortErrorCode::NoInfo);
    return true;
}

namespace {

// Drops what a printer sent that nobody read: the end of an answer that came
// after its exchange had ended, status bytes. The next reply would begin with them.
void DropUnread(int fd) {
    std::uint8_t sink[1024];
    while (::read(fd, sink, sizeof sink) > 0) {
    }
}

} // namespace

std::size_t WriteUsbPort(PrinterPort& port, const JobLimits& job) {
    std::size_t written = 0;
    for (int fd : port.handles) {
        if (fd < 0) continue;
        DropUnread(fd);
        const auto deadline = After(WRITE_TOTAL_MS + WRITE_PER_BYTE_MS * static_cast<std::int64_t>(port.length));
        const Clock::time_point writing = Clock::now();
        written = WriteBlock(fd, port.data, port.length, deadline, false, job, port.progress);
        if (written != port.length) Fail(PortErrorCode::Write);
        // The driver takes a block and returns before the printer has it; it
        // reports writable again once the transfer is done. Closing earlier
        // would cancel it. A transfer's stall bound runs on from the write's
        // last progress: a printer that stopped reading is given up on after
        // the bound, not after the write's bound and then the wait's again.
        const JobLimits stalled{job.stop, std::min(job.deadline, std::max(writing, port.progress) + job.stall)};
        Wait w =
            job.stall.count() > 0 ? WaitFor(fd, POLLOUT, std::nullopt, stalled) : WaitFor(fd, POLLOUT, deadline, job);
        if (w == Wait::TimedOut) Fail(PortErrorCode::Write);
        if (w != Wait::Ready) FailWait(PortErrorCode::Write, w);
    }
    return written;
}

namespace portio {

std::size_t ReadUsbPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete*) {
    if (count == 0) return 0;
    std::vector<pollfd> fds;
    for (int fd : port.handles)
        if (fd >= 0) fds.push_back({fd, POLLIN, 0});
    if (fds.empty()) return 0;
    for (;;) {
        Wait w = WaitFor(fds.data(), fds.size(), std::nullopt, job);
        if (w != Wait::Ready) FailWait(PortErrorCode::Read, w);
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
