#include "core/port/Exchange.h"

#include <algorithm>

namespace pemberlux {

namespace {

ExchangeResult Failed(ExchangeResult::Status status, const PortError& e) {
    ExchangeResult r;
    r.status = e.cause == PortError::Stopped ? ExchangeResult::Stopped : status;
    r.code = e.code;
    r.open = e.open;
    r.stalled = e.cause == PortError::Expired;
    return r;
}

// Reads until the rule says the reply is whole, or it goes silent.
ExchangeResult ReadReply(PrinterPort& port, const ReplyRule& rule, const JobLimits& job) {
    ExchangeResult result;
    Bytes& reply = result.reply;
    reply.resize(rule.maxBytes);
    std::size_t got = 0;
    const JobClock::time_point timeout = JobClock::now() + rule.timeout;
    // When the newest bytes arrived: a serial read gathers until its line goes
    // quiet and shows each arrival to the rule on the way; the other reads
    // return with the bytes.
    JobClock::time_point lastByte{};
    // The rule judges the whole reply, not only the bytes of one read.
    const ReplyComplete whole = [&](const std::uint8_t*, std::size_t size) {
        lastByte = JobClock::now();
        return rule.complete && rule.complete(reply.data(), got + size);
    };
    while (got < rule.maxBytes) {
        const JobClock::time_point until = got ? lastByte + rule.silence : timeout;
        const JobClock::time_point started = JobClock::now();
        std::size_t n = 0;
        try {
            n = ReadPort(port, reply.data() + got, rule.maxBytes - got, {job.stop, std::min(job.deadline, until)},
                         &whole);
        } catch (const PortError& e) {
            if (e.cause == PortError::Stopped) return Failed(ExchangeResult::Stopped, e);
            if (e.cause == PortError::Expired) {
                if (got) break; // silence after a reply that the rule could not judge whole
                result.status = ExchangeResult::NoReply;
                result.code = e.code;
                reply.clear();
                return result;
            }
            return Failed(ExchangeResult::ReadFailed, e);
        }
        if (n == 0) continue; // the serial line's read window passed with nothing
        got += n;
        if (lastByte < started || got == rule.maxBytes) lastByte = JobClock::now();
        if (rule.complete && rule.complete(reply.data(), got)) break;
    }
    reply.resize(got);
    // Late by its last byte, not by the silence that showed it was the last.
    result.late = lastByte > timeout;
    return result;
}

} // namespace

ExchangeResult Exchange(PrinterPort& port, std::span<const std::uint8_t> frame, const ReplyRule* rule,
                        const JobLimits& job) {
    ExchangeResult result;
    try {
        OpenPort(port, job);
    } catch (const PortError& e) {
        return Failed(ExchangeResult::OpenFailed, e);
    }
    try {
        port.SetData(frame.data(), frame.size());
        WritePort(port, job);
        port.SetData(nullptr, 0);
        // A frame without an answer is sent once the printer has it.
        if (!rule) DrainPort(port, job, DrainEnd::Last);
    } catch (const PortError& e) {
        port.SetData(nullptr, 0);
        ClosePort(port);
        return Failed(ExchangeResult::WriteFailed, e);
    }
    if (rule) result = ReadReply(port, *rule, job);
    ClosePort(port);
    return result;
}

std::optional<PortErrorMessage> ExchangeMessage(const ExchangeResult& result, PortKind kind) {
    switch (result.status) {
    case ExchangeResult::OpenFailed:
        return ReportPortError(result.code, kind);
    case ExchangeResult::WriteFailed:
        return PortErrorMessage{StringId::SendFailed, MessageIcon::Warning};
    case ExchangeResult::ReadFailed:
        return PortErrorMessage{StringId::SettingsNotRead, MessageIcon::Stop};
    case ExchangeResult::NoReply:
        return PortErrorMessage{StringId::CommTimeout, MessageIcon::Stop};
    case ExchangeResult::Done:
        if (result.late) return PortErrorMessage{StringId::CommTimeout, MessageIcon::Stop};
        return std::nullopt;
    case ExchangeResult::Stopped:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace pemberlux
