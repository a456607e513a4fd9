// The two commands of the interface page: tell the printer its new serial line
// settings, and reset its Wi-Fi module to the factory settings. Both are
// bracketed by ESC CR 'S' ... ESC DLE 'E'.
#pragma once

#include "core/base/Bytes.h"
#include "core/base/Models.h"
#include "core/base/PortSettings.h"
#include "core/port/Exchange.h"
#include "core/port/PrinterPort.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace pemberlux {

// The serial configuration byte, both ways: baud rate in bits 0-2 (the index
// in SERIAL_BAUD_RATES), Xon/Xoff in bit 3, parity in bits 4 and 5 in the
// order `parity` gives, two stop bits in bit 6, seven data bits in bit 7.
std::uint8_t EncodeSerialConfig(const PortSettings& serial, SerialParityBits parity);
// Sets baud rate, parity, stop and data bits of `settings` from `config`, and
// the flow control when the layout carries it. Parity 3, and any parity when
// the layout carries none, leaves the parity as it is.
void DecodeSerialConfig(std::uint8_t config, SerialReplyLayout layout, PortSettings& settings);

// The byte the interface page sends: parity the way `model` numbers it (none
// without a model).
std::uint8_t SerialConfigByte(const PortSettings& serial, const PrinterModel* model);

// 1B 0D 53  1B 23 n  1B 10 45
Bytes BuildSerialConfigFrame(const PortSettings& serial, const PrinterModel* model);

// 1B 0D 53  1B 40 01  1B 10 45
Bytes BuildWifiResetFrame();

// After a factory reset the printer's serial line is 9600 baud, 8 data bits,
// no parity, 1 stop bit, hardware handshake: the page's PortSettings follow.
void ApplyFactoryLineSettings(PortSettings& settings);

// A printer family's factory reset: its frame, when the printer's serial line
// changes to the factory line, how long the printer takes to come back, and
// the read-back of its settings on that line.
struct FactoryResetSequence {
    Bytes frame;
    // Label printers switch their line as they take the frame, so the line is
    // taken over at once; receipt printers after the settle.
    bool lineChangesAtOnce = false;
    std::chrono::milliseconds settle{1000};
    std::function<ExchangeResult(PrinterPort&, const JobLimits&)> readBack;
};

// What the front end does along the way.
struct FactoryResetHooks {
    // The printer took the frame.
    std::function<void()> taken;
    // Takes the factory line over (the window hands it to its main window and
    // waits for that, the command line keeps it in its settings); false when
    // the caller went away meanwhile, which ends the sequence there.
    std::function<bool()> adopt;
};

struct FactoryResetRun {
    ExchangeResult reset;                   // the reset frame's exchange
    bool adopted = false;                   // the factory line was taken over
    std::optional<ExchangeResult> readBack; // when the settings were read back
};

// The whole reset as the settings pages and the command line run it, on
// `port`: the frame; when it was taken, the factory line (ApplyFactoryLineSettings
// on the port, and `adopt`) before or after the settle as the family has it;
// then the settings read back on that line. A reset that failed adopts nothing
// (the printer is as it was); a job stopped during the settle reads nothing back.
FactoryResetRun RunFactoryReset(PrinterPort& port, const FactoryResetSequence& sequence, const JobLimits& job,
                                const FactoryResetHooks& hooks);

} // namespace pemberlux
