// The simulator's transports as a client sees them: real sockets, ptys and files.
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

using namespace pemberlux::sim;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0) close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

int ConnectTcp(std::uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Opens a serial-like device as a client would: raw line, read and write.
int OpenLine(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

void WriteAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0);
        done += static_cast<std::size_t>(n);
    }
}

// Reads until `count` bytes came or `timeout` passed; end-of-file or an error
// ends it early (`ended` tells which).
Bytes ReadFor(int fd, std::size_t count, std::chrono::milliseconds timeout, bool* ended = nullptr) {
    Bytes out;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    if (ended) *ended = false;
    while (out.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        std::uint8_t buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            if (ended) *ended = true;
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

} // namespace

TEST(TcpServer, BytesReachPrinterAndScriptedAnswerComesBack) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Answer{B("OK"), 0ms, false}});
    TcpServer server(printer);
    ASSERT_NE(server.Port(), 0);
    FdGuard c(ConnectTcp(server.Port()));
    ASSERT_GE(c.get(), 0);
    WriteAll(c.get(), B("hello"));
    EXPECT_EQ(ReadFor(c.get(), 2, 3s), B("OK"));
    EXPECT_EQ(printer.Received(), B("hello"));
}

TEST(PtyPort, BytesReachPrinterAndScriptedAnswerComesBack) {
    SimPrinter printer;
    printer.SetDefaultAnswer({Answer{B("\x01\x02"), 0ms, false}});
    PtyPort pty(printer);
    FdGuard c(OpenLine(pty.Path()));
    ASSERT_GE(c.get(), 0);
    WriteAll(c.get(), B("ping"));
    EXPECT_EQ(ReadFor(c.get(), 2, 3s), B("\x01\x02"));
    EXPECT_TRUE(printer.WaitForBytes(4, 3s));
    EXPECT_EQ(printer.Received(), B("ping"));
}

TEST(FakeUsbTree, NodeRoundTrips) {
    pemberlux::test::TempDir dir;
    SimPrinter printer;
    printer.SetDefaultAnswer({Answer{B("U"), 0ms, false}});
    FakeUsbTree tree(dir.Path());
    std::string node = tree.AddPrinter(printer, "3A7E", "5E10");
    FdGuard c(OpenLine(node));
    ASSERT_GE(c.get(), 0);
    WriteAll(c.get(), B("x"));
    EXPECT_EQ(ReadFor(c.get(), 1, 3s), B("U"));
    std::ifstream in(tree.SysfsRoot() / "class/usbmisc/lp0/device/../idVendor");
    std::string vid;
    in >> vid;
    EXPECT_EQ(vid, "3a7e");
}
