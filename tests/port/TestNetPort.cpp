// The network backend against the simulated printer's TCP server on loopback.
#include "PortFixtures.h"
#include "SimPrinter.h"
#include "Transports.h"

#include <gtest/gtest.h>

#include <memory>

namespace pemberlux::test {
namespace {

class NetPortTest : public ::testing::Test {
protected:
    void SetUp() override { UseNetwork(port, server.Port()); }

    sim::SimPrinter printer;
    sim::TcpServer server{printer};
    PrinterPort port;
};

TEST_F(NetPortTest, RefusedConnectionFailsToOpen) {
    port.settings.tcpPort = ClosedPort();
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::Open);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(NetPortTest, AddressMustBeNumeric) {
    port.settings.ipAddress = "localhost";
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::Open);
    EXPECT_TRUE(AllClosed(port));
}

// A host name's addresses are tried in turn: one that refuses, or that this
// machine cannot reach, gives way to the next.
TEST_F(NetPortTest, ResolvedAddressesAreTriedInTurn) {
    port.settings.ipAddress = "printer.example";
    port.settings.resolvedAddresses = {"::1", "127.0.0.1"};
    printer.SetDefaultAnswer({{{'o', 'k'}}});
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData("?", 1);
    EXPECT_EQ(WriteNetPort(port, {}), 1u);
    char buf[4];
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, Deadline(5000ms))), "ok");
    ClosePort(port);
    port.settings.resolvedAddresses = {"::1"};
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::Open);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(NetPortTest, IPv6AddressReachesAPrinterOnIt) {
    sim::SimPrinter v6printer;
    std::unique_ptr<sim::TcpServer> v6;
    try {
        v6 = std::make_unique<sim::TcpServer>(v6printer, 0, "::1");
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no IPv6 loopback here: " << e.what();
    }
    port.settings.ipAddress = "::1";
    port.settings.tcpPort = v6->Port();
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData("v6", 2);
    EXPECT_EQ(WriteNetPort(port, {}), 2u);
    EXPECT_TRUE(v6printer.WaitForBytes(2, 5000ms));
    EXPECT_EQ(v6printer.Received(), (sim::Bytes{'v', '6'}));
}

TEST_F(NetPortTest, ConnectGivesUpAfterAboutTwentySeconds) {
    SilentListener silent;
    ASSERT_TRUE(silent.Full());
    port.settings.tcpPort = silent.Port();
    Stopwatch watch;
    std::optional<PortError> e = Thrown([&] { OpenPort(port, {}); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, PortErrorCode::Open);
    EXPECT_EQ(e->cause, PortError::Failed);
    EXPECT_GE(watch.Ms(), 19000);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(NetPortTest, ExchangeWithThePrinter) {
    printer.SetDefaultAnswer({{{0x00, 0xff, 'O', 'K'}}});
    ASSERT_TRUE(OpenPort(port, {}));
    const std::string frame("\x1b\x0dS\x00\x80", 5);
    port.SetData(frame.data(), frame.size());
    EXPECT_EQ(WriteNetPort(port, {}), frame.size());
    char buf[16];
    std::size_t n = ReadPort(port, buf, sizeof buf, {});
    EXPECT_EQ(std::string(buf, n), std::string("\x00\xffOK", 4));
    EXPECT_EQ(printer.Received(), sim::Bytes(frame.begin(), frame.end()));
}

TEST_F(NetPortTest, LargeBlockArrivesWhole) {
    ASSERT_TRUE(OpenPort(port, {}));
    std::string block(3 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7);
    port.SetData(block.data(), block.size());
    EXPECT_EQ(WriteNetPort(port, {}), block.size());
    ASSERT_TRUE(printer.WaitForBytes(block.size(), 10000ms));
    EXPECT_EQ(printer.Received(), sim::Bytes(block.begin(), block.end()));
}

TEST_F(NetPortTest, EmptyBlockSendsNothing) {
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData(nullptr, 0);
    EXPECT_EQ(WriteNetPort(port, {}), 0u);
}

TEST_F(NetPortTest, ConnectionClosedByThePrinter) {
    printer.SetDefaultAnswer({{{}, 0ms, true}});
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData("?", 1);
    WriteNetPort(port, {});
    char buf[16];
    EXPECT_EQ(ErrorOf([&] { ReadPort(port, buf, sizeof buf, {}); }), PortErrorCode::Read);
    // Writing on is refused too, and the program is not killed by a broken pipe.
    PortErrorCode code = PortErrorCode::None;
    for (int i = 0; i < 20 && code == PortErrorCode::None; ++i) {
        code = ErrorOf([&] { WriteNetPort(port, {}); });
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(code, PortErrorCode::Write);
}

TEST_F(NetPortTest, ReadWaitsForTheAnswer) {
    printer.SetDefaultAnswer({{{'h', 'i'}, 200ms}});
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData("?", 1);
    WriteNetPort(port, {});
    char buf[16];
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, Deadline(5000ms))), "hi");
}

} // namespace
} // namespace pemberlux::test
