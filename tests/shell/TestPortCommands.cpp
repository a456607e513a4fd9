#include "core/port/PortCommands.h"
#include "core/port/SetupFrame.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

PortSettings Serial(const char* baud, const char* dataBits, const char* parity, const char* stopBits,
                    const char* flow) {
    PortSettings s;
    s.baudRate = baud;
    s.dataBits = dataBits;
    s.parity = parity;
    s.stopBits = stopBits;
    s.flowControl = flow;
    return s;
}

const PrinterModel* const LB610 = &ModelById(ModelId::LB610);
const PrinterModel* const LB710 = &ModelById(ModelId::LB710);
const PrinterModel* const TR510 = &ModelById(ModelId::TR510);
const PrinterModel* const TR520 = &ModelById(ModelId::TR520);
const PrinterModel* const LB600 = &ModelById(ModelId::LB600);

TEST(SerialConfigFrame, CarriesTheSettingsByteBetweenTheSetupBrackets) {
    const PortSettings s = Serial("19200", "7", "Even", "2", "Xon/Xoff");
    EXPECT_EQ(BuildSerialConfigFrame(s, LB610), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x23, 0xEC, 0x1B, 0x10, 0x45}));
    EXPECT_EQ(BuildSerialConfigFrame(s, TR510), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x23, 0xDC, 0x1B, 0x10, 0x45}));
    EXPECT_EQ(BuildSerialConfigFrame(s, TR520), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x23, 0xCC, 0x1B, 0x10, 0x45}));
}

TEST(SerialConfigFrame, PlainLineIsTheSameForEveryModel) {
    const PortSettings s = Serial("9600", "8", "None", "1", "DTR");
    for (const PrinterModel* model : {static_cast<const PrinterModel*>(nullptr), LB610, LB710, TR510, TR520, LB600})
        EXPECT_EQ(SerialConfigByte(s, model), 0x03);
}

TEST(SerialConfigFrame, ParityBitsDependOnTheFamily) {
    // Label printers: odd 0x10, even 0x20; TR-510 the other way round; the
    // other models carry no parity.
    EXPECT_EQ(SerialConfigByte(Serial("1200", "8", "Odd", "1", "DTR"), LB710), 0x10);
    EXPECT_EQ(SerialConfigByte(Serial("1200", "8", "Odd", "1", "DTR"), TR510), 0x20);
    EXPECT_EQ(SerialConfigByte(Serial("1200", "8", "Odd", "1", "DTR"), LB600), 0x00);
    EXPECT_EQ(SerialConfigByte(Serial("1200", "8", "Even", "1", "DTR"), nullptr), 0x00);
}

TEST(SerialConfigFrame, BaudRatesAndUnknownValues) {
    const char* rates[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(SerialConfigByte(Serial(rates[i], "8", "None", "1", "DTR"), LB610), i);
    // Anything else counts as 1200; "Xon / Xoff" as shown in the list is not the stored value.
    EXPECT_EQ(SerialConfigByte(Serial("14400", "8", "None", "1", "Xon / Xoff"), LB610), 0x00);
    EXPECT_EQ(SerialConfigByte(Serial("", "", "", "", ""), LB610), 0x00);
}

TEST(SerialConfigFrame, ReplyByteIsReadInTheLayoutOfTheFamily) {
    const SerialReplyLayout label = SettingsReplyLayout(PrinterFamily::Label);
    const SerialReplyLayout receipt = SettingsReplyLayout(PrinterFamily::Receipt);
    const SerialReplyLayout none{SerialParityBits::None, true};
    struct Case {
        std::uint8_t byte;
        SerialReplyLayout layout;
        PortSettings expected; // from Serial("1200", "8", "Mark", "1", "Flow")
    } cases[] = {
        {0x13, label, Serial("9600", "8", "Odd", "1", "Flow")},
        {0x23, label, Serial("9600", "8", "Even", "1", "Flow")},
        {0x33, label, Serial("9600", "8", "Mark", "1", "Flow")},
        {0x9B, receipt, Serial("9600", "7", "Even", "1", "Xon/Xoff")},
        {0x67, receipt, Serial("115200", "8", "Odd", "2", "DTR")},
        {0xB0, receipt, Serial("1200", "7", "Mark", "1", "DTR")},
        {0x0C, label, Serial("19200", "8", "None", "1", "Flow")},
        {0x14, none, Serial("19200", "8", "Mark", "1", "DTR")},
        {0x00, none, Serial("1200", "8", "None", "1", "DTR")},
    };
    for (const Case& c : cases) {
        PortSettings s = Serial("1200", "8", "Mark", "1", "Flow");
        DecodeSerialConfig(c.byte, c.layout, s);
        EXPECT_EQ(s, c.expected) << int(c.byte);
    }
}

TEST(SetupFrame, OneEnvelopeForFixedAndBuiltFrames) {
    constexpr auto query = SetupFrame({0x1B, 0x33, 0x00});
    EXPECT_EQ(Bytes(query.begin(), query.end()), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x33, 0x00, 0x1B, 0x10, 0x45}));
    constexpr auto opened = SetupOpened({0x1B, 0x90});
    EXPECT_EQ(Bytes(opened.begin(), opened.end()), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x90}));
    EXPECT_EQ(WrapSetupItems({}), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x10, 0x45}));
    EXPECT_EQ(WrapSetupItems(Bytes{0x1B, 0x3E, 0x00, 0x1B, 0x24, 0x01}),
              (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x3E, 0x00, 0x1B, 0x24, 0x01, 0x1B, 0x10, 0x45}));
}

TEST(WifiResetFrame, Bytes) {
    EXPECT_EQ(BuildWifiResetFrame(), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x40, 0x01, 0x1B, 0x10, 0x45}));
}

} // namespace
} // namespace pemberlux
