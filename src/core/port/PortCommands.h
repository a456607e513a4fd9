// The two commands of the interface page: tell the printer its new serial line
// settings, and reset its Wi-Fi module to the factory settings. Both are
// bracketed by ESC CR 'S' ... ESC DLE 'E'.
#pragma once

#include "core/base/Models.h"
#include "core/base/PortSettings.h"
#include "core/port/Exchange.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace pemberlux {

using Frame = std::vector<std::uint8_t>;

// The settings byte: baud rate in bits 0-2, Xon/Xoff in bit 3, parity in bits 4
// and 5 the way `model` numbers them (none without a model), two stop bits in
// bit 6, seven data bits in bit 7.
std::uint8_t SerialConfigByte(const PortSettings& serial, const PrinterModel* model);

// 1B 0D 53  1B 23 n  1B 10 45
Frame BuildSerialConfigFrame(const PortSettings& serial, const PrinterModel* model);

// 1B 0D 53  1B 40 01  1B 10 45
Frame BuildWifiResetFrame();

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
