// The serial backend on real ptys: line settings, time-outs and failures as a
// printer on the other end of the line sees them.
#include "PortFixtures.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/port/Exchange.h"
#include "core/port/PortIo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utility>

namespace pemberlux::test {
namespace {

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseSerial(port, pty.Path());
        UseLine("9600", "None", "8", "1", "DTR");
    }

    // The line settings the next open takes.
    void UseLine(const char* baud, const char* parity, const char* dataBits, const char* stopBits, const char* flow) {
        port.settings.baudRate = baud;
        port.settings.parity = parity;
        port.settings.dataBits = dataBits;
        port.settings.stopBits = stopBits;
        port.settings.flowControl = flow;
    }

    void Write(const std::string& bytes) {
        port.SetData(bytes.data(), bytes.size());
        EXPECT_EQ(WriteComPort(port, {}), bytes.size());
    }

    Pty pty;
    PrinterPort port;
};

TEST_F(SerialPortTest, MissingDeviceOrNoSerialLineIsBusy) {
    port.comName = "/nonexistent/ttyS7";
    EXPECT_EQ(ErrorOf([&] { OpenComPort(port, {}); }), PortErrorCode::Busy);
    EXPECT_TRUE(AllClosed(port));

    TempDir dir;
    dir.Write("plain", "");
    port.comName = (dir / "plain").string();
    EXPECT_EQ(ErrorOf([&] { OpenPort(port, {}); }), PortErrorCode::Busy);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(SerialPortTest, OddParitySevenBitsTwoStopBitsHardwareHandshake) {
    UseLine("19200", "Odd", "7", "2", "DTR");
    termios before = pty.Line();
    before.c_iflag |= IXON | IXOFF;
    pty.SetLine(before);

    ASSERT_TRUE(OpenPort(port, {}));
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

    ASSERT_TRUE(OpenPort(port, {}));
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

    ASSERT_TRUE(OpenPort(port, {}));
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
    ASSERT_TRUE(OpenPort(port, {}));

    const std::string frame("\x1b\x0dS\n\x00\xff\x80\r", 8);
    Write(frame);
    EXPECT_EQ(pty.Receive(frame.size() + 1, 300ms), frame);

    const std::string reply("\r\n\x00\xfe", 4);
    pty.Send(reply);
    char buf[16];
    std::size_t n = ReadPort(port, buf, reply.size(), {});
    EXPECT_EQ(std::string(buf, n), reply);
}

TEST_F(SerialPortTest, ExchangeWithSimulatedPrinter) {
    sim::SimPrinter printer;
    sim::PtyPort line(printer);
    printer.SetDefaultAnswer({{{'O', 'K'}}, {{'!'}, 300ms}});
    port.comName = line.Path();
    ASSERT_TRUE(OpenPort(port, {}));
    Write("\x1b\x0dS?");
    // The answer comes in two parts; the read gathers both.
    char buf[64];
    std::size_t n = ReadPort(port, buf, sizeof buf, {});
    EXPECT_EQ(std::string(buf, n), "OK!");
    EXPECT_EQ(printer.Received(), sim::Bytes({0x1b, 0x0d, 'S', '?'}));
}

TEST_F(SerialPortTest, ReadEndsAboutOneSecondAfterTheLastByte) {
    ASSERT_TRUE(OpenPort(port, {}));
    std::thread printer([&] {
        pty.Send("AB");
        std::this_thread::sleep_for(500ms);
        pty.Send("CD");
    });
    Stopwatch watch;
    char buf[1000];
    std::size_t n = ReadPort(port, buf, sizeof buf, {}); // the total bound would be 4 s
    long long ms = watch.Ms();
    printer.join();
    EXPECT_EQ(std::string(buf, n), "ABCD");
    EXPECT_GE(ms, 1350);
}

TEST_F(SerialPortTest, ReadWithoutAnswerEndsAfterTheTotalBound) {
    ASSERT_TRUE(OpenPort(port, {}));
    Stopwatch watch;
    char buf[200];
    EXPECT_EQ(ReadPort(port, buf, sizeof buf, {}), 0u); // 1000 ms + 3 ms x 200
    EXPECT_GE(watch.Ms(), 1550);
}

TEST_F(SerialPortTest, ReadStopsAtTheRequestedCount) {
    ASSERT_TRUE(OpenPort(port, {}));
    pty.Send("0123456789");
    char buf[16];
    EXPECT_EQ(ReadPort(port, buf, 4, {}), 4u);
    EXPECT_EQ(std::string(buf, 4), "0123");
    // The rest waits for the next read.
    EXPECT_EQ(std::string(buf, ReadPort(port, buf, sizeof buf, {})), "456789");
}

TEST_F(SerialPortTest, AnswerLeftFromBeforeTheOpenIsDropped) {
    pty.Send("stale");
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(OpenPort(port, {}));
    pty.Send("fresh");
    char buf[16];
    std::size_t n = ReadPort(port, buf, sizeof buf, {});
    EXPECT_EQ(std::string(buf, n), "fresh");
}

TEST_F(SerialPortTest, ReadEndsWhenTheReplyIsWhole) {
    ASSERT_TRUE(OpenPort(port, {}));
    std::thread printer([&] {
        pty.Send("SN-");
        std::this_thread::sleep_for(200ms);
        pty.Send(std::string("0042\0", 5));
        // Well inside the second of silence a read without the rule would wait.
        std::this_thread::sleep_for(600ms);
        pty.Send("tail");
    });
    const ReplyComplete endsWithZero = [](const std::uint8_t* data, std::size_t size) {
        return std::find(data, data + size, 0) != data + size;
    };
    char buf[1024];
    const std::size_t n = ReadPort(port, buf, sizeof buf, {}, &endsWithZero);
    printer.join();
    EXPECT_EQ(std::string(buf, n), std::string("SN-0042\0", 8));
}

// The printer holds the line with XOFF and never releases it: after the write
// time-out (10 s + 3 ms per byte) nothing has gone and the write fails.
TEST_F(SerialPortTest, WriteHeldByXoffFailsAfterTheTimeOut) {
    port.settings.flowControl = "Xon/Xoff";
    ASSERT_TRUE(OpenPort(port, {}));
    ASSERT_TRUE(pty.SendXoff());
    const std::string frame(100, 'x');
    port.SetData(frame.data(), frame.size());
    Stopwatch watch;
    std::optional<PortError> e = Thrown([&] { WriteComPort(port, {}); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, PortErrorCode::Write);
    EXPECT_EQ(e->cause, PortError::Failed);
    EXPECT_GE(watch.Ms(), 9900);
    EXPECT_EQ(pty.Receive(1, 100ms), "");
    // The failed write leaves the port open for the caller to close.
    EXPECT_FALSE(AllClosed(port));
    ClosePort(port);
    EXPECT_TRUE(AllClosed(port));
}

TEST_F(SerialPortTest, WriteAndReadFailOnAHungUpLine) {
    ASSERT_TRUE(OpenPort(port, {}));
    pty.CloseMaster();
    port.SetData("abc", 3);
    EXPECT_EQ(ErrorOf([&] { WriteComPort(port, {}); }), PortErrorCode::Write);
    char buf[8];
    EXPECT_EQ(ErrorOf([&] { ReadPort(port, buf, sizeof buf, {}); }), PortErrorCode::Read);
}

// A program of the test's own, in a process group of its own, so that ending
// it also ends what it started.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
        if (posix_spawnp(&pid_, argv[0], nullptr, &attr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attr);
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(-pid_, SIGKILL);
            Wait();
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Running() {
        if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) != 0) pid_ = -1;
        return pid_ > 0;
    }
    // The exit status; -1 if it did not exit normally.
    int Wait() {
        int status = 0;
        pid_t pid = std::exchange(pid_, -1);
        if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
};

// Whether some open of `path` holds an exclusive lock on it.
bool Locked(const std::string& path) {
    FdGuard fd(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) return false;
    return errno == EWOULDBLOCK;
}

// Whether the line is in exclusive mode. A new open is refused (EBUSY) unless
// it is root's, which the kernel lets in; root asks the line itself.
bool Exclusive(const std::string& path) {
    FdGuard fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return errno == EBUSY;
    int exclusive = 0;
    return ::ioctl(fd.get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// What an open of `path` by an unprivileged user meets: 0 when it opens, else
// its errno. Root passes an exclusive line, hence the other user; -1 when the
// test can not become one.
int OpenAsAnotherUser(const std::string& path) {
    if (::geteuid() != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ::_exit(fd < 0 ? errno : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

// The printer hangs the line up in the middle of its reply, while its end of
// the pty lives on: the exchange fails, and the line is not left exclusive nor
// locked, though the program's descriptor of it refuses every request.
TEST_F(SerialPortTest, AHangUpMidReplyLeavesTheLineOpenToOthers) {
    if (::geteuid() != 0) GTEST_SKIP() << "hanging a line up and opening it as another user need root";
    sim::SimPrinter printer;
    sim::PtyPort line(printer);
    ::chmod(line.Path().c_str(), 0666); // the other user may open it, as far as the mode goes
    ASSERT_EQ(OpenAsAnotherUser(line.Path()), 0);
    printer.SetDefaultAnswer({{{'O', 'K'}}, {{}, 0ms, true}});
    port.comName = line.Path();

    ASSERT_TRUE(OpenPort(port, {}));
    EXPECT_EQ(OpenAsAnotherUser(line.Path()), EBUSY); // exclusive while the job runs
    ClosePort(port);

    const ReplyRule rule{64, nullptr, 2000ms, 1000ms};
    const std::uint8_t frame[] = {0x1b, 'R', 0x00};
    const ExchangeResult r = Exchange(port, frame, &rule, Deadline(30s));
    EXPECT_EQ(r.status, ExchangeResult::ReadFailed);
    ASSERT_EQ(line.Hangups(), 1u);
    EXPECT_TRUE(AllClosed(port));
    EXPECT_EQ(OpenAsAnotherUser(line.Path()), 0);
    EXPECT_FALSE(Locked(line.Path()));
}

// Another program holds the line with an exclusive lock: the exchange is refused
// as a busy port (message 145) and the printer gets nothing.
TEST_F(SerialPortTest, LineLockedByAnotherProgramIsBusy) {
    Program other({"flock", "-x", pty.Path(), "sleep", "60"});
    for (int i = 0; i < 500 && other.Running() && !Locked(pty.Path()); ++i)
        std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(Locked(pty.Path()));

    const std::uint8_t frame[] = {0x1b, 'R', 0x00};
    ExchangeResult r = SendFrame(port, frame, {});
    EXPECT_EQ(r.status, ExchangeResult::OpenFailed);
    EXPECT_EQ(r.code, PortErrorCode::Busy);
    EXPECT_EQ(ExchangeMessage(r, PORT_COM), (PortErrorMessage{StringId{145}, MessageIcon::Warning}));
    EXPECT_EQ(pty.Receive(1, 300ms), "");
    EXPECT_TRUE(AllClosed(port));
}

// While the port has the line open, the line is exclusive (another user's open
// is refused) and other programs that lock it are kept out.
TEST_F(SerialPortTest, OpenLineIsLockedAgainstOtherPrograms) {
    ASSERT_FALSE(Exclusive(pty.Path()));
    ASSERT_TRUE(OpenPort(port, {}));
    EXPECT_TRUE(Exclusive(pty.Path()));
    // It gives up (it may not even get the line open).
    EXPECT_GT(Program({"flock", "-n", "-x", pty.Path(), "true"}).Wait(), 0);
    ClosePort(port);
    EXPECT_FALSE(Exclusive(pty.Path()));
    EXPECT_EQ(Program({"flock", "-n", "-x", pty.Path(), "true"}).Wait(), 0);
}

} // namespace
} // namespace pemberlux::test
