#include "core/command/Firmware.h"

#include "core/command/SendJobs.h"

#include <algorithm>

namespace pemberlux {

namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

FirmwareFormat FirmwareFormatOf(std::string_view path) {
    for (std::string_view end : {".FW", ".fw"})
        if (EndsWith(path, end)) return FirmwareFormat::Firmware;
    for (std::string_view end : {".cg", ".CG"})
        if (EndsWith(path, end)) return FirmwareFormat::CharacterGenerator;
    for (std::string_view end : {".bin", ".BIN"})
        if (EndsWith(path, end)) return FirmwareFormat::Image;
    return FirmwareFormat::Unknown;
}

std::optional<FirmwarePlan> PrepareFirmware(FirmwareFormat format, std::span<const std::uint8_t> file,
                                            bool downloadMode, const UsbSelection& current) {
    FirmwarePlan plan;
    plan.usb = current;
    const std::array<std::uint8_t, 4>* tag = nullptr;
    switch (format) {
    case FirmwareFormat::Unknown:
        return std::nullopt;
    case FirmwareFormat::Firmware:
        tag = &FIRMWARE_TAG;
        break;
    case FirmwareFormat::CharacterGenerator:
        tag = &CG_TAG;
        break;
    case FirmwareFormat::Image:
        break;
    }
    if (tag) {
        plan.usb.vendor = "3A7E";
        plan.usb.second = "41A2";
        plan.bytes.reserve(tag->size() + file.size());
        plan.bytes.assign(tag->begin(), tag->end());
    } else {
        // A label printer in download mode shows up with the loader's ids.
        plan.usb.vendor = downloadMode ? "3A7E" : "2C5D";
        plan.usb.second = downloadMode ? "5E10" : "5E21";
    }
    plan.bytes.insert(plan.bytes.end(), file.begin(), file.end());
    return plan;
}

JobLimits FirmwareLimits(std::stop_token stop) {
    return {std::move(stop), JobClock::time_point::max(), STALL_LIMIT};
}

FirmwareResult RunFirmwareTransfer(PrinterPort& port, std::span<const std::uint8_t> data, const JobLimits& job,
                                   const std::function<void(const FirmwareProgress&)>& progress,
                                   std::chrono::milliseconds zeroWriteLimit) {
    FirmwareResult result;
    auto failed = [&](FirmwareResult::Status status, const PortError& e) {
        result.status = e.cause == PortError::Stopped ? FirmwareResult::Stopped : status;
        result.code = e.code;
        result.open = e.open;
        result.stalled = e.cause == PortError::Expired;
        return result;
    };
    try {
        OpenPort(port, job);
    } catch (const PortError& e) {
        return failed(FirmwareResult::OpenFailed, e);
    }
    const std::uint64_t total = data.size();
    const std::uint64_t blockSize = FileBlockSize(total);
    std::uint64_t position = 0;
    auto lastProgress = JobClock::now();
    while (position < total) {
        // The rest of a block a short write left over goes first.
        const std::uint64_t blockEnd = std::min(total, (position / blockSize + 1) * blockSize);
        std::size_t n = 0;
        try {
            port.SetData(data.data() + position, static_cast<std::size_t>(blockEnd - position));
            n = WritePort(port, job);
            // The image is sent (and at 100 %) when the printer has it; over
            // the network it confirms by closing once it read everything.
            if (n > 0 && position + n >= total) result.unconfirmed = !DrainPort(port, job, DrainEnd::Confirmed);
        } catch (const PortError& e) {
            port.SetData(nullptr, 0);
            ClosePort(port);
            return failed(FirmwareResult::WriteFailed, e);
        }
        port.SetData(nullptr, 0);
        if (n == 0) {
            if (JobClock::now() - lastProgress >= zeroWriteLimit) {
                ClosePort(port);
                result.status = FirmwareResult::WriteFailed;
                result.code = PortErrorCode::Write;
                result.stalled = true;
                return result;
            }
            if (!SleepFor(job.stop, std::chrono::milliseconds(100))) {
                ClosePort(port);
                result.status = FirmwareResult::Stopped;
                return result;
            }
            continue;
        }
        lastProgress = JobClock::now();
        position += std::min<std::uint64_t>(n, blockEnd - position);
        result.sent = position;
        ++result.blocks;
        if (progress) progress({position, total, static_cast<int>(position * 100 / total)});
    }
    ClosePort(port);
    return result;
}

std::optional<PortErrorMessage> FirmwareMessage(const FirmwareResult& result, PortKind kind, std::uint64_t total) {
    switch (result.status) {
    case FirmwareResult::OpenFailed:
        if (auto m = ReportPortError(result.code, kind)) return PortErrorMessage{m->stringId, MessageIcon::Stop};
        return std::nullopt;
    case FirmwareResult::WriteFailed:
        return PortErrorMessage{StringId::SendFailed, MessageIcon::Warning};
    case FirmwareResult::Done:
        if (result.sent == total && result.unconfirmed)
            return PortErrorMessage{StringId::FirmwareUnconfirmed, MessageIcon::Warning};
        if (result.sent == total) return PortErrorMessage{StringId::FirmwareSent, MessageIcon::Information};
        return PortErrorMessage{StringId::SendFailed, MessageIcon::Stop};
    case FirmwareResult::Stopped:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace pemberlux
