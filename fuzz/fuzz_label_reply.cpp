// A label printer's reply is whatever arrives on the line: decode any bytes as a
// settings reply and as a text reply, then send the decoded values back. Every
// selection must fit its list, the frame must keep its brackets, and the
// decoded values must survive a second decode of the same bytes unchanged.
#include "core/label/LabelCommands.h"
#include "core/label/LabelSettings.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace pemberlux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the model and language the reply is read with.
    PortSettings settings;
    settings.language = (data[0] & 1) ? "Chinese" : "English";
    settings.modelName = (data[0] & 2) ? "Label Printer(200DPI)" : "LB-610";
    const std::span<const std::uint8_t> reply(data + 1, size - 1);

    ApplyLabelSerialConfig(reply, settings);
    LabelSettingValues values;
    ApplyLabelSettingsReply(reply, settings, values);
    for (const SettingEntry& info : LABEL_SETTINGS) {
        if (!info.IsList()) continue;
        const int selected = values.selection[info.pos];
        if (selected != LB_NO_SELECTION && (selected < 0 || selected >= LabelListSize(info.pos, settings)))
            __builtin_trap();
    }
    LabelSettingValues again = values;
    ApplyLabelSettingsReply(reply, settings, again);
    if (!(again == values)) __builtin_trap();

    LabelChangedMarks all;
    all.set();
    const Bytes frame = BuildLabelSettingsFrame(all, values, settings);
    if (frame.size() < 6 || frame[0] != 0x1B || frame[1] != 0x0D || frame[2] != 0x53 ||
        frame[frame.size() - 3] != 0x1B || frame[frame.size() - 2] != 0x10 || frame[frame.size() - 1] != 0x45)
        __builtin_trap();

    (void)DecodeLabelTextReply(reply, (data[0] & 1) ? 2052 : 1033);
    return 0;
}
