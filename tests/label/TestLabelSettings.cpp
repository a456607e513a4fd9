// The label settings: the emulation list rule and the range check of the three edits.
#include "core/label/LabelSettings.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using Items = std::vector<std::string>;

TEST(LabelListItems, EmulationListRule) {
    PortSettings s;
    s.language = "Chinese";
    s.modelName = "Label Printer(200DPI)";
    EXPECT_EQ(EmulationListItems(s), (Items{"ESC/POS", "ZPL", "EPL", "TSPL"}));
    EXPECT_EQ(LabelListSize(LS_EMULATION, s), 4);
    // Another model in Chinese shows three, as does the model in English.
    for (const char* model : {"Label Printer(300DPI)", "LB-610", "label printer(200dpi)"}) {
        s.modelName = model;
        EXPECT_EQ(EmulationListItems(s), (Items{"ZPL", "EPL", "TSPL"})) << model;
    }
    s.modelName = "Label Printer(200DPI)";
    s.language = "English";
    EXPECT_EQ(LabelListSize(LS_EMULATION, s), 3);
}

TEST(LabelEditRange, OnlyTheIntegerPartIsChecked) {
    EXPECT_EQ(CheckEditRange("5000").clamped, true);
    EXPECT_EQ(CheckEditRange("5000").text, "4095");
    EXPECT_EQ(CheckEditRange("-5000").text, "-4095");
    EXPECT_TRUE(CheckEditRange("-5000").clamped);
    EXPECT_TRUE(CheckEditRange("99999999999999999999").clamped);
    EXPECT_EQ(CheckEditRange("-99999999999999999999").text, "-4095");
    for (const char* ok : {"4095", "4095.9", "-4095.9", "", "12.5", "-", "0"}) {
        const EditRangeResult r = CheckEditRange(ok);
        EXPECT_FALSE(r.clamped) << ok;
        EXPECT_EQ(r.text, ok);
    }
}

TEST(LabelEditRange, OnlyDecimalNumbersPassAndTheRestIsCutWhereItStopsReadingSo) {
    struct Case {
        const char* typed;
        bool refused; // message 146
        const char* shown;
    } const cases[] = {
        // Decimal numbers, also half typed ones.
        {"12.5", false, "12.5"},
        {"-2.00", false, "-2.00"},
        {"+7", false, "+7"},
        {" 7 ", false, " 7 "},
        {"12.", false, "12."},
        {".", false, "."},
        {"-", false, "-"},
        {"", false, ""},
        // What the C library would also have read as a number.
        {"0x10", true, "0"},
        {"inf", true, ""},
        {"-inf", true, "-"},
        {"nan", true, ""},
        {"1e6", true, "1"},
        {"2E3", true, "2"},
        // Other stray characters.
        {"12,5", true, "12"},
        {"abc", true, ""},
        {"1 2", true, "1"},
        {"--5", true, "-"},
        // Out of range, also when something follows the number.
        {"5000x", true, "4095"},
        {"-5000.5", true, "-4095"},
    };
    for (const Case& c : cases) {
        const EditRangeResult r = CheckEditRange(c.typed);
        EXPECT_EQ(r.clamped, c.refused) << c.typed;
        EXPECT_EQ(r.text, c.shown) << c.typed;
    }
}

TEST(LabelOffsets, MillimetresAreReadAsDecimalNumbersOnly) {
    const std::string manyNines(400, '9');
    const std::string tiny = "0." + std::string(400, '0') + "1";
    struct Case {
        std::string text;
        std::int16_t dots;
    } const cases[] = {
        {"12.5", 100},
        {"-2", -16},
        {"0.125", 1},
        {".5", 4},
        {"12.", 96},
        {"  3", 24},
        {"12.5mm", 100},
        {"4095.9", 32767},
        {"-4095.99", -32767},
        // Truncated on the digits: a long fraction never carries into the
        // next whole dot, so the dots stay within what the range check saw.
        {"-4095.9999999999999", -32767},
        {"4095.9999999999999", 32767},
        {"12.99999999999999999", 103},
        {"-12.99999999999999999", -103},
        {"0.12499999999999999999", 0},
        {"9999999", 32767},
        {"-9999999", -32768},
        {manyNines, 32767},
        {tiny, 0},
        {"", 0},
        {"-", 0},
        // No hexadecimal, exponent, infinity or decimal comma.
        {"0x10", 0},
        {"1e3", 8},
        {"inf", 0},
        {"-infinity", 0},
        {"nan", 0},
        {"1,5", 8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MillimetresToDots(c.text), c.dots) << c.text.substr(0, 20);
}

TEST(LabelEditRange, LeadingInteger) {
    EXPECT_EQ(LeadingInteger("300"), 300);
    EXPECT_EQ(LeadingInteger("  -12.7mm"), -12);
    EXPECT_EQ(LeadingInteger("+7"), 7);
    EXPECT_EQ(LeadingInteger("x12"), 0);
    EXPECT_EQ(LeadingInteger("99999999999"), 2147483647);
    EXPECT_EQ(LeadingInteger("-99999999999"), -2147483647 - 1);
}

} // namespace
} // namespace pemberlux
