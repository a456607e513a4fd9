// The firmware and character generator download: the command that puts a
// label printer into download mode, the file formats with their tags and the
// USB ids a transfer talks to, and the transfer job that sends the image in
// about one hundred blocks.
#pragma once

#include "core/command/CommandData.h"
#include "core/port/Job.h"
#include "core/port/PrinterPort.h"
#include "core/port/SetupFrame.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace pemberlux {

// Puts a label printer into download mode.
constexpr std::array<std::uint8_t, 7> DOWNLOAD_MODE_COMMAND = SetupOpened({0x1B, 0x90, 0x46, 0x57});
// The tags in front of a firmware and a character generator image.
constexpr std::array<std::uint8_t, 4> FIRMWARE_TAG = {'U', 'D', 'F', 'W'};
constexpr std::array<std::uint8_t, 4> CG_TAG = {'U', 'D', 'C', 'G'};

// By the exact ending of the path: ".FW"/".fw", ".cg"/".CG", ".bin"/".BIN".
enum class FirmwareFormat { Unknown, Firmware, CharacterGenerator, Image };
FirmwareFormat FirmwareFormatOf(std::string_view path);

// What a transfer sends and the USB printers it talks to.
struct FirmwarePlan {
    Bytes bytes;
    UsbSelection usb;
};
// The tag (if the format has one) and the file, and the USB ids of the format:
// 3A7E / 41A2 for the tagged formats, for an image 3A7E / 5E10 after download
// mode, else 2C5D / 5E21. `current` gives the rest of the selection (vendorOnly
// is kept). Nothing for an unknown format.
std::optional<FirmwarePlan> PrepareFirmware(FirmwareFormat format, std::span<const std::uint8_t> file,
                                            bool downloadMode, const UsbSelection& current);

// A block that takes nothing is written again until it has made no progress
// for this long.
constexpr std::chrono::milliseconds ZERO_WRITE_LIMIT{10000};

struct FirmwareProgress {
    std::uint64_t sent = 0;
    std::uint64_t total = 0;
    // sent × 100 / total, the caption's value.
    int percent = 0;
};

struct FirmwareResult {
    enum Status {
        Done,        // everything was written
        OpenFailed,  // `code` from the open
        WriteFailed, // a write failed, or took nothing for ZERO_WRITE_LIMIT
        Stopped,     // the window is closing: nothing to show
    };
    Status status = Done;
    PortErrorCode code = PortErrorCode::None;
    std::uint64_t sent = 0;
    // Blocks written (writes that took something).
    std::size_t blocks = 0;
    // Why the device could not be opened (OpenFailed), when the system said.
    OpenFailure open;
    // A write made no progress for the stall bound, or took nothing for the
    // zero-write limit (WriteFailed).
    bool stalled = false;
    // Done, but the printer on the network neither closed its side (it read
    // everything) nor reset the connection within the stall bound: the image
    // went, and nobody knows whether the printer took it.
    bool unconfirmed = false;
};

// The limits of a transfer: `stop` ends it, no deadline, a write that makes no
// progress for STALL_LIMIT fails.
JobLimits FirmwareLimits(std::stop_token stop);

// Opens the port and writes `data` in blocks of a hundredth (all of it below
// 100 bytes), calling `progress` after every write that took something. A
// short write sends the rest of its block next, so the image arrives without a
// hole; a write that takes nothing is tried again for `zeroWriteLimit`; any
// failure ends the transfer. The last block counts (and 100 % is shown) only
// once the printer has taken the image (DrainPort); over the network that is
// when the printer closes its side, and a printer that does not within the
// stall bound leaves the transfer Done but unconfirmed.
FirmwareResult RunFirmwareTransfer(PrinterPort& port, std::span<const std::uint8_t> data, const JobLimits& job,
                                   const std::function<void(const FirmwareProgress&)>& progress,
                                   std::chrono::milliseconds zeroWriteLimit = ZERO_WRITE_LIMIT);

// What the user is told: an open failure with the stop icon, 159 (warning)
// for a failed write, 176 when everything went and the printer has it, the
// unconfirmed transfer's own text (warning) when it went and the printer did
// not confirm it, 159 (stop) when not everything went.
std::optional<PortErrorMessage> FirmwareMessage(const FirmwareResult& result, PortKind kind, std::uint64_t total);

} // namespace pemberlux
