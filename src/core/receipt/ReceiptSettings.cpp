#include "core/receipt/ReceiptSettings.h"

#include "core/base/DecimalText.h"
#include "core/base/Models.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <string_view>
#include <system_error>

namespace pemberlux {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The longest start of `text` that reads as a decimal number or the beginning
// of one: blanks, an optional sign, digits, an optional "." and digits.
struct DecimalPrefix {
    std::size_t length = 0; // characters read
    bool negative = false;
    std::string_view whole;    // digits before the point
    std::string_view fraction; // digits after it
    bool HasDigit() const { return !whole.empty() || !fraction.empty(); }
};

DecimalPrefix ReadDecimalPrefix(std::string_view text) {
    DecimalPrefix d;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) d.negative = text[i++] == '-';
    std::size_t from = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    d.whole = text.substr(from, i - from);
    if (i < text.size() && text[i] == '.') {
        from = ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        d.fraction = text.substr(from, i - from);
    }
    d.length = i;
    return d;
}

// The integer part, saturating far beyond the limits.
long long IntegerPart(const DecimalPrefix& d) {
    long long value = 0;
    for (char c : d.whole)
        value = std::min(value * 10 + (c - '0'), static_cast<long long>(INT_MAX));
    return d.negative ? -value : value;
}

} // namespace

const std::array<ReceiptSettingInfo, RECEIPT_SETTING_COUNT> RECEIPT_SETTINGS = {{
    {RS_PRINTER_LANGUAGE, "Printer Language", IDC_RC_PRINTER_LANGUAGE, IDC_RC_PRINTER_LANGUAGE_LABEL, 0x16, 0, 2, 0},
    {RS_CUTTER_SWITCH, "Cutter Switch", IDC_RC_CUTTER_SWITCH, IDC_RC_CUTTER_SWITCH_LABEL, 0x34, 3, 2, 0},
    {RS_PAPER_WIDE, "Paper Wide", IDC_RC_PAPER_WIDE, IDC_RC_PAPER_WIDE_LABEL, 0x38, 13, 3, 0},
    {RS_PRINTING_DIRECTION, "Printing Direction", IDC_RC_PRINTING_DIRECTION, IDC_RC_PRINTING_DIRECTION_LABEL, 0x3A, 11,
     2, 0},
    {RS_PAPER_TYPE, "Paper type", IDC_RC_PAPER_TYPE, IDC_RC_PAPER_TYPE_LABEL, 0x25, 12, 2, 0},
    {RS_BLACK_MARK, "Black Mark", IDC_RC_BLACK_MARK, IDC_RC_BLACK_MARK_LABEL, 0x22, 4, 2, 0},
    {RS_BLACK_MARK_TO_HOME, "Black Mark to Home", IDC_RC_BLACK_MARK_TO_HOME, IDC_RC_BLACK_MARK_TO_HOME_LABEL, 0x2C, 5,
     0, -35},
    {RS_BLACK_MARK_TO_CUTTER, "Black Mark to Cutter", IDC_RC_BLACK_MARK_TO_CUTTER, IDC_RC_BLACK_MARK_TO_CUTTER_LABEL,
     0x2D, 7, 0, -54},
}};

CutterRule ApplyCutterRule(const PrinterModel* model, bool cutterSelected, ReceiptChangedMarks* marks) {
    if (!model || model->family != PrinterFamily::Receipt) return {};
    if (marks) {
        if (!model->cutter)
            marks->reset(RS_CUTTER_SWITCH);
        else if (cutterSelected)
            marks->set(RS_CUTTER_SWITCH);
    }
    return {true, model->cutter};
}

bool IsDistanceNumber(const std::string& text) {
    const DecimalPrefix d = ReadDecimalPrefix(text);
    return d.length == text.size() && d.HasDigit();
}

std::int16_t MillimetresToUnits(const std::string& text) {
    if (!IsDistanceNumber(text)) return 0;
    const DecimalPrefix d = ReadDecimalPrefix(text);
    // n: the millimetres times 1440, truncated toward zero, worked out on the
    // digits. The units are n / 254, one more when the remainder is 127 or
    // more: the nearest unit, halves away from zero.
    constexpr long long cap = 1'000'000'000'000LL;
    const long long n = ScaledDecimal(d.whole, d.fraction, 1440, cap);
    const long long units = n / 254 + (n % 254 >= 127 ? 1 : 0);
    return static_cast<std::int16_t>(d.negative ? std::max(-units, static_cast<long long>(INT16_MIN))
                                                : std::min(units, static_cast<long long>(INT16_MAX)));
}

std::string UnitsToMillimetresText(std::int16_t units) {
    const double mm = units / static_cast<double>(RC_UNITS_PER_INCH) * 25.4;
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, mm, std::chars_format::fixed, 1);
    (void)ec; // "-5779.3" at most
    return std::string(buf, end);
}

namespace {

// The text (UTF-8) without its last character, whatever number of bytes that
// takes: a typed or pasted non-ASCII character goes whole, never half of it.
std::string WithoutLastCharacter(const std::string& text) {
    if (text.empty()) return text;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t start = text.size() - 1;
    for (int n = 0; n < 3 && start > 0 && (byte(start) & 0xC0) == 0x80; ++n)
        --start;
    // A stray continuation byte without its lead goes alone.
    if ((byte(start) & 0xC0) != 0xC0) start = text.size() - 1;
    return text.substr(0, start);
}

} // namespace

DistanceCheck CheckDistance(const std::string& text, int lowerLimit) {
    DistanceCheck check;
    const auto held = [&](long long value) -> std::string {
        if (value > RC_DISTANCE_MAX) return std::to_string(RC_DISTANCE_MAX);
        if (value < lowerLimit) return std::to_string(lowerLimit);
        return {};
    };
    const char last = text.empty() ? '\0' : text.back();
    const bool lastPasses = IsDigit(last) || (text.size() == 1 && (last == '-' || last == '+'));
    if (!lastPasses) {
        check.message = StringId::InputInteger;
        check.text = WithoutLastCharacter(text);
        return check;
    }
    const DecimalPrefix d = ReadDecimalPrefix(text);
    if (d.length < text.size()) {
        // Pasted text that is no decimal number: what reads as one stays.
        check.message = StringId::InputInteger;
        check.text = text.substr(0, d.length);
        while (!check.text.empty() && IsBlank(check.text.back()))
            check.text.pop_back();
        const std::string limit = held(IntegerPart(d));
        if (!limit.empty()) check.text = limit;
        return check;
    }
    check.text = text;
    check.mark = true;
    const std::string limit = held(IntegerPart(d));
    if (!limit.empty()) {
        check.message = StringId::ValueTooLarge;
        check.text = limit;
    }
    return check;
}

} // namespace pemberlux
