// The printer's print port over TCP: a numeric IPv4 address, or the numeric
// IPv4 and IPv6 addresses a host name was resolved to.
#include "core/port/PortIo.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <vector>

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

// One numeric address (IPv4 or IPv6, with a scope) and the port as a socket address.
bool NumericAddress(const std::string& text, int port, sockaddr_storage& out, socklen_t& size) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(text.c_str(), std::to_string(port & 0xFFFF).c_str(), &hints, &found) != 0) return false;
    std::memcpy(&out, found->ai_addr, found->ai_addrlen);
    size = found->ai_addrlen;
    ::freeaddrinfo(found);
    return true;
}

constexpr int NO_SOCKET = -2;

// A connected socket to `address`; -1 when the connect failed, NO_SOCKET when
// no socket could be made. A stop or the job's deadline throws.
int Connect(const std::string& address, int tcpPort, Clock::time_point until, const JobLimits& job) {
    sockaddr_storage addr{};
    socklen_t size = 0;
    if (!NumericAddress(address, tcpPort, addr, size)) return -1;
    int fd = ::socket(addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return NO_SOCKET;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), size) == 0) return fd;
    if (errno != EINPROGRESS && errno != EINTR) {
        CloseFd(fd);
        return -1;
    }
    const Wait w = WaitFor(fd, POLLOUT, until, job);
    if (w == Wait::Stopped || w == Wait::Expired) {
        CloseFd(fd);
        FailWait(PortErrorCode::Open, w);
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (w != Wait::Ready || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) CloseFd(fd);
    return fd;
}

} // namespace

bool OpenNetPort(PrinterPort& port, const JobLimits& job) {
    ClosePort(port);
    const PortSettings& s = port.settings;
    HoldDevice(port, "tcp:" + s.ipAddress + ":" + std::to_string(s.tcpPort), PortErrorCode::Open, job);
    // A resolved host name's addresses in turn, within one connect bound.
    const std::vector<std::string> addresses =
        s.resolvedAddresses.empty() ? std::vector<std::string>{s.ipAddress} : s.resolvedAddresses;
    const auto until = After(CONNECT_TIMEOUT_MS);
    int fd = -1;
    bool socketMade = false;
    try {
        for (const std::string& address : addresses) {
            fd = Connect(address, s.tcpPort, until, job);
            socketMade = socketMade || fd != NO_SOCKET;
            if (fd >= 0 || Clock::now() >= until) break;
        }
    } catch (const PortError&) {
        ClosePort(port);
        throw;
    }
    if (fd < 0) {
        ClosePort(port);
        if (!socketMade) return false;
        Fail(PortErrorCode::Open);
    }
    port.socket = fd;
    return true;
}

std::size_t WriteNetPort(PrinterPort& port, const JobLimits& job) {
    if (port.length == 0) return 0;
    return WriteBlock(port.socket, port.data, port.length, std::nullopt, true, job, port.progress);
}

namespace portio {

bool DrainNetPort(PrinterPort& port, const JobLimits& job, DrainEnd end) {
    const int fd = port.socket;
    if (fd < 0) Fail(PortErrorCode::Write);
    const auto stall = job.StallOrDefault();
    Clock::time_point progress = DrainStart(port);
    // Our end of stream follows the data; the printer's kernel acknowledges it
    // once it holds every byte before it.
    if (end != DrainEnd::More && ::shutdown(fd, SHUT_WR) != 0) Fail(PortErrorCode::Write);
    int left = -1;
    bool peerEnded = false;
    Clock::time_point heard = Clock::now();
    std::optional<Clock::time_point> allTaken;
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, SIOCOUTQ, &queued) != 0) Fail(PortErrorCode::Write);
        const auto now = Clock::now();
        if (left >= 0 && queued < left) progress = now;
        left = queued;
        if (queued == 0) {
            if (end == DrainEnd::More || peerEnded) return true;
            if (!allTaken) allTaken = now;
            // Everything is there: a printer that talks on is not waited for
            // beyond the bound. One that is to confirm is waited for until it
            // closes, quiet or not (it may be busy with what it read).
            if (now >= *allTaken + stall) return end != DrainEnd::Confirmed;
            if (end == DrainEnd::Last && now >= std::max(*allTaken, heard) + QUIET) return true;
        } else if (now >= progress + stall) {
            FailWait(PortErrorCode::Write, Wait::Expired);
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
        if (job.Stopped()) FailWait(PortErrorCode::Write, Wait::Stopped);
        if (w == Wait::Expired || job.Expired()) FailWait(PortErrorCode::Write, Wait::Expired);
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
            Fail(PortErrorCode::Write);
        case Input::Quiet:
            break;
        }
    }
}

std::size_t ReadNetPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete*) {
    if (port.socket < 0) Fail(PortErrorCode::Read);
    if (count == 0) return 0;
    for (;;) {
        Wait w = WaitFor(port.socket, POLLIN, std::nullopt, job);
        if (w != Wait::Ready) FailWait(PortErrorCode::Read, w);
        ReadResult r = ReadOnce(port.socket, buffer, count, true);
        if (r.kind == ReadResult::Data) return r.count;
        if (r.kind == ReadResult::End) Fail(PortErrorCode::Read); // closed by the printer
    }
}

} // namespace portio
} // namespace pemberlux
