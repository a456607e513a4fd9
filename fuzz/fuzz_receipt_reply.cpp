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
    ApplyReceiptSettingsReply(reply, values);
    for (const SettingEntry& entry : RECEIPT_SETTINGS) {
        if (!entry.IsList()) continue;
        const int selected = values.selection[static_cast<std::size_t>(entry.pos)];
        if (selected != NO_SELECTION && (selected < 0 || selected >= static_cast<int>(entry.words.size())))
            __builtin_trap();
    }
    ReceiptSettingValues again = values;
    ApplyReceiptSettingsReply(reply, again);
    if (!(again == values)) __builtin_trap();
    (void)ReceiptSettingsReplyComplete(reply);

    ReceiptChangedMarks all;
    all.set();
    if (FirstMarkedReceiptDistanceWithoutNumber(all, values) >= 0) return 0;
    const Bytes frame = BuildReceiptSettingsFrame(all, values);
    if (frame.size() < 6 || frame[0] != 0x1B || frame[1] != 0x0D || frame[2] != 0x53 ||
        frame[frame.size() - 3] != 0x1B || frame[frame.size() - 2] != 0x10 || frame[frame.size() - 1] != 0x45)
        __builtin_trap();
    return 0;
}
