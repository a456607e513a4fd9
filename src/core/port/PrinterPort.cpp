// The port object and the dispatch by kind to the backends (ComPort, LptPort,
// UsbPort, NetPort).
#include "core/port/PortIo.h"

#include "core/port/DeviceLock.h"

#include "core/base/FileText.h"
#include "core/base/UiText.h"

#include <algorithm>
#include <cctype>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pemberlux {

using namespace portio;

Guarded<PortSettings> CurrentPortSettings;
PortSettings SerialDialogSettings;
PortSettings ParallelDialogSettings;

namespace {

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->gr_name;
    return std::to_string(gid);
}

std::string UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
    return std::to_string(uid);
}

} // namespace

OpenFailure OpenFailureOf(const std::string& device, int error, bool usb) {
    OpenFailure f{OpenFailure::Other, device, error, usb};
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        f.reason = OpenFailure::Permission;
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        f.reason = OpenFailure::Absent;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        f.reason = OpenFailure::Busy;
        break;
    default:
        break;
    }
    return f;
}

std::string OpenFailureLine(const OpenFailure& f) {
    switch (f.reason) {
    case OpenFailure::None:
        return {};
    case OpenFailure::Permission: {
        struct stat st {};
        const bool known = ::stat(f.device.c_str(), &st) == 0;
        // Joining the group helps only where the group may read and write, and root's group is no one's to join.
        const bool groupMay = known && st.st_gid != 0 && (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        if (f.usb)
            return groupMay ? NoteText(NOTE_OPEN_DENIED_USB_GROUP, {f.device, GroupName(st.st_gid)})
                            : NoteText(NOTE_OPEN_DENIED_UDEV, {f.device});
        if (groupMay) return NoteText(NOTE_OPEN_DENIED_GROUP, {f.device, GroupName(st.st_gid)});
        if (known) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
            return NoteText(NOTE_OPEN_DENIED_OWNER, {f.device, UserName(st.st_uid), mode});
        }
        break;
    }
    case OpenFailure::Absent:
        return NoteText(NOTE_OPEN_ABSENT, {f.device});
    case OpenFailure::Busy:
        return NoteText(NOTE_OPEN_BUSY, {f.device});
    case OpenFailure::Other:
        break;
    }
    return NoteText(NOTE_OPEN_OTHER, {f.device, SystemReason(f.error)});
}

const char* PortError::what() const noexcept {
    switch (code) {
    case PortErrorCode::Open:
        return "PORT_ERR_OPEN";
    case PortErrorCode::Busy:
        return "PORT_ERR_BUSY";
    case PortErrorCode::Write:
        return "PORT_ERR_WRITE";
    case PortErrorCode::Read:
        return "PORT_ERR_READ";
    case PortErrorCode::NoDevices:
        return "PORT_ERR_NO_DEVICES";
    case PortErrorCode::NoInfo:
        return "PORT_ERR_NO_INFO";
    case PortErrorCode::None:
        break;
    }
    return "port error";
}

PrinterPort::PrinterPort() {
    handles.fill(-1);
}

PrinterPort::PrinterPort(const PortSettings& snapshot, UsbSelection usbSelection)
    : kind(snapshot.portKind), lptName(snapshot.lptName), comName(snapshot.comName), settings(snapshot),
      usb(std::move(usbSelection)) {
    handles.fill(-1);
}

PrinterPort::~PrinterPort() {
    ClosePort(*this);
}

UsbSelection UsbSelection::Current() {
    return {UsbVendorId.Get(), UsbSecondId.Get(), UsbVendorOnly != 0};
}

bool UsbSelection::Wants(const std::string& identity) const {
    if (vendor.empty() && second.empty()) return true;
    const auto ids = ParseVidPid(identity);
    if (!ids) return false;
    const auto& [vid, pid] = *ids;
    if (vendorOnly) return vid == vendor || vid == second;
    return vid == vendor && pid == second;
}

namespace {

struct Backend {
    bool (*open)(PrinterPort&, const JobLimits&);
    std::size_t (*write)(PrinterPort&, const JobLimits&);
    std::size_t (*read)(PrinterPort&, void*, std::size_t, const JobLimits&, const ReplyComplete*);
    // None where the write already waits for its transfer.
    bool (*drain)(PrinterPort&, const JobLimits&, DrainEnd);
};

// The backend of a port kind; none for kinds the layer doesn't know.
const Backend* BackendOf(PortKind kind) {
    static constexpr Backend backends[] = {
        {OpenComPort, WriteComPort, ReadComPort, DrainComPort},
        {OpenLptPort, WriteLptPort, ReadLptPort, nullptr},
        {OpenUsbPort, WriteUsbPort, ReadUsbPort, nullptr},
        {OpenNetPort, WriteNetPort, ReadNetPort, DrainNetPort},
    };
    static_assert(PORT_COM == 1 && PORT_LPT == 2 && PORT_USB == 3 && PORT_LAN == 4);
    return kind >= PORT_COM && kind <= PORT_LAN ? &backends[kind - PORT_COM] : nullptr;
}

} // namespace

bool OpenPort(PrinterPort& port, const JobLimits& job) {
    const Backend* b = BackendOf(port.kind);
    return b && b->open(port, job);
}

std::size_t WritePort(PrinterPort& port, const JobLimits& job) {
    const Backend* b = BackendOf(port.kind);
    return b ? b->write(port, job) : 0;
}

std::size_t ReadPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                     const ReplyComplete* complete) {
    const Backend* b = BackendOf(port.kind);
    return b ? b->read(port, buffer, count, job, complete && *complete ? complete : nullptr) : 0;
}

bool DrainPort(PrinterPort& port, const JobLimits& job, DrainEnd end) {
    const Backend* b = BackendOf(port.kind);
    return b && b->drain ? b->drain(port, job, end) : true;
}

void ClosePort(PrinterPort& port) {
    // A serial line is left open to other programs again.
    if (port.kind == PORT_COM && port.handles[0] >= 0) ReleaseLine(port);
    for (int& fd : port.handles)
        CloseFd(fd);
    // A socket closed with unread input is reset, not closed.
    if (port.socket >= 0) DropInput(port.socket);
    CloseFd(port.socket);
    port.lineNode.clear();
    port.progress = {};
    for (const std::string& key : port.devices)
        ReleaseDevice(key);
    port.devices.clear();
}

std::optional<std::pair<std::string, std::string>> ParseVidPid(const std::string& identity) {
    std::string path = identity.substr(0, 259);
    for (char& c : path)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto v = path.find("VID_");
    auto p = path.find("PID_");
    if (v == std::string::npos || p == std::string::npos) return std::nullopt;
    return std::pair{path.substr(v + 4, 4), path.substr(p + 4, 4)};
}

std::optional<PortErrorMessage> ReportPortError(PortErrorCode code, PortKind kind) {
    auto warn = [](StringId id) { return std::optional<PortErrorMessage>{{id, MessageIcon::Warning}}; };
    switch (code) {
    case PortErrorCode::Open:
        switch (kind) {
        case PORT_COM:
            return warn(StringId::OpenComFailed);
        case PORT_LPT:
            return warn(StringId::OpenLptFailed);
        case PORT_USB:
            return warn(StringId::OpenUsbFailed);
        case PORT_LAN:
            return warn(StringId::LanConnectFailed);
        default:
            return std::nullopt;
        }
    case PortErrorCode::Busy:
        return warn(StringId::PortBusy);
    case PortErrorCode::NoDevices:
        return warn(StringId::NoPrinterDetected);
    case PortErrorCode::NoInfo:
        return warn(StringId::NoPrinterInfo);
    default:
        return std::nullopt;
    }
}

} // namespace pemberlux
