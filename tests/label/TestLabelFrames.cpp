// The bytes the label settings page sends: the write-settings frame built from
// the changed settings, and the fixed query and action frames, written out as
// the protocol lists them and sent to the simulated label printer.
#include "LabelPrinterSim.h"
#include "LabelTestUtil.h"
#include "RawClient.h"
#include "Transports.h"
#include "core/label/LabelCommands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace pemberlux {
namespace {

using test::Hex;
using test::HexText;

PortSettings EnglishLb610() {
    PortSettings s;
    s.modelName = "LB-610";
    s.language = "English";
    return s;
}

PortSettings Chinese200Dpi() {
    PortSettings s;
    s.modelName = "Label Printer(200DPI)";
    s.language = "Chinese";
    return s;
}

std::string Frame(const LabelChangedMarks& marks, const LabelSettingValues& values,
                  const PortSettings& settings = EnglishLb610()) {
    return HexText(BuildLabelSettingsFrame(marks, values, settings));
}

TEST(LabelSettingsFrame, NothingChangedSendsTheEmptyFrame) {
    LabelSettingValues values;
    values.selection[LS_PEELER] = 1;
    values.text[LS_PRINT_HOME_OFFSET] = "12.5";
    EXPECT_EQ(Frame({}, values), "1B 0D 53 1B 10 45");
}

TEST(LabelSettingsFrame, OnlyPrintSpeedGoesOutAsIndexPlusOne) {
    LabelSettingValues values;
    values.selection[LS_PAGE_MODE] = 1;   // not marked: stays out
    values.selection[LS_PRINT_SPEED] = 2; // item "3"
    LabelChangedMarks marks;
    marks.set(LS_PRINT_SPEED);
    EXPECT_EQ(Frame(marks, values), "1B 0D 53 1B 30 03 1B 10 45");
}

TEST(LabelSettingsFrame, OffsetsAreDotsLowByteFirstInPositionOrder) {
    LabelSettingValues values;
    values.text[LS_PRINT_HOME_OFFSET] = "12.5";
    values.text[LS_CUTTING_POSITION_OFFSET] = "-3";
    LabelChangedMarks marks;
    // Marked in the opposite order: the frame still follows the positions.
    marks.set(LS_CUTTING_POSITION_OFFSET);
    marks.set(LS_PRINT_HOME_OFFSET);
    EXPECT_EQ(Frame(marks, values), "1B 0D 53 1B 2C 64 00 1B 2D E8 FF 1B 10 45");
}

TEST(LabelSettingsFrame, OffsetsTruncateTowardZero) {
    LabelChangedMarks marks;
    marks.set(LS_PRINT_HOME_OFFSET);
    LabelSettingValues values;
    const std::pair<const char*, const char*> cases[] = {
        {"0.1", "00 00"},  {"-0.1", "00 00"},   {"-0.2", "FF FF"},    {"0.125", "01 00"},
        {"4095", "F8 7F"}, {"4095.9", "FF 7F"}, {"-4095.9", "01 80"}, {"", "00 00"},
        {"abc", "00 00"},  {" 2.5mm", "14 00"}, {"1e6", "08 00"},     {"-1e6", "F8 FF"},
    };
    for (const auto& [text, bytes] : cases) {
        values.text[LS_PRINT_HOME_OFFSET] = text;
        EXPECT_EQ(Frame(marks, values), std::string("1B 0D 53 1B 2C ") + bytes + " 1B 10 45") << '"' << text << '"';
    }
}

TEST(LabelSettingsFrame, BlackMarkAdValueIsTheLeadingIntegerLow16Bits) {
    LabelChangedMarks marks;
    marks.set(LS_BLACK_MARK_AD_VALUE);
    LabelSettingValues values;
    const std::pair<const char*, const char*> cases[] = {
        {"300", "2C 01"}, {"-1", "FF FF"}, {"-4095", "01 F0"}, {"12abc", "0C 00"},
        {"abc", "00 00"}, {"", "00 00"},   {"27", "1B 00"},
    };
    for (const auto& [text, bytes] : cases) {
        values.text[LS_BLACK_MARK_AD_VALUE] = text;
        EXPECT_EQ(Frame(marks, values), std::string("1B 0D 53 1B 28 ") + bytes + " 1B 10 45") << '"' << text << '"';
    }
}

TEST(LabelSettingsFrame, EmulationCodeFollowsLanguageAndModelAtEachSend) {
    LabelChangedMarks marks;
    marks.set(LS_EMULATION);
    LabelSettingValues values;
    values.selection[LS_EMULATION] = 0;
    // Four items: "ESC/POS" is code 0.
    EXPECT_EQ(Frame(marks, values, Chinese200Dpi()), "1B 0D 53 1B 24 00 1B 10 45");
    // Three items: the first is "ZPL", code 1.
    EXPECT_EQ(Frame(marks, values, EnglishLb610()), "1B 0D 53 1B 24 01 1B 10 45");
    // Both must match exactly.
    PortSettings chinese300 = Chinese200Dpi();
    chinese300.modelName = "Label Printer(300DPI)";
    EXPECT_EQ(Frame(marks, values, chinese300), "1B 0D 53 1B 24 01 1B 10 45");
    PortSettings lowerCase = Chinese200Dpi();
    lowerCase.language = "chinese";
    EXPECT_EQ(Frame(marks, values, lowerCase), "1B 0D 53 1B 24 01 1B 10 45");

    values.selection[LS_EMULATION] = 3;
    EXPECT_EQ(Frame(marks, values, Chinese200Dpi()), "1B 0D 53 1B 24 03 1B 10 45");
    // Index 3 does not exist in the three-item list: nothing is sent for it.
    EXPECT_EQ(Frame(marks, values, EnglishLb610()), "1B 0D 53 1B 10 45");
}

TEST(LabelSettingsFrame, MarkedListWithoutSelectionIsLeftOut) {
    LabelChangedMarks marks;
    marks.set(LS_PAGE_MODE);
    marks.set(LS_PRINT_SPEED);
    marks.set(LS_CUT_MODE);
    LabelSettingValues values;
    values.selection[LS_PAGE_MODE] = 1;
    values.selection[LS_PRINT_SPEED] = LB_NO_SELECTION;
    values.selection[LS_CUT_MODE] = 2; // beyond "Off", "On"
    EXPECT_EQ(Frame(marks, values), "1B 0D 53 1B 27 01 1B 10 45");
}

TEST(LabelSettingsFrame, SendingTwiceRepeatsTheChangedSetting) {
    LabelChangedMarks marks;
    LabelSettingValues values;
    values.selection[LS_PEELER] = 1;
    marks.set(LS_PEELER);
    const Bytes first = BuildLabelSettingsFrame(marks, values, EnglishLb610());
    // The value is read when the frame is built, not when it was changed.
    values.selection[LS_PEELER] = 0;
    const Bytes second = BuildLabelSettingsFrame(marks, values, EnglishLb610());
    EXPECT_EQ(HexText(first), "1B 0D 53 1B 2A 01 1B 10 45");
    EXPECT_EQ(HexText(second), "1B 0D 53 1B 2A 00 1B 10 45");
}

TEST(LabelSettingsFrame, EverySettingInPositionOrder) {
    LabelChangedMarks marks;
    marks.set();
    LabelSettingValues values;
    for (int pos = 0; pos < LABEL_SETTING_COUNT; ++pos)
        values.selection[static_cast<std::size_t>(pos)] = 1;
    values.text[LS_PRINT_HOME_OFFSET] = "1";
    values.text[LS_CUTTING_POSITION_OFFSET] = "-1";
    values.text[LS_BLACK_MARK_AD_VALUE] = "4095";
    EXPECT_EQ(Frame(marks, values),
              "1B 0D 53 1B 27 01 1B 25 01 1B 2A 01 1B 26 01 1B 2B 01 1B 29 01 1B 16 01 1B 24 02 1B 2F 01 "
              "1B 30 02 1B 22 01 1B 2C 08 00 1B 2D F8 FF 1B 34 01 1B 32 01 1B 28 FF 0F 1B 38 01 1B 10 45");
}

// ---- Fixed frames ----------------------------------------------------------------

using Count = std::size_t (*)(const sim::LabelCounters&);
enum class Answer { None, SettingsReply, Text };
struct FixedFrame {
    const char* name;
    const char* wire; // as the protocol lists it
    Bytes program;    // what the program sends
    Answer answer;
    Count count;      // the printer's count of this action
    const char* text; // a text answer, without its zero byte
};

std::vector<FixedFrame> FixedFrames() {
    const auto bytes = [](const auto& frame) { return Bytes(frame.begin(), frame.end()); };
    return {
        {"read settings", "1B 0D 53 1B 33 00 1B 10 45", bytes(LB_FRAME_READ_SETTINGS), Answer::SettingsReply,
         [](const sim::LabelCounters& c) { return c.settingsQueries; }, ""},
        {"restore factory settings", "1B 0D 53 1B 60 01 1B 10 45", bytes(LB_FRAME_RESTORE_FACTORY), Answer::None,
         [](const sim::LabelCounters& c) { return c.factoryResets; }, ""},
        {"calibrate label", "1B 0D 53 1B 3D 01 1B 10 45", bytes(LB_FRAME_CALIBRATE), Answer::None,
         [](const sim::LabelCounters& c) { return c.calibrations; }, ""},
        {"serial number", "1B 0D 53 1B 19 01 1B 10 45", bytes(TextQueryFrame(LabelTextQuery::SerialNumber)),
         Answer::Text, [](const sim::LabelCounters& c) { return c.serialNumberQueries; }, "LB610-24070315"},
        {"firmware version", "1B 0D 53 1B 1A 01 1B 10 45", bytes(TextQueryFrame(LabelTextQuery::FirmwareVersion)),
         Answer::Text, [](const sim::LabelCounters& c) { return c.firmwareQueries; }, "LB-610 V1.16 2024-06-18"},
        {"print statistics", "1B 0D 53 1B 18 01 1B 10 45", bytes(TextQueryFrame(LabelTextQuery::Statistics)),
         Answer::Text, [](const sim::LabelCounters& c) { return c.statisticsQueries; }, "1250.40 m"},
        {"self-test", "1B 0D 4C", bytes(LB_FRAME_SELF_TEST), Answer::None,
         [](const sim::LabelCounters& c) { return c.selfTests; }, ""},
    };
}

TEST(LabelFixedFrames, TheProgramSendsTheListedBytesAndThePrinterActsOnThem) {
    using namespace std::chrono_literals;
    for (const FixedFrame& f : FixedFrames()) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(HexText(f.program), f.wire);

        sim::LabelPrinterSim printer;
        sim::TcpServer server(printer);
        test::FdGuard fd(test::ConnectTcp(server.Port()));
        ASSERT_GE(fd.get(), 0);
        ASSERT_TRUE(test::WriteAll(fd.get(), f.program));
        ASSERT_TRUE(printer.WaitForFrames(1, 5s));
        EXPECT_EQ(HexText(printer.Received()), f.wire);
        EXPECT_EQ(f.count(printer.Counters()), 1u);
        EXPECT_EQ(printer.Counters().rejectedFrames, 0u);

        switch (f.answer) {
        case Answer::None:
            EXPECT_TRUE(test::ReadFor(fd.get(), 1, 300ms).empty());
            break;
        case Answer::SettingsReply: {
            const Bytes reply = test::ReadFor(fd.get(), 45, 5s);
            ASSERT_EQ(reply.size(), 45u);
            EXPECT_EQ(HexText(Bytes(reply.begin(), reply.begin() + 4)), "1B 0D 53 33");
            break;
        }
        case Answer::Text: {
            // The text and the zero byte after it.
            Bytes expected(f.text, f.text + std::strlen(f.text) + 1);
            EXPECT_EQ(HexText(test::ReadFor(fd.get(), expected.size(), 5s)), HexText(expected));
            break;
        }
        }
    }
}

TEST(LabelFixedFrames, ThePrinterIgnoresEveryOtherValueByte) {
    for (const FixedFrame& f : FixedFrames()) {
        if (f.program.size() != 9) continue; // the self-test has no value byte
        SCOPED_TRACE(f.name);
        for (int value = 0; value < 256; ++value) {
            Bytes frame = test::Hex(f.wire);
            if (frame[5] == value) continue;
            frame[5] = static_cast<std::uint8_t>(value);
            sim::LabelPrinterSim printer;
            const auto answers = printer.Receive(frame.data(), frame.size());
            EXPECT_TRUE(answers.empty()) << value;
            EXPECT_EQ(f.count(printer.Counters()), 0u) << value;
            EXPECT_EQ(printer.Counters().rejectedFrames, 1u) << value;
        }
    }
}

} // namespace
} // namespace pemberlux
