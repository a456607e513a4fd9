// The seventeen settings of the label printers (LB-610, LB-710, LB-600): their
// schema (positions, keys, set codes, reply offsets, value words and limits),
// the emulation list rule, the values and changed marks a page keeps, and the
// unit conversions of the edits.
// Frames and reply decoding are in LabelCommands.h.
#pragma once

#include "core/base/PortSettings.h"
#include "core/port/SettingSchema.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pemberlux {

// Positions of the settings: also the order of the items in a set frame.
enum LabelSettingPos : int {
    LS_PAGE_MODE = 0,
    LS_PRINT_MEDIA = 1,
    LS_PEELER = 2,
    LS_PRINT_METHOD = 3,
    LS_PAPER_OUT_DETECTION = 4,
    LS_PRINT_DENSITY = 5,
    LS_PRINTER_LANGUAGE = 6,
    LS_EMULATION = 7,
    LS_AUTO_CALIBRATE_LABEL = 8,
    LS_PRINT_SPEED = 9,
    LS_TOP_FORM_SENSING = 10,
    LS_PRINT_HOME_OFFSET = 11,
    LS_CUTTING_POSITION_OFFSET = 12,
    LS_CUT_MODE = 13,
    LS_PRINT_POSITION_DETECTION = 14,
    LS_BLACK_MARK_AD_VALUE = 15,
    LS_PAPER_SENSOR_SELECTION = 16,
};
inline constexpr int LABEL_SETTING_COUNT = 17;

// The schema, indexed by position. The keys and value words are the profiles'
// and the command line's; a list item's code is its word's index plus the
// entry's firstCode (Print Speed counts from 1).
extern const std::array<SettingEntry, LABEL_SETTING_COUNT> LABEL_SETTINGS;

// ---- Lists -----------------------------------------------------------------

// Language "Chinese" and the Chinese name of a model that offers ESC/POS there
// ("Label Printer(200DPI)"), both exactly: the page shows the four emulations
// and the codes equal the list index. Otherwise it shows three and the codes
// are index + 1. Checked afresh at every send and every decode.
bool UsesFourItemEmulation(const PortSettings& settings);

// The words of a list as the page shows it for `settings`: the entry's words,
// for Emulation all four or the last three by the rule above. Empty for the
// edit settings.
std::span<const std::string_view> LabelListWords(int pos, const PortSettings& settings);

// The Emulation list the page must show for `settings` ("ESC/POS", "ZPL",
// "EPL", "TSPL" or "ZPL", "EPL", "TSPL"). When the list holds another number
// of items, the page empties it, fills it with these and leaves it with no
// selection.
std::vector<std::string> EmulationListItems(const PortSettings& settings);

// Number of items of a list as the page shows it for `settings` (Emulation
// follows the rule above); 0 for the edit settings.
int LabelListSize(int pos, const PortSettings& settings);

// The printer code of a list's item `selection` as the page shows the list
// for `settings`; nullopt when the list has no such item.
std::optional<std::uint8_t> LabelListCode(int pos, int selection, const PortSettings& settings);
// The item a printer code selects as the page shows the list, or NO_SELECTION.
int LabelListSelection(int pos, int code, const PortSettings& settings);

// ---- Values and marks ------------------------------------------------------

inline constexpr int LB_NO_SELECTION = NO_SELECTION;

// What the page's controls hold: the selection of each list and the text of
// each of the three edits.
using LabelSettingValues = SettingValues<LABEL_SETTING_COUNT>;

// One mark per position, set when the user changes that setting; cleared only
// when the page is created and after a factory reset.
using LabelChangedMarks = SettingMarks<LABEL_SETTING_COUNT>;

// ---- Conversions -----------------------------------------------------------

// Offsets are 8 dots per millimetre on every label model.
inline constexpr int LB_DOTS_PER_MM = 8;
// The range the page keeps the integer part of the three edits in: the
// offsets' range (LABEL_SETTINGS), which a typed AD value is held to as well.
inline constexpr int LB_EDIT_MAX = 4095;
inline constexpr int LB_EDIT_MIN = -LB_EDIT_MAX;

// Leading decimal integer of `text`: leading blanks skipped, optional sign,
// digits; anything after them ignored; 0 when no digit follows. Values beyond
// the int range saturate.
int LeadingInteger(const std::string& text);

// Offset text in millimetres to dots: the leading decimal number (optional
// sign, digits, "." as the decimal point whatever the locale; no exponent,
// hexadecimal or infinity) times 8, truncated toward zero. Results beyond the
// 16-bit range saturate; text without a number gives 0.
std::int16_t MillimetresToDots(const std::string& text);
// Dots to the offset text: dots * 0.125 with two decimals ("12.50", "-2.00"),
// a half rounded away from zero (1 dot "0.13", -3 dots "-0.38"), so that
// MillimetresToDots gives the same dots back.
std::string DotsToMillimetresText(std::int16_t dots);

// Black Mark AD value text to the value sent: the low 16 bits of its leading
// integer (so -1 goes out as 0xFFFF).
std::uint16_t AdValueFromText(const std::string& text);
// Received AD value as unsigned decimal text (0 to 65535).
std::string AdValueText(std::uint16_t value);

// Range check of a user edit of an offset or the AD value. The text must read
// as a decimal number (optional sign, digits, optional "." and digits, blanks
// around; an unfinished one such as "-" or "12." reads as one too) whose integer
// part lies in the range (4095.9 passes). Otherwise `clamped` is set and `text`
// holds what the edit must show: "4095" or "-4095" when out of range, else the
// text up to where it stops reading as a decimal number ("0x10" keeps "0").
struct EditRangeResult {
    bool clamped = false;
    std::string text;
};
EditRangeResult CheckEditRange(const std::string& text);

} // namespace pemberlux
