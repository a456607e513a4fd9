// A firmware file is any file the user picks: any name, any bytes. The format
// follows the name's ending alone; what goes out is the tag of the format and
// the file unchanged, to the USB ids of the format, keeping the rest of the selection.
#include "core/command/Firmware.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

using namespace pemberlux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool downloadMode = data[0] & 1;
    const UsbSelection current{"ABCD", "EF01", (data[0] & 2) != 0};
    const std::size_t nameLength = std::min<std::size_t>(data[1], size - 2);
    const std::string_view name(reinterpret_cast<const char*>(data) + 2, nameLength);
    const std::span<const std::uint8_t> file(data + 2 + nameLength, size - 2 - nameLength);

    const FirmwareFormat format = FirmwareFormatOf(name);
    const auto ends = [&](std::string_view a, std::string_view b) { return name.ends_with(a) || name.ends_with(b); };
    const FirmwareFormat expected = ends(".FW", ".fw")     ? FirmwareFormat::Firmware
                                    : ends(".cg", ".CG")   ? FirmwareFormat::CharacterGenerator
                                    : ends(".bin", ".BIN") ? FirmwareFormat::Image
                                                           : FirmwareFormat::Unknown;
    if (format != expected) __builtin_trap();

    const auto plan = PrepareFirmware(format, file, downloadMode, current);
    if (plan.has_value() != (format != FirmwareFormat::Unknown)) __builtin_trap();
    if (!plan) return 0;
    std::size_t tag = 0;
    if (format == FirmwareFormat::Firmware || format == FirmwareFormat::CharacterGenerator) {
        const auto& want = format == FirmwareFormat::Firmware ? FIRMWARE_TAG : CG_TAG;
        tag = want.size();
        if (plan->bytes.size() < tag || !std::equal(want.begin(), want.end(), plan->bytes.begin())) __builtin_trap();
        if (plan->usb.vendor != "3A7E" || plan->usb.second != "41A2") __builtin_trap();
    } else if (downloadMode ? (plan->usb.vendor != "3A7E" || plan->usb.second != "5E10")
                            : (plan->usb.vendor != "2C5D" || plan->usb.second != "5E21")) {
        __builtin_trap();
    }
    if (plan->usb.vendorOnly != current.vendorOnly) __builtin_trap();
    if (plan->bytes.size() != tag + file.size() || !std::equal(file.begin(), file.end(), plan->bytes.begin() + tag))
        __builtin_trap();
    return 0;
}
