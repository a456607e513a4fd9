// Printers that do not cooperate, for tests and benchmarks of jobs that block:
// a TCP listener that never answers a connect or never reads, a USB printer
// tree whose node the caller serves, and a line held by flow control.
#pragma once

#include "Pty.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

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

private:
    int fd_ = -1;
    int filler_ = -1;
    std::uint16_t port_ = 0;
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
