// A pty whose printer side a test drives by hand.
#pragma once

#include "RawClient.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace pemberlux::test {

using namespace std::chrono_literals;

// What arrived on `fd` within `timeout`, stopping early at `count` bytes.
inline std::string ReceiveOn(int fd, std::size_t count, std::chrono::milliseconds timeout) {
    const RawBytes got = ReadFor(fd, count, timeout);
    return std::string(got.begin(), got.end());
}

// A pty pair: the program opens Path(); the test plays the printer on the master.
// The test also keeps the line open itself so it can look at the line settings.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("posix_openpt");
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("ptsname_r");
        path_ = name;
        line_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (line_ < 0) throw std::runtime_error("open " + path_);
        termios t{};
        ::tcgetattr(line_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(line_, TCSANOW, &t);
    }
    ~Pty() {
        CloseMaster();
        ::close(line_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Path() const { return path_; }
    termios Line() const {
        termios t{};
        ::tcgetattr(line_, &t);
        return t;
    }
    void SetLine(const termios& t) const { ::tcsetattr(line_, TCSANOW, &t); }

    // The printer sends.
    void Send(const std::string& bytes) const {
        if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("pty write");
    }
    // What the printer received within `timeout`, stopping early at `count` bytes.
    std::string Receive(std::size_t count, std::chrono::milliseconds timeout = 2000ms) const {
        return ReceiveOn(master_, count, timeout);
    }
    // The printer sends XOFF and waits until the line (which must take XON/XOFF)
    // has stopped its output; false if it never did.
    bool SendXoff() const {
        int on = 1;
        ::ioctl(master_, TIOCPKT, &on);
        Send("\x13");
        bool stopped = false;
        for (int i = 0; i < 50 && !stopped; ++i) {
            pollfd p{master_, POLLIN | POLLPRI, 0};
            char status = 0;
            if (::poll(&p, 1, 100) == 1 && ::read(master_, &status, 1) == 1) stopped = status & TIOCPKT_STOP;
        }
        int off = 0;
        ::ioctl(master_, TIOCPKT, &off);
        return stopped;
    }
    // The printer goes away: the program's side of the line hangs up.
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int line_ = -1;
    std::string path_;
};

} // namespace pemberlux::test
