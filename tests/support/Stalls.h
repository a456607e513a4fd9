// Printers that do not cooperate, for tests and benchmarks of jobs that block:
// a TCP listener that never answers a connect or never reads, a print port
// that talks first, a USB printer tree whose node the caller serves, and a
// line held by flow control.
#pragma once

#include "Pty.h"
#include "RawClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace pemberlux::test {

// A TCP listener on 127.0.0.1; with `stalled`, its queue is full, so a connect
// to it is never answered.
class Listener {
public:
    explicit Listener(bool stalled) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd_, 0) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("listener");
        port_ = ntohs(a.sin_port);
        if (stalled) {
            // One connection fills a queue of length 0: later handshakes are dropped.
            filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (::connect(filler_, reinterpret_cast<sockaddr*>(&a), len) != 0) throw std::runtime_error("filler");
        }
    }
    ~Listener() {
        if (filler_ >= 0) ::close(filler_);
        ::close(fd_);
    }
    std::uint16_t Port() const { return port_; }
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
    int filler_ = -1;
    std::uint16_t port_ = 0;
};

// A print port that greets every client with a few status bytes, as many
// printers do, then reads everything until the client's end of stream and
// closes; one client after another. The test never reads the greeting.
class GreetingPort {
public:
    explicit GreetingPort(std::string greeting) : greeting_(std::move(greeting)), listener_(false) {
        thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
    }
    std::uint16_t Port() const { return listener_.Port(); }
    // Everything read from every client.
    std::string Received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    // Waits until `count` bytes were read in all and the client that sent the
    // last of them has ended its stream.
    bool WaitForWhole(std::size_t count, std::chrono::milliseconds bound) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return received_.size() >= count && !serving_; });
    }

private:
    void Serve(const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            pollfd p{listener_.Fd(), POLLIN, 0};
            if (::poll(&p, 1, 20) != 1) continue;
            FdGuard client(::accept4(listener_.Fd(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.get() < 0) continue;
            Set(true);
            (void)!::send(client.get(), greeting_.data(), greeting_.size(), MSG_NOSIGNAL);
            char buffer[65536];
            while (!stop.stop_requested()) {
                pollfd c{client.get(), POLLIN, 0};
                if (::poll(&c, 1, 20) != 1) continue;
                const ssize_t n = ::recv(client.get(), buffer, sizeof buffer, 0);
                if (n <= 0) break;
                std::lock_guard lock(mutex_);
                received_.append(buffer, static_cast<std::size_t>(n));
            }
            Set(false);
        }
    }
    void Set(bool serving) {
        {
            std::lock_guard lock(mutex_);
            serving_ = serving;
        }
        changed_.notify_all();
    }

    std::string greeting_;
    Listener listener_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string received_;
    bool serving_ = false;
    std::jthread thread_;
};

// A print port that takes one transfer and then ends it its own way, after a
// spell of `pause` in which it reads nothing (a printer erasing its flash):
// Closes reads on up to the client's end of stream and closes, as a raw print
// port does; Holds reads everything too, and keeps the connection open until
// it is destroyed; GivesUp closes with the transfer's rest unread, which
// resets the connection.
class EndingPort {
public:
    enum End { Closes, Holds, GivesUp };
    EndingPort(End end, std::chrono::milliseconds pause) : end_(end), pause_(pause), listener_(false) {
        thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
    }
    std::uint16_t Port() const { return listener_.Port(); }
    std::size_t Received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    // Waits for `fd` to be readable; false when stopped first.
    static bool Readable(int fd, const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) == 1) return true;
        }
        return false;
    }
    void Serve(const std::stop_token& stop) {
        if (!Readable(listener_.Fd(), stop)) return;
        FdGuard client(::accept4(listener_.Fd(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.get() < 0 || !Readable(client.get(), stop)) return;
        char buffer[65536];
        if (end_ == GivesUp) {
            // The first bytes only: the rest stays unread in the socket.
            Take(::recv(client.get(), buffer, 4, 0));
            Sleep(stop);
            const linger abort{1, 0};
            ::setsockopt(client.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return;
        }
        Sleep(stop);
        while (Readable(client.get(), stop) && Take(::recv(client.get(), buffer, sizeof buffer, 0))) {
        }
        if (end_ == Holds) Readable(-1, stop);
    }
    void Sleep(const std::stop_token& stop) const {
        for (auto until = std::chrono::steady_clock::now() + pause_;
             !stop.stop_requested() && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Counts what a read brought; false at the end of the stream.
    bool Take(ssize_t n) {
        if (n <= 0) return false;
        std::lock_guard lock(mutex_);
        received_ += static_cast<std::size_t>(n);
        return true;
    }

    End end_;
    std::chrono::milliseconds pause_;
    Listener listener_;
    mutable std::mutex mutex_;
    std::size_t received_ = 0;
    std::jthread thread_;
};

// One USB printer (lp0, 3a7e:5e10) whose node is `node`, laid out as the kernel does.
inline void MakeUsbTree(const std::filesystem::path& root, const std::string& node) {
    const std::filesystem::path device = root / "sys/devices/usb1/1-1";
    const std::filesystem::path entry = device / "1-1:1.0/usbmisc/lp0";
    std::filesystem::create_directories(entry);
    std::filesystem::create_directories(root / "sys/class/usbmisc");
    std::filesystem::create_directories(root / "dev/usb");
    std::ofstream(device / "idVendor") << "3a7e\n";
    std::ofstream(device / "idProduct") << "5e10\n";
    std::ofstream(entry / "uevent") << "MAJOR=180\nMINOR=0\nDEVNAME=usb/lp0\n";
    std::filesystem::create_directory_symlink("../../../1-1:1.0", entry / "device");
    std::filesystem::create_directory_symlink(entry, root / "sys/class/usbmisc/lp0");
    std::filesystem::create_symlink(node, root / "dev/usb/lp0");
}

// The printer says XOFF: the line takes nothing more until XON.
inline void HoldOutput(const Pty& line) {
    termios t = line.Line();
    t.c_iflag |= IXON;
    line.SetLine(t);
    if (!line.SendXoff()) throw std::runtime_error("the line does not stop");
}

} // namespace pemberlux::test
