// The two jobs of the command test page: the typed data, once or in a loop,
// and a data file, once or in a loop, in about one hundred blocks with progress.
// Both run on a worker and end within a moment of a stop; neither has a time
// limit of its own, only a stall bound on every write (STALL_LIMIT).
#pragma once

#include "core/command/CommandData.h"
#include "core/port/Job.h"
#include "core/port/PrinterPort.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace pemberlux {

// A write that makes no progress for this long fails (message 159).
constexpr std::chrono::milliseconds STALL_LIMIT = STALL_DEFAULT;

struct SendOptions {
    bool loop = false;
    // Slept after every write (data) or every pass (file), also after a single one.
    std::chrono::milliseconds interval{0};
};

struct SendJobResult {
    enum Status {
        Done,        // sent (a loop: until stopped)
        OpenFailed,  // `code` from the open
        WriteFailed, // a write failed, made no progress, or wrote nothing
        Stopped,     // the Stop button, or the window closing
    };
    Status status = Done;
    PortErrorCode code = PortErrorCode::None;
    // Bytes that went out, over every pass.
    std::uint64_t sent = 0;
    // Why the device could not be opened (OpenFailed), when the system said.
    OpenFailure open;
    // A write made no progress for the stall bound (WriteFailed).
    bool stalled = false;
};

// The limits of a send job: `stop` ends it, no deadline, the stall bound on every write.
inline JobLimits SendLimits(std::stop_token stop) {
    return {std::move(stop), JobClock::time_point::max(), STALL_LIMIT};
}

// Opens the port and writes `data` whole, then sleeps the interval; with
// `loop`, again until stopped or a write fails. Empty data is not repeated:
// there is nothing to send. A write that takes less than the whole data fails;
// a single send fails too when the printer does not take it (DrainPort).
SendJobResult RunDataSend(PrinterPort& port, std::span<const std::uint8_t> data, const SendOptions& options,
                          const JobLimits& job);

// Where a file send stands after a block: `position` into the pass, the block
// just written, the percentage caption's value (past 100 in a loop).
struct FileProgress {
    std::uint64_t position = 0;
    std::uint64_t total = 0;
    std::uint64_t block = 0;
    std::uint64_t percent = 0;
};

// The block of a pass: a hundredth of the file, all of it below 100 bytes.
std::uint64_t FileBlockSize(std::uint64_t total);

// Opens the port and sends `data` in blocks of FileBlockSize, calling
// `progress` after each; at the end of a pass sleeps the interval and, with
// `loop`, starts the next pass, until stopped or a write fails. A write that
// reports nothing written fails. A pass ends, and its last progress is shown,
// only once the printer has taken it (DrainPort); otherwise the send fails.
SendJobResult RunFileSend(PrinterPort& port, std::span<const std::uint8_t> data, const SendOptions& options,
                          const JobLimits& job, const std::function<void(const FileProgress&)>& progress);

// What the user is told when the job has ended: an open failure with the
// page's icons, 159 for a failed write, and for a single whole file send 177.
std::optional<PortErrorMessage> SendJobMessage(const SendJobResult& result, PortKind kind, SendJobKind job,
                                               const SendOptions& options, std::uint64_t total);

} // namespace pemberlux
