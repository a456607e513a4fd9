#include "core/port/PortCommands.h"

#include "core/port/SetupFrame.h"

namespace pemberlux {

namespace {

Frame Bracketed(std::initializer_list<std::uint8_t> command) {
    Frame frame(SETUP_BEGIN.begin(), SETUP_BEGIN.end());
    frame.insert(frame.end(), command);
    frame.insert(frame.end(), SETUP_END.begin(), SETUP_END.end());
    return frame;
}

std::uint8_t BaudBits(const std::string& baud) {
    static const char* const rates[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
    for (std::uint8_t i = 0; i < 8; ++i) {
        if (baud == rates[i]) return i;
    }
    return 0;
}

} // namespace

std::uint8_t SerialConfigByte(const PortSettings& serial, const PrinterModel* model) {
    std::uint8_t n = BaudBits(serial.baudRate);
    if (serial.flowControl == "Xon/Xoff") n |= 0x08;
    const bool even = serial.parity == "Even";
    const bool odd = serial.parity == "Odd";
    switch (model ? model->serialParity : SerialParityBits::None) {
    case SerialParityBits::OddLowEvenHigh:
        if (even) n |= 0x20;
        if (odd) n |= 0x10;
        break;
    case SerialParityBits::EvenLowOddHigh:
        if (even) n |= 0x10;
        if (odd) n |= 0x20;
        break;
    case SerialParityBits::None:
        break;
    }
    if (serial.stopBits == "2") n |= 0x40;
    if (serial.dataBits == "7") n |= 0x80;
    return n;
}

Frame BuildSerialConfigFrame(const PortSettings& serial, const PrinterModel* model) {
    return Bracketed({0x1B, 0x23, SerialConfigByte(serial, model)});
}

Frame BuildWifiResetFrame() {
    return Bracketed({0x1B, 0x40, 0x01});
}

void ApplyFactoryLineSettings(PortSettings& settings) {
    settings.baudRate = "9600";
    settings.dataBits = "8";
    settings.parity = "None";
    settings.stopBits = "1";
    settings.flowControl = "DTR";
}

FactoryResetResult FactoryReset(PrinterPort& port, std::span<const std::uint8_t> frame,
                                std::chrono::milliseconds settle, const JobLimits& job,
                                const std::function<void()>& taken) {
    FactoryResetResult result{SendFrame(port, frame, job)};
    if (!result.exchange.Ok()) return result;
    if (taken) taken();
    result.settled = SleepFor(job.stop, settle);
    return result;
}

} // namespace pemberlux
