// The printer's print port over TCP (IPv4, numeric address).
#include "core/port/PortIo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>

namespace pemberlux {

using namespace portio;

namespace {

// About what other systems allow a connect before they give up.
constexpr std::int64_t CONNECT_TIMEOUT_MS = 20000;

bool Connect(int fd, const PortSettings& s, const JobLimits& job) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(s.tcpPort & 0xFFFF));
    if (inet_pton(AF_INET, s.ipAddress.c_str(), &addr.sin_addr) != 1) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return true;
    if (errno != EINPROGRESS && errno != EINTR) return false;
    Wait w = WaitFor(fd, POLLOUT, After(CONNECT_TIMEOUT_MS), job);
    if (w == Wait::Stopped || w == Wait::Expired) FailWait(PORT_ERR_OPEN, w);
    if (w != Wait::Ready) return false;
    int error = 0;
    socklen_t len = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
}

} // namespace

int OpenNetPort(PrinterPort& port, const JobLimits& job) {
    ClosePort(port);
    const PortSettings& s = port.settings;
    HoldDevice(port, "tcp:" + s.ipAddress + ":" + std::to_string(s.tcpPort), PORT_ERR_OPEN, job);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        ClosePort(port);
        return 0;
    }
    bool connected = false;
    try {
        connected = Connect(fd, s, job);
    } catch (const PortError&) {
        CloseFd(fd);
        ClosePort(port);
        throw;
    }
    if (!connected) {
        CloseFd(fd);
        ClosePort(port);
        Fail(PORT_ERR_OPEN);
    }
    port.socket = fd;
    return 1;
}

std::size_t WriteNetPort(PrinterPort& port, const JobLimits& job) {
    if (port.length == 0) return 0;
    return WriteBlock(port.socket, port.data, port.length, std::nullopt, true, job);
}

namespace portio {

std::size_t ReadNetPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete*) {
    if (port.socket < 0) Fail(PORT_ERR_READ);
    if (count == 0) return 0;
    for (;;) {
        Wait w = WaitFor(port.socket, POLLIN, std::nullopt, job);
        if (w != Wait::Ready) FailWait(PORT_ERR_READ, w);
        ReadResult r = ReadOnce(port.socket, buffer, count, true);
        if (r.kind == ReadResult::Data) return r.count;
        if (r.kind == ReadResult::End) Fail(PORT_ERR_READ); // closed by the printer
    }
}

} // namespace portio
} // namespace pemberlux
