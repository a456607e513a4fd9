// A receipt printer's reply is whatever arrives on the line: decode any bytes as
// a settings reply and its serial byte. Every selection fits its list, a second
// decode of the same bytes changes nothing, and the values decoded go back out
// in a frame that keeps its brackets.
#include "core/receipt/ReceiptCommands.h"
#include "core/receipt/ReceiptSettings.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace pemberlux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> reply(data, size);
    PortSettings settings;
    settings.parity = "Mark";
    // Byte 2 carries the line; without it nothing changes.
    const PortSettings before = settings;
    if (ApplyReceiptSerialConfig(reply, settings) != (size > 2) || (size <= 2 && !(settings == before)))
        __builtin_trap();

    ReceiptSettingValues values;
    ApplyReceiptReply(reply, values);
    for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS) {
        if (!info.IsList()) continue;
        const int selected = values.selection[static_cast<std::size_t>(info.pos)];
        if (selected != RC_NO_SELECTION && (selected < 0 || selected >= info.listSize)) __builtin_trap();
    }
    ReceiptSettingValues again = values;
    ApplyReceiptReply(reply, again);
    if (!(again == values)) __builtin_trap();
    (void)ReceiptReplyComplete(reply);

    ReceiptChangedMarks all;
    all.set();
    if (FirstMarkedDistanceWithoutNumber(all, values) >= 0) return 0;
    const Bytes frame = BuildReceiptSettingsFrame(all, values);
    if (frame.size() < 6 || frame[0] != 0x1B || frame[1] != 0x0D || frame[2] != 0x53 ||
        frame[frame.size() - 3] != 0x1B || frame[frame.size() - 2] != 0x10 || frame[frame.size() - 1] != 0x45)
        __builtin_trap();
    return 0;
}
