// The command line's value readers in-process: label offsets over every dot
// value, and profile texts.
#include "cli/Values.h"
#include "core/label/LabelSettings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace pemberlux::cli {
namespace {

// What `label get` shows of an offset and `label set` / `profile apply` send
// back: the same dots for every value the printer can hold in the settable range.
TEST(CliValues, EveryOffsetShownGoesBackAsTheSameDots) {
    for (int dots = INT16_MIN + 1; dots <= INT16_MAX; ++dots) {
        const std::string text = DotsToMillimetresText(static_cast<std::int16_t>(dots));
        const std::string given = ValueText(MillimetresValue(text));
        ASSERT_TRUE(IsMillimetres(given)) << dots << " shown as " << text << ", given as " << given;
        ASSERT_EQ(MillimetresToDots(given), dots) << dots << " shown as " << text << ", given as " << given;
    }
    // A half is rounded away from zero; two decimals stay.
    struct Case {
        int dots;
        const char* text;
        const char* given;
    } const cases[] = {
        {1, "0.13", "0.13"},
        {-1, "-0.13", "-0.13"},
        {2, "0.25", "0.25"},
        {3, "0.38", "0.38"},
        {-5, "-0.63", "-0.63"},
        {7, "0.88", "0.88"},
        {0, "0.00", "0.0"},
        {100, "12.50", "12.5"},
        {-16, "-2.00", "-2.0"},
        {32767, "4095.88", "4095.88"},
        {-32767, "-4095.88", "-4095.88"},
        {-32768, "-4096.00", "-4096.0"},
    };
    for (const Case& c : cases) {
        const std::string text = DotsToMillimetresText(static_cast<std::int16_t>(c.dots));
        EXPECT_EQ(text, c.text) << c.dots;
        EXPECT_EQ(ValueText(MillimetresValue(text)), c.given) << c.dots;
    }
    // The edge values of the sent side stay: truncation toward zero.
    EXPECT_EQ(MillimetresToDots("0.1"), 0);
    EXPECT_EQ(MillimetresToDots("-0.1"), 0);
    EXPECT_EQ(MillimetresToDots("-0.2"), -1);
    EXPECT_EQ(MillimetresToDots("0.12"), 0);
}

TEST(CliValues, ProfileTextsAreCheckedForDepthAndShape) {
    const std::string deep(PROFILE_MAX_DEPTH + 1, '[');
    const std::string atLimit = R"({"family":"label","settings":{},"x":)" + std::string(PROFILE_MAX_DEPTH - 1, '[') +
                                std::string(PROFILE_MAX_DEPTH - 1, ']') + "}";
    EXPECT_NO_THROW(ParseProfile(atLimit, "p"));
    const std::string overLimit = R"({"family":"label","settings":{},"x":)" + std::string(PROFILE_MAX_DEPTH, '[') +
                                  std::string(PROFILE_MAX_DEPTH, ']') + "}";
    for (const std::string& text : {deep, overLimit, std::string(200 * 1024, '{')}) {
        try {
            ParseProfile(text, "p.json");
            ADD_FAILURE() << "taken: " << text.substr(0, 40);
        } catch (const Failure& f) {
            EXPECT_EQ(f.code, EXIT_FILE);
            EXPECT_NE(std::string(f.what()).find("p.json: not a printer profile (nested deeper than"),
                      std::string::npos)
                << f.what();
        }
    }
    // Escaped quotes inside texts do not end them.
    const Json ok = ParseProfile(R"({"family":"receipt","firmware_version":null,"settings":{"a":"\"[[[","b":1.5,)"
                                 R"("c":true,"d":null}})",
                                 "p");
    EXPECT_EQ(ok["settings"]["a"], "\"[[[");
}

} // namespace
} // namespace pemberlux::cli
