// The receipt printers' bytes as the core builds and reads them: the set frame
// from the changed settings, the restore command, the settings reply with its
// serial configuration byte, the millimetre conversions, the check of an edited
// distance and the cutter rule of the models. Wire bytes are written out.
#include "../label/LabelTestUtil.h"
#include "core/base/Models.h"
#include "core/base/PortSettings.h"
#include "core/receipt/ReceiptCommands.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using test::Hex;
using test::HexText;

std::string Frame(const ReceiptChangedMarks& marks, const ReceiptSettingValues& values) {
    return HexText(BuildReceiptSettingsFrame(marks, values));
}

ReceiptChangedMarks Marks(std::initializer_list<int> positions) {
    ReceiptChangedMarks marks;
    for (int pos : positions)
        marks.set(static_cast<std::size_t>(pos));
    return marks;
}

// ---- Set frame -------------------------------------------------------------

TEST(ReceiptFrame, NothingChangedSendsTheEmptyFrame) {
    ReceiptSettingValues values;
    values.selection[RS_PAPER_WIDE] = 2;
    values.text[RS_BLACK_MARK_TO_HOME] = "10";
    EXPECT_EQ(Frame({}, values), "1B 0D 53 1B 10 45");
}

TEST(ReceiptFrame, ItemsGoOutInSettingOrderWithTheSelectedIndex) {
    ReceiptSettingValues values;
    values.selection = {1, 1, 2, 0, 1, 1, NO_SELECTION, NO_SELECTION};
    values.text[RS_BLACK_MARK_TO_HOME] = "10";
    values.text[RS_BLACK_MARK_TO_CUTTER] = "-54";
    // Marked in another order than the items go out.
    EXPECT_EQ(Frame(Marks({RS_PAPER_WIDE, RS_PRINTER_LANGUAGE}), values), "1B 0D 53 1B 16 01 1B 38 02 1B 10 45");
    EXPECT_EQ(Frame(Marks({7, 6, 5, 4, 3, 2, 1, 0}), values),
              "1B 0D 53 1B 16 01 1B 34 01 1B 38 02 1B 3A 00 1B 25 01 1B 22 01 1B 2C 39 00 1B 2D CE FE 1B 10 45");
}

TEST(ReceiptFrame, DistancesAreUnitsOf144thInchLowByteFirst) {
    const std::pair<const char*, const char*> cases[] = {
        {"10", "39 00"},
        {"12.5", "47 00"},
        {"-35", "3A FF"},
        {"-54", "CE FE"},
        {"5766", "B1 7F"},
        {"0", "00 00"},
        {"0.1", "01 00"},
        {"-0.1", "FF FF"},
        {"0.08", "00 00"},
        {"5766.99", "B7 7F"},
        {"-54.9", "C9 FE"},
        {" 10", "39 00"},
        {"+10", "39 00"},
        {"10.", "39 00"},
        {".5", "03 00"},
        // Read on the digits: 127/1440 mm is 0.0881944…, and a hair below it
        // is 126.99… × 1/1440, below the half; a double rounds it up to 127.
        {"0.0881944444444444444444", "00 00"},
        {"-0.0881944444444444444444", "00 00"},
        {"0.08819444444444444445", "01 00"},
        {"-0.08819444444444444445", "FF FF"},
    };
    ReceiptSettingValues values;
    for (const auto& [text, bytes] : cases) {
        values.text[RS_BLACK_MARK_TO_HOME] = text;
        EXPECT_EQ(Frame(Marks({RS_BLACK_MARK_TO_HOME}), values), std::string("1B 0D 53 1B 2C ") + bytes + " 1B 10 45")
            << '"' << text << '"';
    }
}

TEST(ReceiptFrame, NothingIsSentForAListWithoutSelectionOrADistanceWithoutNumber) {
    ReceiptSettingValues values;
    values.selection[RS_PAPER_WIDE] = 3; // beyond its three items
    for (const char* text : {"", "-", "+", "1e5", "0x7999", "1e999", "inf", "12,5", "1 2"}) {
        values.text[RS_BLACK_MARK_TO_CUTTER] = text;
        const ReceiptChangedMarks marks = Marks({RS_CUTTER_SWITCH, RS_PAPER_WIDE, RS_BLACK_MARK_TO_CUTTER});
        EXPECT_EQ(Frame(marks, values), "1B 0D 53 1B 10 45") << '"' << text << '"';
        EXPECT_EQ(FirstMarkedReceiptDistanceWithoutNumber(marks, values), RS_BLACK_MARK_TO_CUTTER)
            << '"' << text << '"';
        EXPECT_EQ(FirstMarkedReceiptDistanceWithoutNumber(Marks({RS_PAPER_WIDE}), values), -1);
    }
    values.text[RS_BLACK_MARK_TO_CUTTER] = "-54";
    EXPECT_EQ(FirstMarkedReceiptDistanceWithoutNumber(Marks({RS_BLACK_MARK_TO_CUTTER}), values), -1);
}

TEST(ReceiptFrame, RestoreCarriesTheProgramsLanguage) {
    const auto restore = [](const char* language) {
        const ReceiptRestoreFrame frame = BuildReceiptRestoreFrame(language);
        return HexText(Bytes(frame.begin(), frame.end()));
    };
    EXPECT_EQ(restore("English"), "1B 0D 53 1B 16 00 1B 10 45 1D 10 01");
    EXPECT_EQ(restore("Chinese"), "1B 0D 53 1B 16 01 1B 10 45 1D 10 01");
    for (const char* other : {"", "chinese", "German"})
        EXPECT_EQ(restore(other), "1B 0D 53 1B 16 00 1B 10 45 1D 10 01") << other;
    EXPECT_EQ(HexText(Bytes(RC_FRAME_READ_SETTINGS.begin(), RC_FRAME_READ_SETTINGS.end())),
              "1B 0D 53 1B 33 00 1B 10 45");
}

// ---- Reply -----------------------------------------------------------------

// Language Chinese, serial 0x9B, cutter on, black mark on, home -198 units,
// cutter 57 units, bidirectional, multipart, 57 mm; unused bytes non-zero.
const Bytes FULL_REPLY = Hex("01 A1 9B 01 01 3A FF 39 00 07 07 01 01 02");

TEST(ReceiptReply, AWholeReplySetsEveryListAndDistance) {
    ReceiptSettingValues values;
    ApplyReceiptSettingsReply(FULL_REPLY, values);
    EXPECT_EQ(values.selection, (std::array<int, 8>{1, 1, 2, 1, 1, 1, NO_SELECTION, NO_SELECTION}));
    EXPECT_EQ(values.text[RS_BLACK_MARK_TO_HOME], "-34.9");
    EXPECT_EQ(values.text[RS_BLACK_MARK_TO_CUTTER], "10.1");
    EXPECT_TRUE(ReceiptSettingsReplyComplete(FULL_REPLY));
    EXPECT_FALSE(ReceiptSettingsReplyComplete(std::span(FULL_REPLY).first(13)));
}

TEST(ReceiptReply, OnlyAValidIndexChangesAList) {
    ReceiptSettingValues before;
    before.selection = {0, 0, 1, 0, 0, 0, NO_SELECTION, NO_SELECTION};
    ReceiptSettingValues values = before;
    // Language 2, cutter FF, black mark 80, direction 2, paper type 7, width 3.
    ApplyReceiptSettingsReply(Hex("02 00 03 FF 80 00 00 00 00 00 00 02 07 03"), values);
    EXPECT_EQ(values.selection, before.selection);
    EXPECT_EQ(values.text[RS_BLACK_MARK_TO_HOME], "0.0");
}

TEST(ReceiptReply, FieldsWhoseBytesDidNotArriveStayAsTheyWere) {
    ReceiptSettingValues before;
    before.selection = {0, 0, 1, 0, 0, 0, NO_SELECTION, NO_SELECTION};
    before.text[RS_BLACK_MARK_TO_HOME] = "5.0";
    before.text[RS_BLACK_MARK_TO_CUTTER] = "7.0";
    struct Case {
        std::size_t size;
        std::array<int, 6> lists;
        const char* home;
        const char* cutter;
    } const cases[] = {
        {0, {0, 0, 1, 0, 0, 0}, "5.0", "7.0"},     {4, {1, 1, 1, 0, 0, 0}, "5.0", "7.0"},
        {6, {1, 1, 1, 0, 0, 1}, "5.0", "7.0"},     {7, {1, 1, 1, 0, 0, 1}, "-34.9", "7.0"},
        {8, {1, 1, 1, 0, 0, 1}, "-34.9", "7.0"},   {9, {1, 1, 1, 0, 0, 1}, "-34.9", "10.1"},
        {12, {1, 1, 1, 1, 0, 1}, "-34.9", "10.1"}, {13, {1, 1, 1, 1, 1, 1}, "-34.9", "10.1"},
    };
    for (const Case& c : cases) {
        ReceiptSettingValues values = before;
        ApplyReceiptSettingsReply(std::span(FULL_REPLY).first(c.size), values);
        for (std::size_t i = 0; i < c.lists.size(); ++i)
            EXPECT_EQ(values.selection[i], c.lists[i]) << c.size << " bytes, " << RECEIPT_SETTINGS[i].key;
        EXPECT_EQ(values.text[RS_BLACK_MARK_TO_HOME], c.home) << c.size;
        EXPECT_EQ(values.text[RS_BLACK_MARK_TO_CUTTER], c.cutter) << c.size;
    }
}

TEST(ReceiptReply, DistancesAsMillimetresWithOneDecimal) {
    const std::pair<std::int16_t, const char*> cases[] = {
        {57, "10.1"},      {-198, "-34.9"}, {0, "0.0"},          {71, "12.5"},
        {32689, "5766.0"}, {-306, "-54.0"}, {-32768, "-5779.9"},
    };
    for (const auto& [units, text] : cases)
        EXPECT_EQ(ReceiptUnitsToMillimetresText(units), text) << units;
}

TEST(ReceiptReply, SerialConfigurationByte) {
    struct Case {
        std::uint8_t byte;
        const char *baud, *flow, *parity, *stop, *data;
    } const cases[] = {
        {0x9B, "9600", "Xon/Xoff", "Even", "1", "7"}, {0x00, "1200", "DTR", "None", "1", "8"},
        {0x6C, "19200", "Xon/Xoff", "Odd", "2", "8"}, {0x27, "115200", "DTR", "Odd", "1", "8"},
        {0x35, "38400", "DTR", "Mark", "1", "8"}, // parity 3: left as it was
    };
    for (const Case& c : cases) {
        PortSettings s;
        s.parity = "Mark";
        s.flowControl = "whatever";
        s.comName = "/dev/ttyS0";
        ApplyReceiptSerialConfigByte(c.byte, s);
        EXPECT_EQ(s.baudRate, c.baud) << int(c.byte);
        EXPECT_EQ(s.flowControl, c.flow) << int(c.byte);
        EXPECT_EQ(s.parity, c.parity) << int(c.byte);
        EXPECT_EQ(s.stopBits, c.stop) << int(c.byte);
        EXPECT_EQ(s.dataBits, c.data) << int(c.byte);
        EXPECT_EQ(s.comName, "/dev/ttyS0");
    }
    PortSettings s;
    EXPECT_FALSE(ApplyReceiptSerialConfig(Hex("01 00"), s));
    EXPECT_EQ(s, PortSettings{});
    EXPECT_TRUE(ApplyReceiptSerialConfig(Hex("01 00 9B"), s));
    EXPECT_EQ(s.baudRate, "9600");
}

// ---- Distance check ----------------------------------------------------------

TEST(ReceiptDistanceCheck, LastCharacterIntegerPartAndLimits) {
    struct Case {
        const char* typed;
        int lower;
        int message;
        const char* text;
        bool mark;
    } const cases[] = {
        {"-", -35, 0, "-", true},
        {"+", -35, 0, "+", true},
        {"7", -35, 0, "7", true},
        {"12-", -35, 190, "12", false},
        {"", -35, 190, "", false},
        {"1a", -35, 190, "1", false},
        {"12.", -35, 190, "12", false},
        {"--", -35, 190, "-", false},
        {"6000", -35, 146, "5766", true},
        {"5767", -54, 146, "5766", true},
        {"5766.9", -35, 0, "5766.9", true},
        {"99999999999999999999", -35, 146, "5766", true},
        {"-40", -35, 146, "-35", true},
        {"-40", -54, 0, "-40", true},
        {"-55", -54, 146, "-54", true},
        {"-35.9", -35, 0, "-35.9", true},
        {"12.5", -35, 0, "12.5", true},
        // Pasted text that is no decimal number: cut where it stops being one.
        {"1e5", -35, 190, "1", false},
        {"0x7999", -35, 190, "0", false},
        {"1e999", -35, 190, "1", false},
        {"-1e5", -35, 190, "-1", false},
        {"99999e1", -35, 190, "5766", false},
        {"-1e2", -35, 190, "-1", false},
        {"12 5", -35, 190, "12", false},
        {"1.2.3", -35, 190, "1.2", false},
        // The last character goes whole, however many bytes it takes (UTF-8).
        {"12\xC3\xA9", -35, 190, "12", false},       // é
        {"12\xE4\xB8\xAD", -35, 190, "12", false},   // 中
        {"1\xF0\x9F\x98\x80", -35, 190, "1", false}, // an emoji
        {"\xE4\xB8\xAD", -35, 190, "", false},       // the whole text
        {"\xE4\xB8\xAD\xE6\x96\x87", -35, 190, "\xE4\xB8\xAD", false},
        {"12\x80", -35, 190, "12", false}, // a stray byte goes alone
    };
    for (const Case& c : cases) {
        const SettingEntry& distance =
            RECEIPT_SETTINGS[c.lower == RECEIPT_SETTINGS[RS_BLACK_MARK_TO_HOME].min ? RS_BLACK_MARK_TO_HOME
                                                                                    : RS_BLACK_MARK_TO_CUTTER];
        ASSERT_EQ(distance.min, c.lower);
        const ReceiptDistanceCheck check = CheckReceiptDistance(c.typed, distance);
        EXPECT_EQ(check.message ? static_cast<int>(*check.message) : 0, c.message) << '"' << c.typed << '"';
        EXPECT_EQ(check.text, c.text) << '"' << c.typed << '"';
        EXPECT_EQ(check.mark, c.mark) << '"' << c.typed << '"';
    }
}

TEST(ReceiptDistanceCheck, WhatPassesIsWithinTheSixteenBitRangeAndRoundsAtTheHalf) {
    const std::pair<const char*, int> cases[] = {
        // The largest and smallest texts the check lets through still fit the two bytes.
        {"5766.99999", 32695},
        {"-35.99999", -204},
        {"-54.99999", -312},
        // 1440 times the millimetres leaves 127 of 254, a half: away from zero; 126 stays.
        {"0.0885", 1},
        {"-0.0885", -1},
        {"1.8521", 11},
        {"-1.8521", -11},
        {"1.852", 10},
        {"-1.852", -10},
    };
    for (const auto& [text, units] : cases) {
        const ReceiptDistanceCheck check = CheckReceiptDistance(text, RECEIPT_SETTINGS[RS_BLACK_MARK_TO_CUTTER]);
        ASSERT_EQ(check.message, std::nullopt) << text;
        EXPECT_EQ(ReceiptMillimetresToUnits(check.text), units) << text;
    }
}

// ---- Cutter rule -------------------------------------------------------------

TEST(ReceiptCutterRule, ByTheModelsCutter) {
    const PrinterModel& tr510 = ModelById(ModelId::TR510);
    const PrinterModel& tr520 = ModelById(ModelId::TR520);
    for (bool selected : {false, true}) {
        ReceiptChangedMarks marks = Marks({RS_CUTTER_SWITCH, RS_PAPER_TYPE});
        ReceiptCutterRule rule = ApplyReceiptCutterRule(&tr510, selected, &marks);
        EXPECT_TRUE(rule.known);
        EXPECT_FALSE(rule.visible);
        EXPECT_EQ(marks, Marks({RS_PAPER_TYPE}));

        marks = Marks({RS_PAPER_TYPE});
        rule = ApplyReceiptCutterRule(&tr520, selected, &marks);
        EXPECT_TRUE(rule.known);
        EXPECT_TRUE(rule.visible);
        EXPECT_EQ(marks, selected ? Marks({RS_CUTTER_SWITCH, RS_PAPER_TYPE}) : Marks({RS_PAPER_TYPE}));

        // A label printer or no model at all: left as it is.
        for (const PrinterModel* other : {&ModelById(ModelId::LB610), static_cast<const PrinterModel*>(nullptr)}) {
            marks = Marks({RS_CUTTER_SWITCH});
            EXPECT_FALSE(ApplyReceiptCutterRule(other, selected, &marks).known);
            EXPECT_EQ(marks, Marks({RS_CUTTER_SWITCH}));
        }
    }
}

} // namespace
} // namespace pemberlux
