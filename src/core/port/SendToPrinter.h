// The one-shot send of the test items page and the Wi-Fi and Bluetooth
// dialogs: bytes to the printer and nothing read back. It runs on the job's
// worker and shows nothing itself: the caller shows the message it returns.
#pragma once

#include "core/port/Exchange.h"
#include "core/port/PrinterPort.h"

#include <cstdint>
#include <optional>
#include <span>

namespace pemberlux {

struct SendResult {
    ExchangeResult::Status status = ExchangeResult::Done;
    PortErrorCode code = PortErrorCode::None; // the port error of a failed open or write
    // What the user is to see: an open failure's own message (ReportPortError),
    // or 159 "Unable to send file to port." with the warning icon for a failed
    // write. Nothing on success, and nothing when the job was stopped.
    std::optional<PortErrorMessage> message;
    // Why the device could not be opened, when the system said (see OpenFailureLine).
    OpenFailure open;
    bool stalled = false; // a write that made no progress until its bound

    bool Ok() const { return status == ExchangeResult::Done; }
};

// Sets the calling thread's language from `snapshot` (2052 for "Chinese",
// else 1033), builds the port from `snapshot` and `usb` (kind, device names,
// line settings), opens it, writes `bytes`, closes it.
SendResult SendToPrinter(const PortSettings& snapshot, const UsbSelection& usb, std::span<const std::uint8_t> bytes,
                         const JobLimits& job);

} // namespace pemberlux
