// Decoding what a label printer answers: the settings reply into list
// selections, edit texts and serial line settings, and the text replies; also
// as the simulated label printer lays them out.
#include "LabelPrinterSim.h"
#include "LabelTestUtil.h"
#include "core/label/LabelCommands.h"

#include <gtest/gtest.h>

#include <optional>

namespace pemberlux {
namespace {

PortSettings LineSettings() {
    PortSettings s;
    s.modelName = "LB-610";
    s.language = "English";
    s.portKind = PORT_COM;
    s.comName = "COM3";
    s.baudRate = "115200";
    s.parity = "Even";
    s.dataBits = "7";
    s.stopBits = "2";
    s.flowControl = "Xon/Xoff";
    s.lptName = "LPT2";
    s.ipAddress = "127.0.0.1";
    s.tcpPort = 9100;
    return s;
}

Bytes ReplyWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes, std::size_t size = 45) {
    Bytes reply(size, 0);
    for (auto [offset, value] : bytes)
        reply.at(offset) = value;
    return reply;
}

std::string Line(const PortSettings& s) {
    return s.baudRate + " " + s.parity + " " + s.dataBits + " " + s.stopBits + " " + s.flowControl;
}

TEST(LabelSerialConfig, ReplyByteSevenSetsTheSerialLine) {
    // Starting from 115200 Even 7 2 Xon/Xoff each time; parity 3 keeps the parity.
    const std::pair<std::uint8_t, const char*> cases[] = {
        {0x13, "9600 Odd 8 1 Xon/Xoff"},
        {0x05, "38400 None 8 1 Xon/Xoff"},
        {0xA0, "1200 Even 7 1 Xon/Xoff"},
        {0x7F, "115200 Even 8 2 Xon/Xoff"},
    };
    for (const auto& [byte, line] : cases) {
        PortSettings s = LineSettings();
        ASSERT_TRUE(ApplyLabelSerialConfig(ReplyWith({{7, byte}}), s));
        EXPECT_EQ(Line(s), line);
        // Names, addresses and the rest stay.
        PortSettings rest = LineSettings();
        rest.baudRate = s.baudRate;
        rest.parity = s.parity;
        rest.dataBits = s.dataBits;
        rest.stopBits = s.stopBits;
        EXPECT_EQ(s, rest);
    }
}

TEST(LabelSerialConfig, ReplyEndingBeforeByteSevenChangesNothing) {
    PortSettings s = LineSettings();
    EXPECT_FALSE(ApplyLabelSerialConfig(Bytes(7, 0x13), s));
    EXPECT_FALSE(ApplyLabelSerialConfig(Bytes{}, s));
    EXPECT_EQ(s, LineSettings());
}

TEST(LabelSettingsReply, EveryFieldFromItsOffset) {
    const Bytes reply = ReplyWith({
        {28, 1},    // Page Mode
        {26, 1},    // Print Media
        {37, 1},    // Peeler
        {27, 0},    // Print Method
        {17, 1},    // Paper Out Detection
        {36, 5},    // Print Density "6"
        {9, 1},     // Printer Language
        {15, 3},    // Emulation TSPL
        {19, 1},    // Auto Calibrate Label
        {35, 4},    // Print Speed "4"
        {13, 1},    // Top Form Sensing
        {38, 0x64}, // Print Home Offset 100 dots
        {40, 0xF0}, // Cutting Position Offset -16 dots
        {41, 0xFF}, //
        {8, 1},     // Cut Mode
        {11, 1},    // Print Position Detection
        {33, 0x2C}, // Black Mark AD value 300
        {34, 0x01}, //
        {12, 1},    // Paper sensor selection
    });
    LabelSettingValues values;
    ApplyLabelSettingsReply(reply, LineSettings(), values);
    const int expected[LABEL_SETTING_COUNT] = {1, 1, 1, 0, 1, 5, 1, 2, 1, 3, 1, -1, -1, 1, 1, -1, 1};
    for (int pos = 0; pos < LABEL_SETTING_COUNT; ++pos)
        EXPECT_EQ(values.selection[static_cast<std::size_t>(pos)], expected[pos]) << LABEL_SETTINGS[pos].key;
    EXPECT_EQ(values.text[LS_PRINT_HOME_OFFSET], "12.50");
    EXPECT_EQ(values.text[LS_CUTTING_POSITION_OFFSET], "-2.00");
    EXPECT_EQ(values.text[LS_BLACK_MARK_AD_VALUE], "300");
}

TEST(LabelSettingsReply, BytesOutsideAListLeaveItWithoutSelection) {
    LabelSettingValues values;
    values.selection.fill(1);
    ApplyLabelSettingsReply(ReplyWith({{35, 0}, {28, 0x80}, {37, 2}, {36, 6}, {26, 0xFF}}), LineSettings(), values);
    EXPECT_EQ(values.selection[LS_PRINT_SPEED], LB_NO_SELECTION); // 0 - 1
    EXPECT_EQ(values.selection[LS_PAGE_MODE], LB_NO_SELECTION);   // signed: -128
    EXPECT_EQ(values.selection[LS_PEELER], LB_NO_SELECTION);      // two items only
    EXPECT_EQ(values.selection[LS_PRINT_DENSITY], LB_NO_SELECTION);
    EXPECT_EQ(values.selection[LS_PRINT_MEDIA], LB_NO_SELECTION);
    EXPECT_EQ(values.selection[LS_CUT_MODE], 0);
}

TEST(LabelSettingsReply, EmulationFollowsTheListShownAtDecode) {
    PortSettings three = LineSettings();
    PortSettings four = LineSettings();
    four.language = "Chinese";
    four.modelName = "Label Printer(200DPI)";

    LabelSettingValues values;
    values.selection[LS_EMULATION] = 2;
    // Three items: byte 0 is not one of them and the selection stays.
    ApplyLabelSettingsReply(ReplyWith({{15, 0}}), three, values);
    EXPECT_EQ(values.selection[LS_EMULATION], 2);
    ApplyLabelSettingsReply(ReplyWith({{15, 4}}), three, values);
    EXPECT_EQ(values.selection[LS_EMULATION], 2);
    ApplyLabelSettingsReply(ReplyWith({{15, 1}}), three, values);
    EXPECT_EQ(values.selection[LS_EMULATION], 0);

    // Four items: the byte is the index, and a byte beyond clears it.
    ApplyLabelSettingsReply(ReplyWith({{15, 0}}), four, values);
    EXPECT_EQ(values.selection[LS_EMULATION], 0);
    ApplyLabelSettingsReply(ReplyWith({{15, 3}}), four, values);
    EXPECT_EQ(values.selection[LS_EMULATION], 3);
    ApplyLabelSettingsReply(ReplyWith({{15, 4}}), four, values);
    EXPECT_EQ(values.selection[LS_EMULATION], LB_NO_SELECTION);
}

TEST(LabelSettingsReply, OffsetAndAdTexts) {
    // A half hundredth is rounded away from zero, so the text sends the same dots back.
    const std::tuple<std::uint8_t, std::uint8_t, const char*> offsets[] = {
        {0x64, 0x00, "12.50"}, {0xF0, 0xFF, "-2.00"},   {0x01, 0x00, "0.13"},     {0xFF, 0xFF, "-0.13"},
        {0x00, 0x00, "0.00"},  {0xFF, 0x7F, "4095.88"}, {0x00, 0x80, "-4096.00"}, {0x03, 0x00, "0.38"},
    };
    for (const auto& [low, high, text] : offsets) {
        LabelSettingValues values;
        ApplyLabelSettingsReply(ReplyWith({{38, low}, {39, high}, {40, low}, {41, high}}), LineSettings(), values);
        EXPECT_EQ(values.text[LS_PRINT_HOME_OFFSET], text);
        EXPECT_EQ(values.text[LS_CUTTING_POSITION_OFFSET], text);
    }
    LabelSettingValues values;
    ApplyLabelSettingsReply(ReplyWith({{33, 0xFF}, {34, 0xFF}}), LineSettings(), values);
    EXPECT_EQ(values.text[LS_BLACK_MARK_AD_VALUE], "65535");
}

TEST(LabelSettingsReply, ShortReplyLeavesWhatDidNotArrive) {
    LabelSettingValues before;
    before.selection.fill(1);
    before.text[LS_PRINT_HOME_OFFSET] = "1.00";
    before.text[LS_CUTTING_POSITION_OFFSET] = "9.00";
    before.text[LS_BLACK_MARK_AD_VALUE] = "7";
    const Bytes full = ReplyWith({{7, 0x13}, {38, 0x10}, {40, 0x20}, {33, 0x30}});

    // Nothing at all.
    LabelSettingValues values = before;
    ApplyLabelSettingsReply(Bytes{}, LineSettings(), values);
    EXPECT_EQ(values, before);

    // Up to offset 33: fields before it are set, the AD value (33-34) and all
    // later ones stay.
    values = before;
    ApplyLabelSettingsReply(std::span(full).first(34), LineSettings(), values);
    EXPECT_EQ(values.selection[LS_CUT_MODE], 0);
    EXPECT_EQ(values.selection[LS_PAGE_MODE], 0);
    EXPECT_EQ(values.text[LS_BLACK_MARK_AD_VALUE], "7");
    EXPECT_EQ(values.selection[LS_PRINT_SPEED], 1);
    EXPECT_EQ(values.selection[LS_PEELER], 1);
    EXPECT_EQ(values.text[LS_PRINT_HOME_OFFSET], "1.00");

    // The home offset arrived whole, the cutting offset only by its low byte.
    values = before;
    ApplyLabelSettingsReply(std::span(full).first(41), LineSettings(), values);
    EXPECT_EQ(values.text[LS_BLACK_MARK_AD_VALUE], "48");
    EXPECT_EQ(values.text[LS_PRINT_HOME_OFFSET], "2.00");
    EXPECT_EQ(values.text[LS_CUTTING_POSITION_OFFSET], "9.00");
    EXPECT_EQ(values.selection[LS_PRINT_SPEED], LB_NO_SELECTION);
    EXPECT_FALSE(LabelSettingsReplyComplete(std::span(full).first(41)));

    values = before;
    ApplyLabelSettingsReply(std::span(full).first(42), LineSettings(), values);
    EXPECT_EQ(values.text[LS_CUTTING_POSITION_OFFSET], "4.00");
    EXPECT_TRUE(LabelSettingsReplyComplete(std::span(full).first(42)));
}

TEST(LabelSettingsReply, ReplyOfTheSimulatedPrinterShowsWhatItHolds) {
    // Values the printer keeps by position (0-16), each different from its factory value.
    const int held[LABEL_SETTING_COUNT] = {1, 1, 1, 0, 0, 5, 1, 2, 0, 4, 1, 100, -24, 1, 0, 4095, 0};
    sim::LabelPrinterSim printer;
    for (int pos = 0; pos < LABEL_SETTING_COUNT; ++pos)
        printer.SetSetting(pos, held[pos]);
    printer.SetSerialConfig(0x16); // 57600 baud, odd parity, 1 stop bit, 8 data bits

    PortSettings s = LineSettings();
    LabelSettingValues values;
    ASSERT_TRUE(ApplyLabelSerialConfig(printer.SettingsReply(), s));
    ApplyLabelSettingsReply(printer.SettingsReply(), s, values);
    EXPECT_EQ(Line(s), "57600 Odd 8 1 Xon/Xoff");
    // Emulation 2 (EPL) is the second item of the three-item list; speed byte 4 is item "4".
    const int shown[LABEL_SETTING_COUNT] = {1, 1, 1, 0, 0, 5, 1, 1, 0, 3, 1, -1, -1, 1, 0, -1, 0};
    for (int pos = 0; pos < LABEL_SETTING_COUNT; ++pos)
        EXPECT_EQ(values.selection[static_cast<std::size_t>(pos)], shown[pos]) << LABEL_SETTINGS[pos].key;
    EXPECT_EQ(values.text[LS_PRINT_HOME_OFFSET], "12.50");
    EXPECT_EQ(values.text[LS_CUTTING_POSITION_OFFSET], "-3.00");
    EXPECT_EQ(values.text[LS_BLACK_MARK_AD_VALUE], "4095");
}

TEST(LabelTextReply, TextEndsAtTheFirstZeroOrTheEnd) {
    const std::string serial = "LB610-24070315";
    Bytes reply(serial.begin(), serial.end());
    EXPECT_EQ(DecodeLabelTextReply(reply, 1033), serial);
    reply.push_back(0);
    reply.push_back('X');
    EXPECT_EQ(DecodeLabelTextReply(reply, 1033), serial);
    EXPECT_EQ(DecodeLabelTextReply(Bytes{0, 'A'}, 1033), "");
    EXPECT_EQ(DecodeLabelTextReply(Bytes{}, 2052), "");

    // Never more than the reply buffer, even without a terminating zero.
    const Bytes longReply(1034, 'A');
    EXPECT_EQ(DecodeLabelTextReply(longReply, 1033), std::string(1024, 'A'));
}

TEST(LabelTextReply, BytesAreReadInTheCodePageOfTheLanguage) {
    // "版本" in GBK, then an e-acute in Windows-1252.
    EXPECT_EQ(DecodeLabelTextReply(test::Hex("B0 E6 B1 BE 56 31"), 2052), "版本V1");
    EXPECT_EQ(DecodeLabelTextReply(test::Hex("43 61 66 E9"), 1033), "Caf\xC3\xA9");
    // A lead byte cut off at the end does not swallow the text before it.
    EXPECT_EQ(DecodeLabelTextReply(test::Hex("41 42 B0"), 2052), "AB\xEF\xBF\xBD");
}

TEST(LabelTextReply, HeadMileageIsANumberOfMetres) {
    const struct {
        const char* text;
        std::optional<double> metres;
    } cases[] = {
        {"1250.40 m", 1250.4},
        {"1250.40m", 1250.4},
        {" 0 m\r\n", 0.0},
        {"12", 12.0},
        {".5 m", 0.5},
        {"1250.40 km", std::nullopt},
        {"m", std::nullopt},
        {"", std::nullopt},
        {"1.2.3 m", std::nullopt},
        {"-5 m", std::nullopt},
        {"12 m m", std::nullopt},
        {"inf", std::nullopt},
        {"1e3 m", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HeadMileageMetres(c.text), c.metres) << '"' << c.text << '"';
}

} // namespace
} // namespace pemberlux
