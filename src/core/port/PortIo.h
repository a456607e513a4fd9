// Shared by the port backends: descriptor waits bounded by a deadline and the
// job, whole-block writes, single reads, and the backends' reads.
#pragma once

#include "core/port/PrinterPort.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <poll.h>
#include <string>
#include <termios.h>

namespace pemberlux::portio {

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>; // nullopt: no time limit

inline Clock::time_point After(std::int64_t ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

[[noreturn]] void Fail(PortErrorCode code);
// Fails an open of `device` (a USB printer's node with `usb`) with `code`, keeping why (`error`, an errno).
[[noreturn]] void FailOpen(PortErrorCode code, const std::string& device, int error, bool usb = false);

// Opens a device node for reading and writing without blocking (every wait goes
// through poll) and without making it our controlling terminal; -1 on failure.
int OpenDevice(const std::string& path);
void CloseFd(int& fd);

enum class Wait { Ready, TimedOut, Stopped, Expired };
// Waits until one of `fds` reports its events, the step's own `deadline` passes
// (TimedOut), the job is stopped (Stopped) or the job's deadline passes
// (Expired). A stop wakes the poll at once.
Wait WaitFor(pollfd* fds, nfds_t count, Deadline deadline, const JobLimits& job);
Wait WaitFor(int fd, short events, Deadline deadline, const JobLimits& job);

// Throws the PortError `code` for a wait that ended by the job's stop or deadline.
[[noreturn]] void FailWait(PortErrorCode code, Wait wait);

// A short sleep for devices whose driver reports "ready" without being ready,
// so a retry loop never spins.
void Pause();

// Writes the block until it is all out or `deadline` passes (with the job's
// stall bound instead: until no progress for that long); returns the count
// written. Sockets are written with send() without SIGPIPE, and what the peer
// sends meanwhile is read and dropped (a peer blocked sending to us may stop
// reading). A failing write, or one that accepts nothing, throws
// PortErrorCode::Write; so do a stop and the job's deadline. `progress` is set to
// the time of every write that got bytes out.
std::size_t WriteBlock(int fd, const std::uint8_t* data, std::size_t length, Deadline deadline, bool socket,
                       const JobLimits& job, Clock::time_point& progress);

// Reads and drops what waits on a socket without blocking; false at the
// peer's end of stream or a failed connection.
bool DropInput(int fd);

// One non-blocking read: bytes read (> 0), nothing waiting, or end of file.
// A failing read throws PortErrorCode::Read.
struct ReadResult {
    enum Kind { Data, Nothing, End } kind;
    std::size_t count;
};
ReadResult ReadOnce(int fd, void* buffer, std::size_t count, bool socket);

// Leading decimal integer of a settings text, as the settings store it ("9600"); 0 if none.
int TextToInt(const std::string& text);

// Non-empty and decimal digits only.
bool AllDigits(const std::string& text);

// "<prefix>n" (prefix compared without case, n >= 1) -> base + (n-1); any other name unchanged.
std::string DeviceNodeFor(const std::string& name, const char* prefix, const char* base);

// The serial line as `settings` want it, on top of what the device had: raw,
// with baud rate, parity, data bits, flow control and stop bits; texts the line
// doesn't know leave that part as it was.
termios SerialLineFor(const termios& current, const PortSettings& settings);

// The backends' reads (see ReadPort). `complete` may be null.
std::size_t ReadComPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete* complete);
std::size_t ReadLptPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete* complete);
std::size_t ReadUsbPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete* complete);
std::size_t ReadNetPort(PrinterPort& port, void* buffer, std::size_t count, const JobLimits& job,
                        const ReplyComplete* complete);

// The backends' ends of a transfer (see DrainPort); a port not open fails.
bool DrainComPort(PrinterPort& port, const JobLimits& job, DrainEnd end);
bool DrainNetPort(PrinterPort& port, const JobLimits& job, DrainEnd end);

// Gives back the exclusive mode of the port's serial line, also when its
// descriptor was hung up.
void ReleaseLine(PrinterPort& port);

// When a drain's no-progress bound starts: the last write's progress, or now
// when there was none.
Clock::time_point DrainStart(const PrinterPort& port);

// Takes the device `path` names for the port (see DeviceLock.h); throws `code`
// with the job's cause when the job ends first.
void HoldDevice(PrinterPort& port, const std::string& key, PortErrorCode code, const JobLimits& job);

} // namespace pemberlux::portio
