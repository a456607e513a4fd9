// The port object and the dispatch by kind to the backends (ComPort, LptPort,
// UsbPort, NetPort).
#include "port/PortIo.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <unistd.h>

namespace pemberlux {

using namespace portio;

Guarded<PortSettings> CurrentPortSettings;
PortSettings SerialDialogSettings;
PortSettings ParallelDialogSettings;

const char* PortError::what() const noexcept {
    switch (code) {
    case PORT_ERR_OPEN:
        return "PORT_ERR_OPEN";
    case PORT_ERR_BUSY:
        return "PORT_ERR_BUSY";
    case PORT_ERR_WRITE:
        return "PORT_ERR_WRITE";
    case PORT_ERR_READ:
        return "PORT_ERR_READ";
    case PORT_ERR_NO_DEVICES:
        return "PORT_ERR_NO_DEVICES";
    case PORT_ERR_NO_INFO:
        return "PORT_ERR_NO_INFO";
    default:
        return "port error";
    }
}

namespace {

int Duplicate(int fd) {
    return fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

} // namespace

PrinterPort::PrinterPort() {
    handles.fill(-1);
}

PrinterPort::PrinterPort(const PrinterPort& other)
    : data(other.data), length(other.length), kind(other.kind), lptName(other.lptName), comName(other.comName),
      socket(Duplicate(other.socket)), lineState(other.lineState) {
    std::transform(other.handles.begin(), other.handles.end(), handles.begin(), Duplicate);
}

PrinterPort& PrinterPort::operator=(const PrinterPort& other) {
    if (this == &other) return *this;
    ClosePort(*this);
    data = other.data;
    length = other.length;
    kind = other.kind;
    lptName = other.lptName;
    comName = other.comName;
    std::transform(other.handles.begin(), other.handles.end(), handles.begin(), Duplicate);
    socket = Duplicate(other.socket);
    lineState = other.lineState;
    return *this;
}

PrinterPort::~PrinterPort() {
    ClosePort(*this);
}

namespace {

struct Backend {
    int (*open)(PrinterPort&);
    std::size_t (*write)(PrinterPort&);
    std::size_t (*read)(PrinterPort&, void*, std::size_t, const std::atomic<bool>*, const ReplyComplete*);
};

// The backend of a port kind; none for kinds the layer doesn't know.
const Backend* BackendOf(int kind) {
    static constexpr Backend backends[] = {
        {OpenComPort, WriteComPort, ReadComPort},
        {OpenLptPort, WriteLptPort, ReadLptPort},
        {OpenUsbPort, WriteUsbPort, ReadUsbPort},
        {OpenNetPort, WriteNetPort, ReadNetPort},
    };
    static_assert(PORT_COM == 1 && PORT_LPT == 2 && PORT_USB == 3 && PORT_LAN == 4);
    return kind >= PORT_COM && kind <= PORT_LAN ? &backends[kind - PORT_COM] : nullptr;
}

std::size_t Read(PrinterPort& port, void* buffer, std::size_t count, const std::atomic<bool>* abort,
                 const ReplyComplete* complete) {
    const Backend* b = BackendOf(port.kind);
    return b ? b->read(port, buffer, count, abort, complete) : 0;
}

} // namespace

int OpenPort(PrinterPort& port) {
    const Backend* b = BackendOf(port.kind);
    return b ? b->open(port) : 0;
}

std::size_t WritePort(PrinterPort& port) {
    const Backend* b = BackendOf(port.kind);
    return b ? b->write(port) : 0;
}

std::size_t ReadPort(PrinterPort& port, void* buffer, std::size_t count) {
    return Read(port, buffer, count, nullptr, nullptr);
}

std::size_t ReadPort(PrinterPort& port, void* buffer, std::size_t count, const std::atomic<bool>& abort) {
    return Read(port, buffer, count, &abort, nullptr);
}

std::size_t ReadPort(PrinterPort& port, void* buffer, std::size_t count, const std::atomic<bool>& abort,
                     const ReplyComplete& complete) {
    return Read(port, buffer, count, &abort, complete ? &complete : nullptr);
}

int ClosePort(PrinterPort& port) {
    for (int& fd : port.handles)
        CloseFd(fd);
    CloseFd(port.socket);
    return 1;
}

int ParseVidPid(const std::string& identity, std::string& vid, std::string& pid) {
    std::string path = identity.substr(0, 259);
    for (char& c : path)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto v = path.find("VID_");
    auto p = path.find("PID_");
    if (v == std::string::npos || p == std::string::npos) return 0;
    vid = path.substr(v + 4, 4);
    pid = path.substr(p + 4, 4);
    return 1;
}

std::optional<PortErrorMessage> ReportPortError(int code, int kind) {
    auto warn = [](int id) { return std::optional<PortErrorMessage>{{id, MessageIcon::Warning}}; };
    switch (code) {
    case PORT_ERR_OPEN:
        switch (kind) {
        case PORT_COM:
            return warn(141);
        case PORT_LPT:
            return warn(139);
        case PORT_USB:
            return warn(140);
        case PORT_LAN:
            return warn(206);
        default:
            return std::nullopt;
        }
    case PORT_ERR_BUSY:
        return warn(145);
    case PORT_ERR_NO_DEVICES:
        return warn(188);
    case PORT_ERR_NO_INFO:
        return warn(189);
    default:
        return std::nullopt;
    }
}

} // namespace pemberlux
