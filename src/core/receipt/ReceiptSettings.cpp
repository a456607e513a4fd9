#include "core/receipt/ReceiptSettings.h"

#include "core/base/DecimalText.h"
#include "core/base/Models.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <span>
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

// The value words: the English list items of the first version.
constexpr std::array<std::string_view, 2> LANGUAGE_WORDS = {"English", "Chinese"};
constexpr std::array<std::string_view, 2> OFF_ON_WORDS = {"Off", "On"};
constexpr std::array<std::string_view, 3> PAPER_WIDE_WORDS = {"76mm", "69mm", "57mm"};
constexpr std::array<std::string_view, 2> DIRECTION_WORDS = {"Unidirectional", "Bidirectional"};
constexpr std::array<std::string_view, 2> PAPER_TYPE_WORDS = {"Single", "Multipart"};

constexpr SettingEntry List(ReceiptSettingPos pos, std::string_view key, std::uint8_t setCode, std::size_t replyOffset,
                            std::span<const std::string_view> words) {
    return {.pos = pos,
            .key = key,
            .setCode = setCode,
            .replyOffset = replyOffset,
            .replyWidth = 1,
            .kind = SettingKind::List,
            .words = words};
}

constexpr SettingEntry Distance(ReceiptSettingPos pos, std::string_view key, std::uint8_t setCode,
                                std::size_t replyOffset, int min) {
    return {.pos = pos,
            .key = key,
            .setCode = setCode,
            .replyOffset = replyOffset,
            .replyWidth = 2,
            .kind = SettingKind::Millimetres,
            .unit = "1/144 in",
            .min = min,
            .max = RC_DISTANCE_MAX};
}

} // namespace

const std::array<SettingEntry, RECEIPT_SETTING_COUNT> RECEIPT_SETTINGS = {{
    List(RS_PRINTER_LANGUAGE, "printer_language", 0x16, 0, LANGUAGE_WORDS),
    List(RS_CUTTER_SWITCH, "cutter_switch", 0x34, 3, OFF_ON_WORDS),
    List(RS_PAPER_WIDE, "paper_wide", 0x38, 13, PAPER_WIDE_WORDS),
    List(RS_PRINTING_DIRECTION, "printing_direction", 0x3A, 11, DIRECTION_WORDS),
    List(RS_PAPER_TYPE, "paper_type", 0x25, 12, PAPER_TYPE_WORDS),
    List(RS_BLACK_MARK, "black_mark", 0x22, 4, OFF_ON_WORDS),
    Distance(RS_BLACK_MARK_TO_HOME, "black_mark_to_home", 0x2C, 5, -35),
    Distance(RS_BLACK_MARK_TO_CUTTER, "black_mark_to_cutter", 0x2D, 7, -54),
}};

ReceiptCutterRule ApplyReceiptCutterRule(const PrinterModel* model, bool cutterSelected, ReceiptChangedMarks* marks) {
    if (!model || model->family != PrinterFamily::Receipt) return {};
    if (marks) {
        if (!model->cutter)
            marks->reset(RS_CUTTER_SWITCH);
        else if (cutterSelected)
            marks->set(RS_CUTTER_SWITCH);
    }
    return {true, model->cutter};
}

bool IsReceiptDistanceNumber(const std::string& text) {
    const DecimalPrefix d = ReadDecimalPrefix(text);
    return d.length == text.size() && d.HasDigit();
}

std::int16_t ReceiptMillimetresToUnits(const std::string& text) {
    if (!IsReceiptDistanceNumber(text)) return 0;
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

std::string ReceiptUnitsToMillimetresText(std::int16_t units) {
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

ReceiptDistanceCheck CheckReceiptDistance(const std::string& text, const SettingEntry& distance) {
    ReceiptDistanceCheck check;
    const auto held = [&](long long value) -> std::string {
        if (value > distance.max) return std::to_string(distance.max);
        if (value < distance.min) return std::to_string(distance.min);
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
