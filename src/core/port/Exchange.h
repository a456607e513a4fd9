// One exchange with a printer, as every page and the command line run it: open
// the job's port, write a frame, read the reply by its completion rule within
// the reply time-out, close. The result says what happened and which message,
// if any, the user is to see; it never throws.
#pragma once

#include "core/base/Bytes.h"
#include "core/port/PrinterPort.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

namespace pemberlux {

// When a reply is whole.
struct ReplyRule {
    // At most this many bytes are read.
    std::size_t maxBytes = 1024;
    // The reply is whole (may be empty: then only size and silence end it).
    ReplyComplete complete;
    // How long the printer has to begin its answer.
    std::chrono::milliseconds timeout{3000};
    // Silence after the last byte that ends a reply that is not yet whole.
    std::chrono::milliseconds silence{1000};
};

struct ExchangeResult {
    enum Status {
        Done,        // written, and the reply (if one was asked for) arrived
        OpenFailed,  // `code` from the open
        WriteFailed, // `code` from the write
        ReadFailed,  // the connection failed while waiting for the reply
        NoReply,     // nothing arrived within the reply time-out
        Stopped,     // the job was stopped (its window closed): nothing to show
    };
    Status status = Done;
    PortErrorCode code = PortErrorCode::None;
    // The reply began before the time-out and ended after it: it is whole and
    // usable, and the user is still told that the printer was late.
    bool late = false;
    Bytes reply;
    // Why the device could not be opened (OpenFailed), when the system said.
    OpenFailure open;
    // A write that made no progress until its bound (WriteFailed): the printer
    // stopped taking bytes, a time-out rather than a refusal.
    bool stalled = false;

    bool Ok() const { return status == Done; }
};

// Opens `port`, writes `frame` and, with a rule, reads the reply. The port is
// closed again in every case.
ExchangeResult Exchange(PrinterPort& port, std::span<const std::uint8_t> frame, const ReplyRule* rule,
                        const JobLimits& job);

// Opens, writes `frame`, sees it through to the printer (DrainPort), closes: a
// command without an answer. A printer that does not take it is a failed write.
inline ExchangeResult SendFrame(PrinterPort& port, std::span<const std::uint8_t> frame, const JobLimits& job) {
    return Exchange(port, frame, nullptr, job);
}

// The message of a result on a port of `kind`, as the settings pages show it:
// an open's own message, 159 for a failed write, 175 for a lost connection, 174
// for a reply that did not come or came late; nothing else.
std::optional<PortErrorMessage> ExchangeMessage(const ExchangeResult& result, PortKind kind);

} // namespace pemberlux
