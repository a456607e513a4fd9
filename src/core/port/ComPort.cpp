// Serial line through termios. "COMn" is /dev/ttyS(n-1); paths are used as
// they stand (/dev/ttyUSB0, a pty).
#include "core/port/PortIo.h"

#include "core/port/DeviceLock.h"

#include <algorithm>
#include <cstring>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace pemberlux {

using namespace portio;

namespace {

// Read: 1000 ms between bytes, 1000 ms + 3 ms per requested byte in all.
constexpr std::int64_t READ_INTERVAL_MS = 1000;
constexpr std::int64_t READ_TOTAL_MS = 1000;
constexpr std::int64_t READ_PER_BYTE_MS = 3;
// Write: 10000 ms + 3 ms per byte in all.
constexpr std::int64_t WRITE_TOTAL_MS = 10000;
constexpr std::int64_t WRITE_PER_BYTE_MS = 3;

constexpr cc_t XON_CHAR = 0x11;
constexpr cc_t XOFF_CHAR = 0x13;

bool SpeedFor(int baud, speed_t& speed) {
    static constexpr struct {
        int baud;
        speed_t speed;
    } table[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& e : table)
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    return false;
}

} // namespace

termios portio::SerialLineFor(const termios& current, const PortSettings& s) {
    termios t = current;
    // Printers talk binary: no echo, no line editing, no character translation.
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    speed_t speed;
    if (SpeedFor(TextToInt(s.baudRate), speed)) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }

    // Received parity is always checked when the line has parity.
    t.c_iflag |= INPCK;
    if (s.parity == "None") {
        t.c_cflag &= ~(PARENB | PARODD);
    } else if (s.parity == "Even") {
        t.c_cflag = (t.c_cflag | PARENB) & ~PARODD;
    } else if (s.parity == "Odd") {
        t.c_cflag |= PARENB | PARODD;
    }

    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    int bits = TextToInt(s.dataBits);
    if (bits >= 5 && bits <= 8) t.c_cflag = (t.c_cflag & ~CSIZE) | sizes[bits - 5];

    if (s.flowControl == "DTR") {
        // The printer's ready line as hardware handshake; Linux does it with RTS/CTS.
        t.c_cflag |= CRTSCTS;
        t.c_iflag &= ~(IXON | IXOFF);
    } else if (s.flowControl == "Xon/Xoff") {
        t.c_cflag &= ~CRTSCTS;
        t.c_iflag |= IXON | IXOFF;
        t.c_iflag &= ~IXANY;
        t.c_cc[VSTART] = XON_CHAR;
        t.c_cc[VSTOP] = XOFF_CHAR;
    }

    int stop = TextToInt(s.stopBits);
    if (stop == 1) t.c_cflag &= ~CSTOPB;
    if (stop == 2) t.c_cflag |= CSTOPB;
    return t;
}

bool OpenComPort(PrinterPort& port, const JobLimits& job) {
    ClosePort(port);
    const std::string path = DeviceNodeFor(port.comName, "COM", "/dev/ttyS");
    HoldDevice(port, DeviceKey(path), PortErrorCode::Busy, job);
    int fd = OpenDevice(path);
    auto busy = [&] {
        const int error = errno;
        CloseFd(fd);
        ClosePort(port);
        FailOpen(PortErrorCode::Busy, path, error);
    };
    if (fd < 0) busy();
    // Not a serial line (a plain file, a missing driver): treated like a busy port.
    if (tcgetattr(fd, &port.lineState) != 0) busy();
    // The line is ours alone: no other open of it (root is not kept out by
    // this), and a program that holds the line by a lock keeps us out.
    ::ioctl(fd, TIOCEXCL);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) busy();
    port.handles[0] = fd;
    port.lineNode = path;
    termios line = SerialLineFor(port.lineState, port.settings);
    tcsetattr(fd, TCSANOW, &line);
    // The device may still hold an answer meant for an earlier exchange.
    tcflush(fd, TCIFLUSH);
    return true;
}

std::size_t WriteComPort(PrinterPort& port, const JobLimits& job) {
    auto deadline = After(WRITE_TOTAL_MS + WRITE_PER_BYTE_MS * static_cast<std::int64_t>(port.length));
    std::size_t written = WriteBlock(port.handles[0], port.data, port.length, deadline, false, job, port.progress);
    if (written != port.length) Fail(PortErrorCode::Write);
    return written;
}

namespace portio {

bool DrainComPort(PrinterPort& port, const JobLimits& job, DrainEnd) {
    const int fd = port.handles[0];
    if (fd < 0) Fail(PortErrorCode::Write);
    // The driver's queue has no wake-up of its own (and tcdrain() would wait
    // without end on a line held by flow control): it is looked at in slices.
    const auto stall = job.StallOrDefault();
    Clock::time_point progress = DrainStart(port);
    int left = -1;
    for (;;) {
        int queued = 0;
        // A hung-up line refuses the question: what it held is lost.
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0) Fail(PortErrorCode::Write);
        if (queued <= 0) return true;
        const auto now = Clock::now();
        if (left >= 0 && queued < left) progress = now;
        left = queued;
        if (job.Stopped()) FailWait(PortErrorCode::Write, Wait::Stopped);
        if (job.Expired() || now >= progress + stall) FailWait(PortErrorCode::Write, Wait::Expired);
        SleepFor(job.stop, std::chrono::milliseconds(10));
    }
}

void ReleaseLine(PrinterPort& port) {
    const int fd = port.handles[0];
    if (fd < 0 || ::ioctl(fd, TIOCNXCL) == 0 || port.lineNode.empty()) return;
    // A hung-up descriptor refuses every request (EIO), yet the exclusive mode
    // is the line's, and the line lives on while anyone else holds it open
    // (the far end of a pty, another program): left set, it would keep every
    // later open out. A fresh descriptor of the node reaches the line again.
    // The kernel lets a new open past an exclusive line only with
    // CAP_SYS_ADMIN; without it nothing in user space can reach the line, and
    // it is free again when its last holder closes it.
    int fresh = OpenDevice(port.lineNode);
    if (fresh < 0) return;
    ::ioctl(fresh, TIOCNXCL);
    CloseFd(fresh);
}

std::size_t ReadComPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete* complete) {
    int fd = port.handles[0];
    if (fd < 0) Fail(PortErrorCode::Read);
    if (count == 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const auto total = After(READ_TOTAL_MS + READ_PER_BYTE_MS * static_cast<std::int64_t>(count));
    Clock::time_point lastByte{};
    std::size_t got = 0;
    bool waited = false;
    for (;;) {
        Wait w;
        if (got) {
            // A reply under way is read whole: only a stop cuts it short.
            const JobLimits gathering{job.stop};
            w = WaitFor(fd, POLLIN, std::min(total, lastByte + std::chrono::milliseconds(READ_INTERVAL_MS)), gathering);
        } else {
            w = WaitFor(fd, POLLIN, total, job);
        }
        if (w == Wait::TimedOut) return got;
        if (w != Wait::Ready) FailWait(PortErrorCode::Read, w);
        ReadResult r = ReadOnce(fd, out + got, count - got, false);
        if (r.kind == ReadResult::End) Fail(PortErrorCode::Read); // hung up
        if (r.kind == ReadResult::Nothing) {
            if (waited) Pause();
            waited = true;
            continue;
        }
        waited = false;
        got += r.count;
        lastByte = Clock::now();
        if (got == count || (complete && (*complete)(out, got))) return got;
    }
}

} // namespace portio
} // namespace pemberlux
