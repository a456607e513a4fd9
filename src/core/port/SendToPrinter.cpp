#include "core/port/SendToPrinter.h"

#include "core/base/UiText.h"

namespace pemberlux {

SendResult SendToPrinter(const PortSettings& snapshot, const UsbSelection& usb, std::span<const std::uint8_t> bytes,
                         const JobLimits& job) {
    SetThreadUiLanguage(LanguageIdOf(snapshot.language));
    PrinterPort port(snapshot, usb);
    const ExchangeResult result = SendFrame(port, bytes, job);
    SendResult sent;
    sent.status = result.status;
    sent.code = result.code;
    sent.open = result.open;
    sent.stalled = result.stalled;
    sent.message = ExchangeMessage(result, port.kind);
    return sent;
}

} // namespace pemberlux
