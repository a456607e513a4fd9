// Helpers for the port layer tests: printers the test drives by hand at the far
// end of a pty, a loopback socket or a USB node, a stopwatch, a stop requested
// from another thread, and a guard that restores the process-wide settings.
#pragma once

#include "Pty.h"
#include "RawClient.h"
#include "core/port/PrinterPort.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pemberlux::test {

using namespace std::chrono_literals;

inline sockaddr_in Loopback(std::uint16_t port = 0) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    return addr;
}

// A listening socket on 127.0.0.1 at a free port; `backlog` as listen() takes it.
inline int Listen(std::uint16_t& port, int backlog, int receiveBuffer = 0) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Taken over by accepted connections; a fixed size also stops the kernel growing it.
    if (receiveBuffer) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in addr = Loopback();
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("listen");
    port = ntohs(addr.sin_port);
    return fd;
}

// A loopback port that nobody listens on.
inline std::uint16_t ClosedPort() {
    FdGuard fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr = Loopback();
    socklen_t len = sizeof addr;
    ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

// A printer on a loopback TCP port that the test drives by hand: it accepts
// one client, then receives and sends what the test says. With a receive
// buffer size given it holds little of what the client sends unread.
class SocketPrinter {
public:
    explicit SocketPrinter(int receiveBuffer = 0) : listener_(Listen(port_, 1, receiveBuffer)) {}

    std::uint16_t Port() const { return port_; }
    // Waits for the client; false if none came.
    bool Accept(std::chrono::milliseconds timeout = 5000ms) {
        if (client_.get() >= 0) return true;
        pollfd p{listener_.get(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1) return false;
        client_.reset(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        return client_.get() >= 0;
    }
    std::string Receive(std::size_t count, std::chrono::milliseconds timeout = 2000ms) {
        return Accept(timeout) ? ReceiveOn(client_.get(), count, timeout) : std::string();
    }
    // The client may have gone already: nothing to report then.
    void Send(const std::string& bytes) {
        if (Accept()) (void)!::send(client_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

private:
    std::uint16_t port_ = 0;
    FdGuard listener_;
    FdGuard client_;
};

// A listener that never accepts, its queue full: further connection requests
// go unanswered, so a connect to it hangs.
class SilentListener {
public:
    SilentListener() : listener_(Listen(port_, 0)) {
        const sockaddr_in addr = Loopback(port_);
        for (int i = 0; i < 16 && !full_; ++i) {
            int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
            pollfd p{fd, POLLOUT, 0};
            full_ = ::poll(&p, 1, 300) == 0;
            queued_.emplace_back(fd);
        }
    }
    std::uint16_t Port() const { return port_; }
    bool Full() const { return full_; }

private:
    std::uint16_t port_ = 0;
    FdGuard listener_;
    bool full_ = false;
    std::deque<FdGuard> queued_; // not moved when it grows
};

// A USB printer node whose transfers complete only once the printer side has
// taken every byte, as with the usblp driver: a write returns as soon as the
// transfer is queued, and the node reports writable again only when it is done.
// A pipe with room for one transfer stands in for `node`; the test reads the
// printer's end.
class TransferNode {
public:
    explicit TransferNode(const std::filesystem::path& node) {
        std::filesystem::remove(node);
        if (::mkfifo(node.c_str(), 0600) != 0) throw std::runtime_error("mkfifo");
        printer_.reset(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (printer_.get() < 0 || ::fcntl(printer_.get(), F_SETPIPE_SZ, 4096) < 0)
            throw std::runtime_error("transfer node");
    }
    // Bytes of the transfer under way that the printer has not taken yet.
    std::size_t Pending() const {
        int n = 0;
        ::ioctl(printer_.get(), FIONREAD, &n);
        return static_cast<std::size_t>(n);
    }
    // The printer takes up to `count` bytes of what is there.
    std::string Take(std::size_t count) {
        std::string bytes(count, '\0');
        ssize_t n = ::read(printer_.get(), bytes.data(), count);
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return bytes;
    }

private:
    FdGuard printer_;
};

class Stopwatch {
public:
    long long Ms() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Runs `call` and hands back the PortError it threw, if any.
template <class F> std::optional<PortError> Thrown(F&& call) {
    try {
        call();
    } catch (const PortError& e) {
        return e;
    }
    return std::nullopt;
}

// Runs `call` and hands back the PortError code it threw, or None.
template <class F> PortErrorCode ErrorOf(F&& call) {
    std::optional<PortError> e = Thrown(std::forward<F>(call));
    return e ? e->code : PortErrorCode::None;
}

// A job that another thread stops after `delay` (a window closing under it).
class StopAfter {
public:
    explicit StopAfter(std::chrono::milliseconds delay)
        : thread_([this, delay](std::stop_token cancelled) {
              std::mutex m;
              std::condition_variable_any cv;
              std::unique_lock lock(m);
              if (!cv.wait_for(lock, cancelled, delay, [] { return false; })) source_.request_stop();
          }) {}
    JobLimits Job() const { return {source_.get_token()}; }

private:
    std::stop_source source_;
    std::jthread thread_;
};

// A job that ends `ms` from now.
inline JobLimits Deadline(std::chrono::milliseconds ms) {
    return {{}, JobClock::now() + ms};
}

inline bool AllClosed(const PrinterPort& port) {
    for (int fd : port.handles)
        if (fd >= 0) return false;
    return port.socket < 0;
}

inline void UseSerial(PrinterPort& port, const std::string& path) {
    port.kind = PORT_COM;
    port.comName = path;
    port.settings.baudRate = "9600";
    port.settings.parity = "None";
    port.settings.dataBits = "8";
    port.settings.stopBits = "1";
    port.settings.flowControl = "None";
}

inline void UseNetwork(PrinterPort& port, std::uint16_t tcpPort) {
    port.kind = PORT_LAN;
    port.settings.ipAddress = "127.0.0.1";
    port.settings.tcpPort = tcpPort;
}

// Keeps the process-wide records a port snapshot is taken from as a test found them.
class PortGlobalsTest : public ::testing::Test {
protected:
    void TearDown() override {
        CurrentPortSettings = savedSettings_;
        UsbVendorId = savedVendor_;
        UsbSecondId = savedSecond_;
        UsbVendorOnly = savedVendorOnly_;
    }

private:
    PortSettings savedSettings_ = CurrentPortSettings;
    std::string savedVendor_ = UsbVendorId;
    std::string savedSecond_ = UsbSecondId;
    int savedVendorOnly_ = UsbVendorOnly;
};

} // namespace pemberlux::test
