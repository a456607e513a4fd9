// The eight settings of the receipt printers (TR-510, TR-520/TR-530) as the
// receipt settings page shows them: their positions (the order they are sent
// in), controls, set codes and reply offsets, the values and changed marks the
// page keeps, the cutter rule of the models, the conversions of the two black
// mark distances and the check of a distance the user edits. Frames and reply
// decoding are in ReceiptCommands.h.
#pragma once

#include "core/base/StringId.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pemberlux {

struct PrinterModel;

// Dialog template of the receipt settings page and its controls.
inline constexpr int IDD_INTERNAL_SETUP_TR510 = 112;

enum ReceiptControlId : int {
    // Drop-down lists and edits of the eight settings.
    IDC_RC_PRINTER_LANGUAGE = 1102,
    IDC_RC_CUTTER_SWITCH = 1108,
    IDC_RC_PAPER_WIDE = 1111,
    IDC_RC_PRINTING_DIRECTION = 1109,
    IDC_RC_PAPER_TYPE = 1110,
    IDC_RC_BLACK_MARK = 1103,
    IDC_RC_BLACK_MARK_TO_HOME = 1104,
    IDC_RC_BLACK_MARK_TO_CUTTER = 1105,

    // Their labels.
    IDC_RC_PRINTER_LANGUAGE_LABEL = 1147,
    IDC_RC_CUTTER_SWITCH_LABEL = 1151,
    IDC_RC_PAPER_WIDE_LABEL = 1150,
    IDC_RC_PRINTING_DIRECTION_LABEL = 1148,
    IDC_RC_PAPER_TYPE_LABEL = 1149,
    IDC_RC_BLACK_MARK_LABEL = 1062,
    IDC_RC_BLACK_MARK_TO_HOME_LABEL = 1064,
    IDC_RC_BLACK_MARK_TO_CUTTER_LABEL = 1065,

    // The three buttons.
    IDC_RC_GET_PRINTER_SETTINGS = 1142,
    IDC_RC_SEND_SETTINGS = 1073,
    IDC_RC_RESTORE_ALL_SETTINGS = 1072,
};

// The buttons every job of the page holds.
inline constexpr std::array<int, 3> RC_ACTION_BUTTONS = {IDC_RC_GET_PRINTER_SETTINGS, IDC_RC_SEND_SETTINGS,
                                                         IDC_RC_RESTORE_ALL_SETTINGS};

struct ReceiptTooltip {
    int control;
    StringId stringId;
};
inline constexpr std::array<ReceiptTooltip, 9> RC_TOOLTIPS = {{
    {IDC_RC_PRINTER_LANGUAGE, StringId::TipPageMode},
    {IDC_RC_SEND_SETTINGS, StringId::TipSendSettings},
    {IDC_RC_RESTORE_ALL_SETTINGS, StringId::TipResetSettings},
    {IDC_RC_CUTTER_SWITCH, StringId::TipCutter},
    {IDC_RC_PAPER_WIDE, StringId::TipPaperWidth},
    {IDC_RC_PRINTING_DIRECTION, StringId::TipPrintDirection},
    {IDC_RC_BLACK_MARK, StringId::TipTopFormSensing},
    {IDC_RC_BLACK_MARK_TO_HOME, StringId::TipBlackMarkToHome},
    {IDC_RC_BLACK_MARK_TO_CUTTER, StringId::TipBlackMarkToCutter},
}};

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

struct ReceiptSettingInfo {
    ReceiptSettingPos pos;
    const char* name; // the English page label
    int control;
    int labelControl;
    std::uint8_t setCode;
    std::size_t replyOffset; // a distance takes two bytes, low first
    int listSize;            // items of the list; 0 for the two distances
    int lowerLimit;          // millimetres; distances only

    bool IsList() const { return listSize > 0; }
};

// Indexed by position.
extern const std::array<ReceiptSettingInfo, RECEIPT_SETTING_COUNT> RECEIPT_SETTINGS;

// ---- Values and marks ------------------------------------------------------

inline constexpr int RC_NO_SELECTION = -1;

// What the page's controls hold: the selection of each list (RC_NO_SELECTION
// when none) and the millimetre texts of the two distances. A new page has no
// selections and empty texts.
struct ReceiptSettingValues {
    std::array<int, RECEIPT_SETTING_COUNT> selection;
    std::array<std::string, RECEIPT_SETTING_COUNT> text;

    ReceiptSettingValues() { selection.fill(RC_NO_SELECTION); }
    bool operator==(const ReceiptSettingValues&) const = default;
};

// One mark per position, set by the user's own changes; never cleared but by
// the cutter rule.
using ReceiptChangedMarks = std::bitset<RECEIPT_SETTING_COUNT>;

// ---- Cutter rule -----------------------------------------------------------

// What the model says about the cutter setting. A receipt printer without a
// cutter (TR-510) hides it and never sends it; one with a cutter shows it and
// sends it with every Send Settings once its list has a selection. Any other
// model (or none) leaves the controls and the mark as they are: `visible` is
// unset then. Applied to `marks` when `marks` is given.
struct CutterRule {
    bool known = false;
    bool visible = false;
};
CutterRule ApplyCutterRule(const PrinterModel* model, bool cutterSelected, ReceiptChangedMarks* marks = nullptr);

// ---- Distances -------------------------------------------------------------

// Distances travel in 1/144 inch.
inline constexpr int RC_UNITS_PER_INCH = 144;
inline constexpr int RC_DISTANCE_MAX = 5766;

// A distance text as millimetres: a decimal number only (blanks before it,
// optional sign, digits, optional "." and digits, at least one digit, nothing
// after it). Hexadecimal, exponents, infinity, a lone sign and empty text are
// no number.
bool IsDistanceNumber(const std::string& text);

// Millimetre text to 1/144 inch: the decimal number times 1440, divided by 254
// and rounded to the nearest unit, halves away from zero (10 mm gives 57). Text
// that is no number gives 0; results beyond the 16-bit range saturate.
std::int16_t MillimetresToUnits(const std::string& text);
// 1/144 inch to the millimetre text with one decimal (57 gives "10.1").
std::string UnitsToMillimetresText(std::int16_t units);

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
//  - An integer part above 5766 or below the item's lower limit gives ValueTooLarge and
//    the limit as the text; the mark is set.
struct DistanceCheck {
    std::optional<StringId> message;
    std::string text;
    bool mark = false;
};
DistanceCheck CheckDistance(const std::string& text, int lowerLimit);

} // namespace pemberlux
