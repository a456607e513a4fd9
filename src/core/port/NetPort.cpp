// The printer's print port over TCP (IPv4, numeric address).
#include "core/port/PortIo.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace pemberlux {

using namespace portio;

namespace {

// About what other systems allow a connect before they give up.
constexpr std::int64_t CONNECT_TIMEOUT_MS = 20000;

// At the end of a transfer: a printer that has taken everything and neither
// closes nor says anything for this long is done with it.
constexpr auto QUIET = std::chrono::milliseconds(200);
// How often the send queue is looked at: it has no wake-up of its own.
constexpr std::int64_t QUEUE_SLICE_MS = 10;

// What the peer sent, read and dropped.
enum class Input { Quiet, Some, Ended, Failed };
Input TakeInput(int fd) {
    std::uint8_t sink[4096];
    Input seen = Input::Quiet;
    for (;;) {
        ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n > 0) {
            seen = Input::Some;
            continue;
        }
        if (n == 0) return Input::Ended;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return seen;
        return Input::Failed;
    }
}

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
    return WriteBlock(port.socket, port.data, port.length, std::nullopt, true, job, port.progress);
}

namespace portio {

void DrainNetPort(PrinterPort& port, const JobLimits& job, DrainEnd end) {
    const int fd = port.socket;
    if (fd < 0) Fail(PORT_ERR_WRITE);
    const auto stall = job.StallOrDefault();
    Clock::time_point progress = DrainStart(port);
    // Our end of stream follows the data; the printer's kernel acknowledges it
    // once it holds every byte before it.
    if (end == DrainEnd::Last && ::shutdown(fd, SHUT_WR) != 0) Fail(PORT_ERR_WRITE);
    int left = -1;
    bool peerEnded = false;
    Clock::time_point heard = Clock::now();
    std::optional<Clock::time_point> allTaken;
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, SIOCOUTQ, &queued) != 0) Fail(PORT_ERR_WRITE);
        const auto now = Clock::now();
        if (left >= 0 && queued < left) progress = now;
        left = queued;
        if (queued == 0) {
            if (end == DrainEnd::More || peerEnded) return;
            if (!allTaken) allTaken = now;
            // Everything is there: a printer that talks on is not waited for
            // beyond the bound.
            if (now >= std::max(*allTaken, heard) + QUIET || now >= *allTaken + stall) return;
        } else if (now >= progress + stall) {
            FailWait(PORT_ERR_WRITE, Wait::Expired);
        }
        // After the printer's end of stream the socket stays readable: the
        // slice is slept, and a reset still shows on the next read.
        pollfd p{fd, POLLIN, 0};
        Wait w = Wait::Ready;
        if (peerEnded) {
            SleepFor(job.stop, std::chrono::milliseconds(QUEUE_SLICE_MS));
        } else {
            w = WaitFor(&p, 1, After(QUEUE_SLICE_MS), job);
        }
        if (job.Stopped()) FailWait(PORT_ERR_WRITE, Wait::Stopped);
        if (w == Wait::Expired || job.Expired()) FailWait(PORT_ERR_WRITE, Wait::Expired);
        if (w != Wait::Ready) continue;
        switch (TakeInput(fd)) {
        case Input::Some:
            heard = Clock::now();
            break;
        case Input::Ended:
            peerEnded = true;
            break;
        case Input::Failed:
            // A reset: the printer closed with bytes unread, or gave up the
            // connection. What its kernel acknowledged it need not have taken.
            Fail(PORT_ERR_WRITE);
        case Input::Quiet:
            break;
        }
    }
}

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
