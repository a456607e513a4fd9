// The network backend against the simulated printer's TCP server on loopback.
#include "PortFixtures.h"
#include "SimPrinter.h"
#include "Transports.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <vector>

namespace pemberlux::test {
namespace {

// A loopback port that nobody listens on.
std::uint16_t ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// A listener that never accepts, its queue full: further connection requests
// go unanswered, so a connect to it hangs. Returns the port.
class SilentListener {
public:
    SilentListener() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(listener_, 0);
        socklen_t len = sizeof addr;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        for (int i = 0; i < 16; ++i) {
            int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 300) == 0) {
                ::close(fd);
                full_ = true;
                break;
            }
            queued_.push_back(fd);
        }
    }
    ~SilentListener() {
        for (int fd : queued_)
            ::close(fd);
        ::close(listener_);
    }
    std::uint16_t Port() const { return port_; }
    bool Full() const { return full_; }

private:
    int listener_;
    std::uint16_t port_ = 0;
    bool full_ = false;
    std::vector<int> queued_;
};

class NetPortTest : public PortGlobalsTest {
protected:
    void SetUp() override {
        port.kind = PORT_LAN;
        CurrentPortSettings.Update([&](PortSettings& s) {
            s.ipAddress = "127.0.0.1";
            s.tcpPort = server.Port();
        });
    }

    sim::SimPrinter printer;
    sim::TcpServer server{printer};
    PrinterPort port;
};

TEST_F(NetPortTest, RefusedConnectionFailsToOpen) {
    CurrentPortSettings.Update([&](PortSettings& s) { s.tcpPort = ClosedPort(); });
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_OPEN);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(NetPortTest, AddressMustBeNumeric) {
    CurrentPortSettings.Update([&](PortSettings& s) { s.ipAddress = "localhost"; });
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_OPEN);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(NetPortTest, ConnectGivesUpAfterAboutTwentySeconds) {
    SilentListener silent;
    ASSERT_TRUE(silent.Full());
    CurrentPortSettings.Update([&](PortSettings& s) { s.tcpPort = silent.Port(); });
    Stopwatch watch;
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_OPEN);
    long long ms = watch.Ms();
    EXPECT_GE(ms, 19000);
    EXPECT_LT(ms, 26000);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(NetPortTest, ExchangeWithThePrinter) {
    printer.SetDefaultAnswer({{{0x00, 0xff, 'O', 'K'}}});
    ASSERT_EQ(OpenPort(port), 1);
    const std::string frame("\x1b\x0dS\x00\x80", 5);
    port.SetData(frame.data(), frame.size());
    EXPECT_EQ(WriteNetPort(port), frame.size());
    char buf[16];
    std::size_t n = ReadPort(port, buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n), std::string("\x00\xffOK", 4));
    EXPECT_EQ(printer.Received(), sim::Bytes(frame.begin(), frame.end()));
}

TEST_F(NetPortTest, LargeBlockArrivesWhole) {
    ASSERT_EQ(OpenPort(port), 1);
    std::string block(3 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7);
    port.SetData(block.data(), block.size());
    EXPECT_EQ(WriteNetPort(port), block.size());
    ASSERT_TRUE(printer.WaitForBytes(block.size(), 10000ms));
    EXPECT_EQ(printer.Received(), sim::Bytes(block.begin(), block.end()));
}

TEST_F(NetPortTest, EmptyBlockSendsNothing) {
    ASSERT_EQ(OpenPort(port), 1);
    port.SetData(nullptr, 0);
    EXPECT_EQ(WriteNetPort(port), 0u);
}

TEST_F(NetPortTest, ConnectionClosedByThePrinter) {
    printer.SetDefaultAnswer({{{}, 0ms, true}});
    ASSERT_EQ(OpenPort(port), 1);
    port.SetData("?", 1);
    WriteNetPort(port);
    char buf[16];
    EXPECT_EQ(ErrorOf([&] { ReadPort(port, buf, sizeof buf); }), PORT_ERR_READ);
    // Writing on is refused too, and the program is not killed by a broken pipe.
    int code = 0;
    for (int i = 0; i < 20 && !code; ++i) {
        code = ErrorOf([&] { WriteNetPort(port); });
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(code, PORT_ERR_WRITE);
}

TEST_F(NetPortTest, BoundedReadGivesUpWhenAborted) {
    ASSERT_EQ(OpenPort(port), 1);
    ExpectReadGivesUpOnAbort(port);
}

TEST_F(NetPortTest, BoundedReadReturnsTheAnswer) {
    printer.SetDefaultAnswer({{{'h', 'i'}, 200ms}});
    ASSERT_EQ(OpenPort(port), 1);
    port.SetData("?", 1);
    WriteNetPort(port);
    std::atomic<bool> abort{false};
    char buf[16];
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, abort)), "hi");
}

} // namespace
} // namespace pemberlux::test
