// The eight settings of the receipt printers (TR-510, TR-520/TR-530) as one
// schema: their positions (the order they are sent in), keys, set codes, reply
// offsets, value words and limits, the values and changed marks a page keeps,
// the cutter rule of the models, the conversions of the two black mark
// distances and the check of a distance the user edits. Frames and reply
// decoding are in ReceiptCommands.h.
#pragma once

#include "core/base/StringId.h"
#include "core/port/SettingSchema.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace pemberlux {

struct PrinterModel;

// Positions of the settings: also the order of the items in a set frame.
enum ReceiptSettingPos : int {
    RS_PRINTER_LANGUAGE = 0,
    RS_CUTTER_SWITCH = 1,
    RS_PAPER_WIDE = 2,
    RS_PRINTING_DIRECTION = 3,
    RS_PAPER_TYPE = 4,
    RS_BLACK_MARK = 5,
    RS_BLACK_MARK_TO_HOME = 6,
    RS_BLACK_MARK_TO_CUTTER = 7,
};
inline constexpr int RECEIPT_SETTING_COUNT = 8;

// Distances travel in 1/144 inch; their whole millimetres reach 5766 at most.
inline constexpr int RC_UNITS_PER_INCH = 144;
inline constexpr int RC_DISTANCE_MAX = 5766;

// The schema, indexed by position. A list item travels as its index; a
// distance as 16 bits of 1/144 inch.
extern const std::array<SettingEntry, RECEIPT_SETTING_COUNT> RECEIPT_SETTINGS;

// ---- Values and marks ------------------------------------------------------

// What a page's controls hold: the selection of each list and the millimetre
// texts of the two distances.
using ReceiptSettingValues = SettingValues<RECEIPT_SETTING_COUNT>;
// One mark per position, set by the user's own changes; never cleared but by
// the cutter rule.
using ReceiptChangedMarks = SettingMarks<RECEIPT_SETTING_COUNT>;

// ---- Cutter rule -----------------------------------------------------------

// What the model says about the cutter setting. A receipt printer without a
// cutter (TR-510) hides it and never sends it; one with a cutter shows it and
// sends it with every Send Settings once its list has a selection. Any other
// model (or none) leaves the controls and the mark as they are: `visible` is
// unset then. Applied to `marks` when `marks` is given.
struct ReceiptCutterRule {
    bool known = false;
    bool visible = false;
};
ReceiptCutterRule ApplyReceiptCutterRule(const PrinterModel* model, bool cutterSelected,
                                         ReceiptChangedMarks* marks = nullptr);

// ---- Distances -------------------------------------------------------------

// A distance text as millimetres: a decimal number only (blanks before it,
// optional sign, digits, optional "." and digits, at least one digit, nothing
// after it). Hexadecimal, exponents, infinity, a lone sign and empty text are
// no number.
bool IsReceiptDistanceNumber(const std::string& text);

// Millimetre text to 1/144 inch: the decimal number times 1440, divided by 254
// and rounded to the nearest unit, halves away from zero (10 mm gives 57). Text
// that is no number gives 0; results beyond the 16-bit range saturate.
std::int16_t ReceiptMillimetresToUnits(const std::string& text);
// 1/144 inch to the millimetre text with one decimal (57 gives "10.1").
std::string ReceiptUnitsToMillimetresText(std::int16_t units);

// The check of a distance the user edited, on the text now in the edit.
// `message` is the string to show, if any (InputInteger "Input integer please.",
// ValueTooLarge "The value is too large!"), `text` what the edit must hold afterwards and
// `mark` whether the item counts as changed.
//  - The last character must be a digit, or a sign that is the whole text;
//    otherwise InputInteger, the last character goes whole, all its bytes of the UTF-8
//    text (nothing when the text is empty), no mark.
//  - The text must read as a decimal number as a whole; otherwise InputInteger and the
//    text is cut where it stops reading so ("1e5" keeps "1"), held to the
//    limits, no mark.
//  - An integer part above the distance's `max` or below its `min` gives
//    ValueTooLarge and the limit as the text; the mark is set.
struct ReceiptDistanceCheck {
    std::optional<StringId> message;
    std::string text;
    bool mark = false;
};
ReceiptDistanceCheck CheckReceiptDistance(const std::string& text, const SettingEntry& distance);

} // namespace pemberlux
