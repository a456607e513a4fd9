#include "core/port/PortCommands.h"

#include "core/port/SetupFrame.h"

namespace pemberlux {

namespace {

std::uint8_t BaudBits(const std::string& baud) {
    for (std::size_t i = 0; i < SERIAL_BAUD_RATES.size(); ++i) {
        if (baud == SERIAL_BAUD_RATES[i]) return static_cast<std::uint8_t>(i);
    }
    return 0;
}

// Bits 4 and 5 of each parity text, by layout.
std::uint8_t EvenBits(SerialParityBits parity) {
    return parity == SerialParityBits::OddLowEvenHigh ? 0x20 : parity == SerialParityBits::EvenLowOddHigh ? 0x10 : 0;
}
std::uint8_t OddBits(SerialParityBits parity) {
    return parity == SerialParityBits::OddLowEvenHigh ? 0x10 : parity == SerialParityBits::EvenLowOddHigh ? 0x20 : 0;
}

} // namespace

std::uint8_t EncodeSerialConfig(const PortSettings& serial, SerialParityBits parity) {
    std::uint8_t n = BaudBits(serial.baudRate);
    if (serial.flowControl == "Xon/Xoff") n |= 0x08;
    if (serial.parity == "Even") n |= EvenBits(parity);
    if (serial.parity == "Odd") n |= OddBits(parity);
    if (serial.stopBits == "2") n |= 0x40;
    if (serial.dataBits == "7") n |= 0x80;
    return n;
}

void DecodeSerialConfig(std::uint8_t config, SerialReplyLayout layout, PortSettings& settings) {
    settings.baudRate = SERIAL_BAUD_RATES[config & 0x07];
    if (layout.flowControl) settings.flowControl = (config & 0x08) ? "Xon/Xoff" : "DTR";
    const std::uint8_t parity = config & 0x30;
    if (parity == 0) {
        settings.parity = "None";
    } else if (layout.parity != SerialParityBits::None) {
        if (parity == EvenBits(layout.parity)) settings.parity = "Even";
        if (parity == OddBits(layout.parity)) settings.parity = "Odd";
    }
    settings.stopBits = (config & 0x40) ? "2" : "1";
    settings.dataBits = (config & 0x80) ? "7" : "8";
}

std::uint8_t SerialConfigByte(const PortSettings& serial, const PrinterModel* model) {
    return EncodeSerialConfig(serial, model ? model->serialParity : SerialParityBits::None);
}

Bytes BuildSerialConfigFrame(const PortSettings& serial, const PrinterModel* model) {
    const auto frame = SetupFrame({0x1B, 0x23, SerialConfigByte(serial, model)});
    return Bytes(frame.begin(), frame.end());
}

Bytes BuildWifiResetFrame() {
    constexpr auto frame = SetupFrame({0x1B, 0x40, 0x01});
    return Bytes(frame.begin(), frame.end());
}

void ApplyFactoryLineSettings(PortSettings& settings) {
    settings.baudRate = "9600";
    settings.dataBits = "8";
    settings.parity = "None";
    settings.stopBits = "1";
    settings.flowControl = "DTR";
}

FactoryResetRun RunFactoryReset(PrinterPort& port, const FactoryResetSequence& sequence, const JobLimits& job,
                                const FactoryResetHooks& hooks) {
    FactoryResetRun run;
    run.reset = SendFrame(port, sequence.frame, job);
    if (!run.reset.Ok()) return run;
    if (hooks.taken) hooks.taken();
    const auto adopt = [&] {
        ApplyFactoryLineSettings(port.settings);
        run.adopted = !hooks.adopt || hooks.adopt();
        return run.adopted;
    };
    if (sequence.lineChangesAtOnce && !adopt()) return run;
    if (!SleepFor(job.stop, sequence.settle)) return run;
    if (!sequence.lineChangesAtOnce && !adopt()) return run;
    run.readBack = sequence.readBack(port, job);
    return run;
}

} // namespace pemberlux
