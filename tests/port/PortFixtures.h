// Helpers for the port layer tests: a pty whose printer side the test drives by
// hand, a stopwatch, and guards that restore the process-wide settings.
#pragma once

#include "port/PrinterPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <thread>
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

class Stopwatch {
public:
    long long Ms() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Runs `call` and hands back the PortError code it threw, or 0.
template <class F> int ErrorOf(F&& call) {
    try {
        call();
    } catch (const PortError& e) {
        return e.code;
    }
    return 0;
}

// Sets `flag` after `delay` on a thread of its own (a page's reply timer).
class AbortAfter {
public:
    AbortAfter(std::atomic<bool>& flag, std::chrono::milliseconds delay)
        : thread_([&flag, delay] {
              std::this_thread::sleep_for(delay);
              flag = true;
          }) {}
    ~AbortAfter() { thread_.join(); }

private:
    std::thread thread_;
};

// A reply loop's read with no answer coming: the reply timer's abort, set after
// 300 ms, ends it promptly with nothing.
inline void ExpectReadGivesUpOnAbort(PrinterPort& port, std::size_t count = 16) {
    std::atomic<bool> abort{false};
    AbortAfter timer(abort, 300ms);
    Stopwatch watch;
    std::string buf(count, '\0');
    EXPECT_EQ(ReadPort(port, buf.data(), count, abort), 0u);
    long long ms = watch.Ms();
    EXPECT_GE(ms, 250);
    EXPECT_LT(ms, 1500);
}

inline bool AllClosed(const PrinterPort& port) {
    for (int fd : port.handles)
        if (fd >= 0) return false;
    return port.socket < 0;
}

// Keeps the process-wide records the layer reads as a test found them.
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
