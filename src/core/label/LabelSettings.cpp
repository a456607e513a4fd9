#include "core/label/LabelSettings.h"

#include "core/base/DecimalText.h"
#include "core/base/Models.h"
#include "core/base/UiText.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <string>

namespace pemberlux {

namespace {

using K = SettingKind;

constexpr std::string_view OFF_ON[] = {"Off", "On"};
constexpr std::string_view PRINT_MEDIA[] = {"Label Paper", "Continuous Paper"};
constexpr std::string_view PRINT_METHOD[] = {"Thermal Transfer", "Direct Thermal"};
constexpr std::string_view DENSITY[] = {"1", "2", "3", "4", "5", "6"};
constexpr std::string_view PRINTER_LANGUAGE[] = {"English", "Chinese"};
// All four; the three-item list shows the last three.
constexpr std::string_view EMULATION[] = {"ESC/POS", "ZPL", "EPL", "TSPL"};
constexpr std::string_view SPEED[] = {"1", "2", "3", "4"};
constexpr std::string_view PAPER_SENSOR[] = {"Reflective sensor", "Gap sensor"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// How a text reads as a decimal number: blanks, an optional sign, digits, an
// optional point and more digits, blanks. Any part may be missing, so that what
// a user has typed so far ("", "-", "12.") reads too.
struct DecimalText {
    std::size_t length = 0; // of the part that reads as such
    bool negative = false;
    std::string digits; // the digits and the point
};

DecimalText ReadDecimal(const std::string& text) {
    DecimalText d;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) d.negative = text[i++] == '-';
    const std::size_t number = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
    }
    d.digits = text.substr(number, i - number);
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    d.length = i;
    return d;
}

} // namespace

// An offset travels in dots, 8 to the millimetre.
const std::array<SettingEntry, LABEL_SETTING_COUNT> LABEL_SETTINGS = {{
    {LS_PAGE_MODE, "page_mode", 0x27, 28, 1, K::List, OFF_ON},
    {LS_PRINT_MEDIA, "print_media", 0x25, 26, 1, K::List, PRINT_MEDIA},
    {LS_PEELER, "peeler", 0x2A, 37, 1, K::List, OFF_ON},
    {LS_PRINT_METHOD, "print_method", 0x26, 27, 1, K::List, PRINT_METHOD},
    {LS_PAPER_OUT_DETECTION, "paper_out_detection", 0x2B, 17, 1, K::List, OFF_ON},
    {LS_PRINT_DENSITY, "print_density", 0x29, 36, 1, K::List, DENSITY},
    {LS_PRINTER_LANGUAGE, "printer_language", 0x16, 9, 1, K::List, PRINTER_LANGUAGE},
    {LS_EMULATION, "emulation", 0x24, 15, 1, K::List, EMULATION},
    {LS_AUTO_CALIBRATE_LABEL, "auto_calibrate_label", 0x2F, 19, 1, K::List, OFF_ON},
    {LS_PRINT_SPEED, "print_speed", 0x30, 35, 1, K::List, SPEED, 1},
    {LS_TOP_FORM_SENSING, "top_form_sensing", 0x22, 13, 1, K::List, OFF_ON},
    {LS_PRINT_HOME_OFFSET, "print_home_offset", 0x2C, 38, 2, K::Millimetres, {}, 0, "dot", LB_EDIT_MIN, LB_EDIT_MAX},
    {LS_CUTTING_POSITION_OFFSET,
     "cutting_position_offset",
     0x2D,
     40,
     2,
     K::Millimetres,
     {},
     0,
     "dot",
     LB_EDIT_MIN,
     LB_EDIT_MAX},
    {LS_CUT_MODE, "cut_mode", 0x34, 8, 1, K::List, OFF_ON},
    {LS_PRINT_POSITION_DETECTION, "print_position_detection", 0x32, 11, 1, K::List, OFF_ON},
    // Sent as the low 16 bits of any integer typed; a profile or the command
    // line gives it within the range.
    {LS_BLACK_MARK_AD_VALUE, "black_mark_ad_value", 0x28, 33, 2, K::Integer, {}, 0, {}, 0, LB_EDIT_MAX},
    {LS_PAPER_SENSOR_SELECTION, "paper_sensor_selection", 0x38, 12, 1, K::List, PAPER_SENSOR},
}};

bool UsesFourItemEmulation(const PortSettings& settings) {
    if (settings.language != "Chinese") return false;
    const PrinterModel* model = ModelByName(settings.modelName, LANG_CHINESE);
    return model && model->escPosInChinese;
}

namespace {

// Where the list as shown starts among the entry's words.
std::size_t FirstShownWord(int pos, const PortSettings& settings) {
    return pos == LS_EMULATION && !UsesFourItemEmulation(settings) ? 1 : 0;
}

} // namespace

std::span<const std::string_view> LabelListWords(int pos, const PortSettings& settings) {
    if (pos < 0 || pos >= LABEL_SETTING_COUNT) return {};
    return LABEL_SETTINGS[static_cast<std::size_t>(pos)].words.subspan(FirstShownWord(pos, settings));
}

std::vector<std::string> EmulationListItems(const PortSettings& settings) {
    const auto words = LabelListWords(LS_EMULATION, settings);
    return {words.begin(), words.end()};
}

int LabelListSize(int pos, const PortSettings& settings) {
    return static_cast<int>(LabelListWords(pos, settings).size());
}

std::optional<std::uint8_t> LabelListCode(int pos, int selection, const PortSettings& settings) {
    if (selection < 0 || selection >= LabelListSize(pos, settings)) return std::nullopt;
    const int word = selection + static_cast<int>(FirstShownWord(pos, settings));
    return static_cast<std::uint8_t>(LABEL_SETTINGS[static_cast<std::size_t>(pos)].firstCode + word);
}

int LabelListSelection(int pos, int code, const PortSettings& settings) {
    const int selection = code - LABEL_SETTINGS[static_cast<std::size_t>(pos)].firstCode -
                          static_cast<int>(FirstShownWord(pos, settings));
    return selection >= 0 && selection < LabelListSize(pos, settings) ? selection : NO_SELECTION;
}

int LeadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::int16_t MillimetresToDots(const std::string& text) {
    // Decimal digits only, whatever the locale: no hexadecimal, exponent,
    // infinity or comma, which the C library's reading would take.
    const DecimalText d = ReadDecimal(text);
    const std::string_view digits = d.digits;
    const std::size_t point = std::min(digits.find('.'), digits.size());
    const std::string_view fraction = point < digits.size() ? digits.substr(point + 1) : std::string_view{};
    // Truncated toward zero on the digits themselves, so that the dots never
    // reach past the whole millimetres the range check saw.
    const long long dots = ScaledDecimal(digits.substr(0, point), fraction, LB_DOTS_PER_MM, INT16_MAX + 1LL);
    return static_cast<std::int16_t>(d.negative ? std::max(-dots, static_cast<long long>(INT16_MIN))
                                                : std::min(dots, static_cast<long long>(INT16_MAX)));
}

std::string DotsToMillimetresText(std::int16_t dots) {
    // A dot is 0.125 mm: the third decimal is 0 or 5. Rounding it away from zero
    // makes the text at least as far from zero as the dots, so reading it back
    // (truncated toward zero) gives the same dots.
    const int magnitude = dots < 0 ? -static_cast<int>(dots) : dots;
    const int hundredths = (magnitude * 125 + 5) / 10;
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%s%d.%02d", dots < 0 ? "-" : "", hundredths / 100, hundredths % 100);
    return std::string(buf, static_cast<std::size_t>(n));
}

std::uint16_t AdValueFromText(const std::string& text) {
    return static_cast<std::uint16_t>(static_cast<unsigned int>(LeadingInteger(text)) & 0xFFFFu);
}

std::string AdValueText(std::uint16_t value) {
    return std::to_string(value);
}

EditRangeResult CheckEditRange(const std::string& text) {
    const std::size_t decimal = ReadDecimal(text).length;
    // What does not read as a decimal number is cut off where it stops reading so.
    std::string kept = text.substr(0, decimal);
    while (decimal < text.size() && !kept.empty() && IsBlank(kept.back()))
        kept.pop_back();
    const int value = LeadingInteger(kept);
    if (value > LB_EDIT_MAX) return {true, std::to_string(LB_EDIT_MAX)};
    if (value < LB_EDIT_MIN) return {true, std::to_string(LB_EDIT_MIN)};
    return {decimal < text.size(), kept};
}

} // namespace pemberlux
