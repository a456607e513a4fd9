// The two commands of the interface page: tell the printer its new serial line
// settings, and reset its Wi-Fi module to the factory settings. Both are
// bracketed by ESC CR 'S' ... ESC DLE 'E'.
#pragma once

#include "core/base/Bytes.h"
#include "core/base/Models.h"
#include "core/base/PortSettings.h"
#include "core/port/Exchange.h"

#include <chrono>
#include <cstdint>
#include <functional>
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

// A factory reset as the settings pages and the command line run it: the
// family's reset frame, `taken` once the printer took it, then `settle` while
// the printer comes back on its factory line. Only when `settled` may the caller
// adopt that line (ApplyFactoryLineSettings): a reset that failed left the
// printer as it was, and a job stopped during the wait cannot know.
struct FactoryResetResult {
    ExchangeResult exchange;
    bool settled = false;
};
FactoryResetResult FactoryReset(PrinterPort& port, std::span<const std::uint8_t> frame,
                                std::chrono::milliseconds settle, const JobLimits& job,
                                const std::function<void()>& taken = {});

} // namespace pemberlux
