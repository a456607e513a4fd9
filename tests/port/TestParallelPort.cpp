// The parallel backend on ptys and plain files.
#include "PortFixtures.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"

#include <gtest/gtest.h>

namespace pemberlux::test {
namespace {

class ParallelPortTest : public ::testing::Test {
protected:
    void SetUp() override { port.kind = PORT_LPT; }
    PrinterPort port;
};

TEST_F(ParallelPortTest, MissingDeviceFailsToOpen) {
    TempDir dir;
    port.lptName = (dir / "lp7").string();
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::Open);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(ParallelPortTest, WritesToADeviceThatIsNoTerminal) {
    TempDir dir;
    dir.Write("printer", "");
    port.lptName = (dir / "printer").string();
    ASSERT_TRUE(OpenPort(port, {}));
    const std::string frame("\x1b@\x00\xffZ", 5);
    port.SetData(frame.data(), frame.size());
    EXPECT_EQ(WriteLptPort(port, {}), frame.size());
    ClosePort(port);
    EXPECT_EQ(dir.Read("printer"), frame);
}

TEST_F(ParallelPortTest, FailingWriteThrows) {
    port.lptName = "/dev/full";
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData("abc", 3);
    EXPECT_EQ(ErrorOf([&] { WriteLptPort(port, {}); }), PortErrorCode::Write);
}

TEST_F(ParallelPortTest, ReadReturnsWhatArrived) {
    Pty pty;
    port.lptName = pty.Path();
    ASSERT_TRUE(OpenPort(port, {}));
    char buf[16];
    pty.Send("status");
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, {})), "status");
    // A read waits for bytes that are still to come.
    std::thread later([&] {
        std::this_thread::sleep_for(200ms);
        pty.Send("ready");
    });
    Stopwatch watch;
    std::size_t n = ReadPort(port, buf, sizeof buf, {});
    EXPECT_GE(watch.Ms(), 150);
    later.join();
    EXPECT_EQ(std::string(buf, n), "ready");
}

TEST_F(ParallelPortTest, WriteDropsWhatAnEarlierExchangeLeftBehind) {
    sim::SimPrinter printer;
    sim::PtyPort line(printer);
    printer.QueueAnswer({{'o', 'l', 'd'}});
    printer.QueueAnswer({{'n', 'e', 'w'}});
    port.lptName = line.Path();
    ASSERT_TRUE(OpenPort(port, {}));
    port.SetData("Q1", 2);
    EXPECT_EQ(WriteLptPort(port, {}), 2u);
    ASSERT_TRUE(printer.WaitForBytes(2, 2000ms));
    std::this_thread::sleep_for(200ms); // "old" is waiting, unread

    port.SetData("Q2", 2);
    EXPECT_EQ(WriteLptPort(port, {}), 2u);
    char buf[16];
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, Deadline(3000ms))), "new");
}

// A printer holding the line with XOFF: the write gives up after its time-out
// (10 s + 20 ms per byte) and reports what went, without failing.
TEST_F(ParallelPortTest, WriteHeldByThePrinterReturnsTheShortCount) {
    Pty pty;
    termios t = pty.Line();
    t.c_iflag |= IXON;
    pty.SetLine(t);
    port.lptName = pty.Path();
    ASSERT_TRUE(OpenPort(port, {}));
    ASSERT_TRUE(pty.SendXoff());
    const std::string frame(50, 'p');
    port.SetData(frame.data(), frame.size());
    Stopwatch watch;
    std::size_t written = WriteLptPort(port, {});
    EXPECT_LT(written, frame.size());
    EXPECT_GE(watch.Ms(), 10900);
}

} // namespace
} // namespace pemberlux::test
