#include "core/command/SendJobs.h"

namespace pemberlux {

namespace {

SendJobResult Failed(SendJobResult::Status status, const PortError& e, std::uint64_t sent) {
    SendJobResult r;
    r.status = e.cause == PortError::Stopped ? SendJobResult::Stopped : status;
    r.code = e.code;
    r.open = e.open;
    r.stalled = e.cause == PortError::Expired;
    r.sent = sent;
    return r;
}

// Opens `port`; the failure as a result.
std::optional<SendJobResult> Open(PrinterPort& port, const JobLimits& job) {
    try {
        OpenPort(port, job);
    } catch (const PortError& e) {
        return Failed(SendJobResult::OpenFailed, e, 0);
    }
    return std::nullopt;
}

} // namespace

SendJobResult RunDataSend(PrinterPort& port, std::span<const std::uint8_t> data, const SendOptions& options,
                          const JobLimits& job) {
    if (auto failed = Open(port, job)) return *failed;
    SendJobResult result;
    // Nothing to send is sent once: a loop of it would spin.
    const bool loop = options.loop && !data.empty();
    do {
        std::size_t n = 0;
        try {
            port.SetData(data.data(), data.size());
            n = WritePort(port, job);
            // A single send is done when the printer has it; a loop goes on
            // writing, and its stall bound catches a printer that stopped.
            if (!loop && n == data.size()) DrainPort(port, job, DrainEnd::Last);
        } catch (const PortError& e) {
            port.SetData(nullptr, 0);
            ClosePort(port);
            return Failed(SendJobResult::WriteFailed, e, result.sent);
        }
        port.SetData(nullptr, 0);
        result.sent += n;
        if (n < data.size()) {
            ClosePort(port);
            result.status = SendJobResult::WriteFailed;
            result.code = PortErrorCode::Write;
            return result;
        }
        if (!SleepFor(job.stop, options.interval)) {
            result.status = SendJobResult::Stopped;
            break;
        }
    } while (loop);
    ClosePort(port);
    return result;
}

std::uint64_t FileBlockSize(std::uint64_t total) {
    const std::uint64_t block = total / 100;
    return block ? block : total;
}

SendJobResult RunFileSend(PrinterPort& port, std::span<const std::uint8_t> data, const SendOptions& options,
                          const JobLimits& job, const std::function<void(const FileProgress&)>& progress) {
    if (auto failed = Open(port, job)) return *failed;
    SendJobResult result;
    const std::uint64_t total = data.size();
    for (;;) {
        std::uint64_t position = 0;
        std::uint64_t block = FileBlockSize(total);
        while (position < total) {
            block = std::min(block, total - position);
            std::size_t n = 0;
            try {
                port.SetData(data.data() + position, static_cast<std::size_t>(block));
                n = WritePort(port, job);
                // The pass reaches its end (and 100 %) when the printer has it.
                if (n > 0 && position + n >= total)
                    DrainPort(port, job, options.loop ? DrainEnd::More : DrainEnd::Last);
            } catch (const PortError& e) {
                port.SetData(nullptr, 0);
                ClosePort(port);
                return Failed(SendJobResult::WriteFailed, e, result.sent);
            }
            port.SetData(nullptr, 0);
            if (n == 0) {
                // A port that takes nothing would never finish.
                ClosePort(port);
                result.status = SendJobResult::WriteFailed;
                result.code = PortErrorCode::Write;
                return result;
            }
            position += n;
            result.sent += n;
            if (progress) progress({position, total, n, result.sent * 100 / total});
        }
        if (!SleepFor(job.stop, options.interval)) {
            result.status = SendJobResult::Stopped;
            break;
        }
        if (!options.loop || total == 0) break;
    }
    ClosePort(port);
    return result;
}

std::optional<PortErrorMessage> SendJobMessage(const SendJobResult& result, PortKind kind, SendJobKind job,
                                               const SendOptions& options, std::uint64_t total) {
    switch (result.status) {
    case SendJobResult::OpenFailed:
        return OpenFailureMessage(result.code, kind, job);
    case SendJobResult::WriteFailed:
        return PortErrorMessage{StringId::SendFailed, MessageIcon::Warning};
    case SendJobResult::Done:
        if (job == SendJobKind::File && !options.loop && result.sent == total)
            return PortErrorMessage{StringId::FileSent, MessageIcon::Information};
        return std::nullopt;
    case SendJobResult::Stopped:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace pemberlux
