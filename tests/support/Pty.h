// A pty whose printer side a test drives by hand.
#pragma once

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace pemberlux::test {

using namespace std::chrono_literals;

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
        std::string got;
        auto end = std::chrono::steady_clock::now() + timeout;
        while (got.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buf[4096];
            ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0) break;
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
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
