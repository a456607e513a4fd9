// The printer's print port over TCP (IPv4, numeric address).
#include "port/PortIo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace pemberlux {

using namespace portio;

namespace {

// About what other systems allow a connect before they give up.
constexpr std::int64_t CONNECT_TIMEOUT_MS = 20000;

bool Connect(int fd, const PortSettings& s) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(s.tcpPort & 0xFFFF));
    if (inet_pton(AF_INET, s.ipAddress.c_str(), &addr.sin_addr) != 1) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return true;
    if (errno != EINPROGRESS && errno != EINTR) return false;
    if (WaitFor(fd, POLLOUT, After(CONNECT_TIMEOUT_MS), nullptr) != Wait::Ready) return false;
    int error = 0;
    socklen_t len = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
}

} // namespace

int OpenNetPort(PrinterPort& port) {
    ClosePort(port);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    if (!Connect(fd, CurrentPortSettings.Get())) {
        CloseFd(fd);
        Fail(PORT_ERR_OPEN);
    }
    port.socket = fd;
    return 1;
}

std::size_t WriteNetPort(PrinterPort& port) {
    if (port.length == 0) return 0;
    return WriteBlock(port.socket, port.data, port.length, std::nullopt, true);
}

namespace portio {

std::size_t ReadNetPort(PrinterPort& port, void* buffer, std::size_t count, const std::atomic<bool>* abort,
                        const ReplyComplete*) {
    if (port.socket < 0) Fail(PORT_ERR_READ);
    if (count == 0) return 0;
    for (;;) {
        if (WaitFor(port.socket, POLLIN, std::nullopt, abort) == Wait::Aborted) return 0;
        ReadResult r = ReadOnce(port.socket, buffer, count, true);
        if (r.kind == ReadResult::Data) return r.count;
        if (r.kind == ReadResult::End) Fail(PORT_ERR_READ); // closed by the printer
    }
}

} // namespace portio
} // namespace pemberlux
