// The serial backend on real ptys: line settings, time-outs and failures as a
// printer on the other end of the line sees them.
#include "PortFixtures.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "port/PortIo.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pemberlux::test {
namespace {

class SerialPortTest : public PortGlobalsTest {
protected:
    void SetUp() override {
        UseLine("9600", "None", "8", "1", "DTR");
        port.kind = PORT_COM;
        port.comName = pty.Path();
    }

    // The line settings the next open takes.
    static void UseLine(const char* baud, const char* parity, const char* dataBits, const char* stopBits,
                        const char* flow) {
        CurrentPortSettings.Update([&](PortSettings& s) {
            s.baudRate = baud;
            s.parity = parity;
            s.dataBits = dataBits;
            s.stopBits = stopBits;
            s.flowControl = flow;
        });
    }

    void Write(const std::string& bytes) {
        port.SetData(bytes.data(), bytes.size());
        EXPECT_EQ(WriteComPort(port), bytes.size());
    }

    Pty pty;
    PrinterPort port;
};

TEST_F(SerialPortTest, MissingDeviceOrNoSerialLineIsBusy) {
    port.comName = "/nonexistent/ttyS7";
    EXPECT_EQ(ErrorOf([&] { OpenComPort(port); }), PORT_ERR_BUSY);
    EXPECT_TRUE(AllClosed(port));

    TempDir dir;
    dir.Write("plain", "");
    port.comName = (dir / "plain").string();
    EXPECT_EQ(ErrorOf([&] { OpenPort(port); }), PORT_ERR_BUSY);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(SerialPortTest, OddParitySevenBitsTwoStopBitsHardwareHandshake) {
    UseLine("19200", "Odd", "7", "2", "DTR");
    termios before = pty.Line();
    before.c_iflag |= IXON | IXOFF;
    pty.SetLine(before);

    ASSERT_EQ(OpenPort(port), 1);
    termios t = pty.Line();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(cfgetispeed(&t), B19200);
    // A pty keeps no parity enable nor character size (see SerialLineTest).
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_TRUE(t.c_iflag & INPCK);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
    // The line as it was before is kept in the port.
    EXPECT_TRUE(port.lineState.c_iflag & IXON);
}

TEST_F(SerialPortTest, EvenParityEightBitsOneStopBitXonXoff) {
    UseLine("115200", "Even", "8", "1", "Xon/Xoff");
    termios before = pty.Line();
    before.c_cflag |= CSTOPB | CRTSCTS | PARODD;
    pty.SetLine(before);

    ASSERT_EQ(OpenPort(port), 1);
    termios t = pty.Line();
    EXPECT_EQ(cfgetospeed(&t), B115200);
    EXPECT_FALSE(t.c_cflag & PARODD);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
}

TEST_F(SerialPortTest, UnknownTextsLeaveWhatTheLineHad) {
    UseLine("14400", "Mark", "9", "3", "None");
    termios before = pty.Line();
    cfsetispeed(&before, B2400);
    cfsetospeed(&before, B2400);
    before.c_cflag |= PARODD | CSTOPB | CRTSCTS;
    pty.SetLine(before);

    ASSERT_EQ(OpenPort(port), 1);
    termios t = pty.Line();
    EXPECT_EQ(cfgetospeed(&t), B2400);
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
}

// Parity enable and character size, which a pty forces to "none" and 8 bits,
// checked on the line handed to the device.
TEST(SerialLineTest, ParityAndDataBits) {
    PortSettings s;
    termios had{};
    had.c_cflag = CS6 | PARENB | PARODD;
    auto line = [&](const char* parity, const char* bits) {
        s.parity = parity;
        s.dataBits = bits;
        return portio::SerialLineFor(had, s).c_cflag;
    };
    EXPECT_EQ(line("Odd", "7") & (PARENB | PARODD | CSIZE), tcflag_t(PARENB | PARODD | CS7));
    EXPECT_EQ(line("Even", "8") & (PARENB | PARODD | CSIZE), tcflag_t(PARENB | CS8));
    EXPECT_EQ(line("None", "5") & (PARENB | PARODD | CSIZE), tcflag_t(CS5));
    EXPECT_EQ(line("Space", "9") & (PARENB | PARODD | CSIZE), tcflag_t(PARENB | PARODD | CS6));
    EXPECT_EQ(line("odd", "") & (PARENB | PARODD | CSIZE), tcflag_t(PARENB | PARODD | CS6));
}

TEST_F(SerialPortTest, BytesPassUnchangedBothWays) {
    // A line left in cooked mode by someone else must not touch the frames.
    termios cooked = pty.Line();
    cooked.c_iflag |= ICRNL | ISTRIP;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO;
    pty.SetLine(cooked);
    ASSERT_EQ(OpenPort(port), 1);

    const std::string frame("\x1b\x0dS\n\x00\xff\x80\r", 8);
    Write(frame);
    EXPECT_EQ(pty.Receive(frame.size() + 1, 300ms), frame);

    const std::string reply("\r\n\x00\xfe", 4);
    pty.Send(reply);
    char buf[16];
    std::size_t n = ReadPort(port, buf, reply.size());
    EXPECT_EQ(std::string(buf, n), reply);
}

TEST_F(SerialPortTest, ExchangeWithSimulatedPrinter) {
    sim::SimPrinter printer;
    sim::PtyPort line(printer);
    printer.SetDefaultAnswer({{{'O', 'K'}}, {{'!'}, 300ms}});
    port.comName = line.Path();
    ASSERT_EQ(OpenPort(port), 1);
    Write("\x1b\x0dS?");
    // The answer comes in two parts; the read gathers both.
    char buf[64];
    std::atomic<bool> abort{false};
    std::size_t n = ReadPort(port, buf, sizeof buf, abort);
    EXPECT_EQ(std::string(buf, n), "OK!");
    EXPECT_EQ(printer.Received(), sim::Bytes({0x1b, 0x0d, 'S', '?'}));
}

TEST_F(SerialPortTest, ReadEndsAboutOneSecondAfterTheLastByte) {
    ASSERT_EQ(OpenPort(port), 1);
    std::thread printer([&] {
        pty.Send("AB");
        std::this_thread::sleep_for(500ms);
        pty.Send("CD");
    });
    Stopwatch watch;
    char buf[1000];
    std::size_t n = ReadPort(port, buf, sizeof buf); // the total bound would be 4 s
    long long ms = watch.Ms();
    printer.join();
    EXPECT_EQ(std::string(buf, n), "ABCD");
    EXPECT_GE(ms, 1350);
    EXPECT_LT(ms, 3000);
}

TEST_F(SerialPortTest, ReadWithoutAnswerEndsAfterTheTotalBound) {
    ASSERT_EQ(OpenPort(port), 1);
    Stopwatch watch;
    char buf[200];
    EXPECT_EQ(ReadPort(port, buf, sizeof buf), 0u); // 1000 ms + 3 ms x 200
    long long ms = watch.Ms();
    EXPECT_GE(ms, 1550);
    EXPECT_LT(ms, 3000);
}

TEST_F(SerialPortTest, ReadReturnsAtOnceWhenTheBufferIsFull) {
    ASSERT_EQ(OpenPort(port), 1);
    pty.Send("0123456789");
    Stopwatch watch;
    char buf[4];
    EXPECT_EQ(ReadPort(port, buf, sizeof buf), 4u);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_LT(watch.Ms(), 800);
}

TEST_F(SerialPortTest, AnswerLeftFromBeforeTheOpenIsDropped) {
    pty.Send("stale");
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(OpenPort(port), 1);
    pty.Send("fresh");
    char buf[16];
    std::atomic<bool> abort{false};
    std::size_t n = ReadPort(port, buf, sizeof buf, abort);
    EXPECT_EQ(std::string(buf, n), "fresh");
}

TEST_F(SerialPortTest, ReplyLoopReadEndsWhenTheReplyIsWhole) {
    ASSERT_EQ(OpenPort(port), 1);
    std::thread printer([&] {
        pty.Send("SN-");
        std::this_thread::sleep_for(200ms);
        pty.Send(std::string("0042\0", 5));
    });
    const ReplyComplete endsWithZero = [](const std::uint8_t* data, std::size_t size) {
        return std::find(data, data + size, 0) != data + size;
    };
    std::atomic<bool> abort{false};
    Stopwatch watch;
    char buf[1024];
    const std::size_t n = ReadPort(port, buf, sizeof buf, abort, endsWithZero);
    const long long ms = watch.Ms();
    printer.join();
    EXPECT_EQ(std::string(buf, n), std::string("SN-0042\0", 8));
    EXPECT_LT(ms, 900) << "no second of silence needed once the reply is whole";
}

TEST_F(SerialPortTest, BoundedReadGivesUpWhenAborted) {
    ASSERT_EQ(OpenPort(port), 1);
    ExpectReadGivesUpOnAbort(port, 2000); // the line's own bound would be 7 s
}

// The printer holds the line with XOFF and never releases it: after the write
// time-out (10 s + 3 ms per byte) nothing has gone and the write fails.
TEST_F(SerialPortTest, WriteHeldByXoffFailsAfterTheTimeOut) {
    CurrentPortSettings.Update([&](PortSettings& s) { s.flowControl = "Xon/Xoff"; });
    ASSERT_EQ(OpenPort(port), 1);
    pty.Send("\x13");
    std::this_thread::sleep_for(100ms);
    const std::string frame(100, 'x');
    port.SetData(frame.data(), frame.size());
    Stopwatch watch;
    EXPECT_EQ(ErrorOf([&] { WriteComPort(port); }), PORT_ERR_WRITE);
    long long ms = watch.Ms();
    EXPECT_GE(ms, 9900);
    EXPECT_LT(ms, 14000);
    EXPECT_EQ(pty.Receive(1, 100ms), "");
    // The failed write leaves the port open for the caller to close.
    EXPECT_FALSE(AllClosed(port));
    EXPECT_EQ(ClosePort(port), 1);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(SerialPortTest, WriteAndReadFailOnAHungUpLine) {
    ASSERT_EQ(OpenPort(port), 1);
    pty.CloseMaster();
    port.SetData("abc", 3);
    EXPECT_EQ(ErrorOf([&] { WriteComPort(port); }), PORT_ERR_WRITE);
    char buf[8];
    Stopwatch watch;
    EXPECT_EQ(ErrorOf([&] { ReadPort(port, buf, sizeof buf); }), PORT_ERR_READ);
    EXPECT_LT(watch.Ms(), 800);
}

} // namespace
} // namespace pemberlux::test
