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

using K = LabelValueKind;

const std::vector<std::string> kNoItems;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    std::size_t from = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', from);
        lines.push_back(text.substr(from, nl == std::string::npos ? std::string::npos : nl - from));
        if (nl == std::string::npos) break;
        from = nl + 1;
    }
    return lines;
}

// The items of each list as the page's template holds them, by position, for
// English [0] and Chinese [1]; read once from the template texts.
using ItemTable = std::array<std::array<std::vector<std::string>, 2>, LABEL_SETTING_COUNT>;
const ItemTable& TemplateItems() {
    static const ItemTable table = [] {
        ItemTable t;
        for (const LabelSettingInfo& info : LABEL_SETTINGS) {
            if (!info.IsList()) continue;
            const std::string key = std::to_string(info.control) + ".items";
            t[static_cast<std::size_t>(info.pos)][0] = SplitLines(TemplateText(IDD_PRINTING_SETUP_LB610, key, 1033));
            t[static_cast<std::size_t>(info.pos)][1] = SplitLines(TemplateText(IDD_PRINTING_SETUP_LB610, key, 2052));
        }
        return t;
    }();
    return table;
}

const std::vector<std::string> kFourEmulations = {"ESC/POS", "ZPL", "EPL", "TSPL"};
const std::vector<std::string> kThreeEmulations = {"ZPL", "EPL", "TSPL"};

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

const std::array<LabelSettingInfo, LABEL_SETTING_COUNT> LABEL_SETTINGS = {{
    {LS_PAGE_MODE, "Page Mode", IDC_PAGE_MODE, IDC_PAGE_MODE_LABEL, 0x27, 28, K::ListIndex},
    {LS_PRINT_MEDIA, "Print Media", IDC_PRINT_MEDIA, IDC_PRINT_MEDIA_LABEL, 0x25, 26, K::ListIndex},
    {LS_PEELER, "Peeler", IDC_PEELER, IDC_PEELER_LABEL, 0x2A, 37, K::ListIndex},
    {LS_PRINT_METHOD, "Print Method", IDC_PRINT_METHOD, IDC_PRINT_METHOD_LABEL, 0x26, 27, K::ListIndex},
    {LS_PAPER_OUT_DETECTION, "Paper Out Detection", IDC_PAPER_OUT_DETECTION, IDC_PAPER_OUT_DETECTION_LABEL, 0x2B, 17,
     K::ListIndex},
    {LS_PRINT_DENSITY, "Print Density", IDC_PRINT_DENSITY, IDC_PRINT_DENSITY_LABEL, 0x29, 36, K::ListIndex},
    {LS_PRINTER_LANGUAGE, "Printer Language", IDC_PRINTER_LANGUAGE, IDC_PRINTER_LANGUAGE_LABEL, 0x16, 9, K::ListIndex},
    {LS_EMULATION, "Emulation", IDC_EMULATION, IDC_EMULATION_LABEL, 0x24, 15, K::Emulation},
    {LS_AUTO_CALIBRATE_LABEL, "Auto Calibrate Label", IDC_AUTO_CALIBRATE_LABEL, IDC_AUTO_CALIBRATE_LABEL_LABEL, 0x2F,
     19, K::ListIndex},
    {LS_PRINT_SPEED, "Print Speed", IDC_PRINT_SPEED, IDC_PRINT_SPEED_LABEL, 0x30, 35, K::ListIndexPlus1},
    {LS_TOP_FORM_SENSING, "Top Form Sensing", IDC_TOP_FORM_SENSING, IDC_TOP_FORM_SENSING_LABEL, 0x22, 13, K::ListIndex},
    {LS_PRINT_HOME_OFFSET, "Print Home Offset", IDC_PRINT_HOME_OFFSET, IDC_PRINT_HOME_OFFSET_LABEL, 0x2C, 38,
     K::Millimetres},
    {LS_CUTTING_POSITION_OFFSET, "Cutting Position Offset", IDC_CUTTING_POSITION_OFFSET,
     IDC_CUTTING_POSITION_OFFSET_LABEL, 0x2D, 40, K::Millimetres},
    {LS_CUT_MODE, "Cut Mode", IDC_CUT_MODE, IDC_CUT_MODE_LABEL, 0x34, 8, K::ListIndex},
    {LS_PRINT_POSITION_DETECTION, "Print Position Detection", IDC_PRINT_POSITION_DETECTION,
     IDC_PRINT_POSITION_DETECTION_LABEL, 0x32, 11, K::ListIndex},
    {LS_BLACK_MARK_AD_VALUE, "Black Mark AD value", IDC_BLACK_MARK_AD_VALUE, IDC_BLACK_MARK_AD_VALUE_LABEL, 0x28, 33,
     K::AdValue},
    {LS_PAPER_SENSOR_SELECTION, "Paper sensor selection", IDC_PAPER_SENSOR_SELECTION, IDC_PAPER_SENSOR_SELECTION_LABEL,
     0x38, 12, K::ListIndex},
}};

const LabelSettingInfo* LabelSettingByControl(int control) {
    for (const auto& info : LABEL_SETTINGS)
        if (info.control == control) return &info;
    return nullptr;
}

const std::vector<std::string>& LabelListItems(int pos, int langId) {
    if (pos < 0 || pos >= LABEL_SETTING_COUNT) return kNoItems;
    return TemplateItems()[static_cast<std::size_t>(pos)][langId == 2052 ? 1 : 0];
}

const std::vector<std::string>& LabelListItems(int pos, const std::string& languageText) {
    return LabelListItems(pos, languageText == "Chinese" ? 2052 : 1033);
}

bool UsesFourItemEmulation(const PortSettings& settings) {
    if (settings.language != "Chinese") return false;
    const PrinterModel* model = ModelByName(settings.modelName, LANG_CHINESE);
    return model && model->escPosInChinese;
}

const std::vector<std::string>& EmulationListItems(const PortSettings& settings) {
    return UsesFourItemEmulation(settings) ? kFourEmulations : kThreeEmulations;
}

int LabelListSize(int pos, const PortSettings& settings) {
    if (pos == LS_EMULATION) return static_cast<int>(EmulationListItems(settings).size());
    // Both languages hold the same number of items in every other list.
    return static_cast<int>(LabelListItems(pos, 1033).size());
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
