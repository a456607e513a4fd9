// The bytes the label settings page sends: the write-settings frame built from
// the changed settings, and the fixed query and action frames.
#include "LabelTestUtil.h"
#include "label/LabelCommands.h"

#include <gtest/gtest.h>

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
    return HexText(BuildSettingsFrame(marks, values, settings));
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
    const Bytes first = BuildSettingsFrame(marks, values, EnglishLb610());
    // The value is read when the frame is built, not when it was changed.
    values.selection[LS_PEELER] = 0;
    const Bytes second = BuildSettingsFrame(marks, values, EnglishLb610());
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

} // namespace
} // namespace pemberlux
