// Parallel port: "LPTn" is /dev/lp(n-1); paths are used as they stand.
#include "core/port/PortIo.h"

#include "core/port/DeviceLock.h"

#include <termios.h>

namespace pemberlux {

using namespace portio;

namespace {

// Write: 10000 ms + 20 ms per byte in all; reads never wait.
constexpr std::int64_t WRITE_TOTAL_MS = 10000;
constexpr std::int64_t WRITE_PER_BYTE_MS = 20;

} // namespace

bool OpenLptPort(PrinterPort& port, const JobLimits& job) {
    ClosePort(port);
    const std::string path = DeviceNodeFor(port.lptName, "LPT", "/dev/lp");
    HoldDevice(port, DeviceKey(path), PortErrorCode::Open, job);
    int fd = OpenDevice(path);
    if (fd < 0) {
        const int error = errno;
        ClosePort(port);
        FailOpen(PortErrorCode::Open, path, error);
    }
    port.handles[0] = fd;
    return true;
}

std::size_t WriteLptPort(PrinterPort& port, const JobLimits& job) {
    int fd = port.handles[0];
    // Drop the answers an earlier exchange left unread. Output is not dropped:
    // what still waits in the line was reported written, and dropping it would
    // cut a hole in a transfer whose printer reads slower than we write. The lp
    // driver and plain files have nothing to drop (ENOTTY).
    if (fd >= 0) tcflush(fd, TCIFLUSH);
    auto deadline = After(WRITE_TOTAL_MS + WRITE_PER_BYTE_MS * static_cast<std::int64_t>(port.length));
    return WriteBlock(fd, port.data, port.length, deadline, false, job, port.progress);
}

namespace portio {

std::size_t ReadLptPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete*) {
    int fd = port.handles[0];
    if (fd < 0) Fail(PortErrorCode::Read);
    if (count == 0) return 0;
    for (;;) {
        Wait w = WaitFor(fd, POLLIN, std::nullopt, job);
        if (w != Wait::Ready) FailWait(PortErrorCode::Read, w);
        ReadResult r = ReadOnce(fd, buffer, count, false);
        if (r.kind == ReadResult::Data) return r.count;
        // The lp driver reports readable whether or not it has anything.
        Pause();
    }
}

} // namespace portio
} // namespace pemberlux
