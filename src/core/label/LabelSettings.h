// The seventeen settings of the label printers (LB-610, LB-710, LB-600) as the
// label settings page shows them: their positions, controls, set codes, reply
// offsets and list items in both languages, the emulation list rule, the values
// and changed marks the page keeps, and the unit conversions of the edits.
// Frames and reply decoding are in LabelCommands.h.
#pragma once

#include "core/base/PortSettings.h"
#include "core/base/StringId.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace pemberlux {

// Dialog template of the label settings page and its controls.
inline constexpr int IDD_PRINTING_SETUP_LB610 = 111;

enum LabelControlId : int {
    // Drop-down lists and edits of the seventeen settings.
    IDC_PAGE_MODE = 1068,
    IDC_PRINT_MEDIA = 1069,
    IDC_PEELER = 1070,
    IDC_PRINT_METHOD = 1051,
    IDC_PAPER_OUT_DETECTION = 1053,
    IDC_PRINT_DENSITY = 1067,
    IDC_PRINTER_LANGUAGE = 1055,
    IDC_EMULATION = 1057,
    IDC_AUTO_CALIBRATE_LABEL = 1059,
    IDC_PRINT_SPEED = 1061,
    IDC_TOP_FORM_SENSING = 1063,
    IDC_PRINT_HOME_OFFSET = 1074,
    IDC_CUTTING_POSITION_OFFSET = 1066,
    IDC_CUT_MODE = 1077,
    IDC_PRINT_POSITION_DETECTION = 1079,
    IDC_BLACK_MARK_AD_VALUE = 1081,
    IDC_PAPER_SENSOR_SELECTION = 1146,

    // Their labels.
    IDC_PAGE_MODE_LABEL = 1039,
    IDC_PRINT_MEDIA_LABEL = 1044,
    IDC_PEELER_LABEL = 1046,
    IDC_PRINT_METHOD_LABEL = 1050,
    IDC_PAPER_OUT_DETECTION_LABEL = 1052,
    IDC_PRINT_DENSITY_LABEL = 1040,
    IDC_PRINTER_LANGUAGE_LABEL = 1054,
    IDC_EMULATION_LABEL = 1056,
    IDC_AUTO_CALIBRATE_LABEL_LABEL = 1058,
    IDC_PRINT_SPEED_LABEL = 1060,
    IDC_TOP_FORM_SENSING_LABEL = 1062,
    IDC_PRINT_HOME_OFFSET_LABEL = 1064,
    IDC_CUTTING_POSITION_OFFSET_LABEL = 1065,
    IDC_CUT_MODE_LABEL = 1071,
    IDC_PRINT_POSITION_DETECTION_LABEL = 1078,
    IDC_BLACK_MARK_AD_VALUE_LABEL = 1080,
    IDC_PAPER_SENSOR_SELECTION_LABEL = 1082,

    // Read-only information edits.
    IDC_SERIAL_NUMBER = 1090,
    IDC_FIRMWARE_VERSION = 1084,
    IDC_PRINT_HEAD_MILEAGE = 1088,

    // The eight action buttons.
    IDC_GET_SERIAL_NUMBER = 1085,
    IDC_GET_FW_VERSION = 1087,
    IDC_PRINT_STATISTICS = 1086,
    IDC_CALIBRATE_LABEL = 1155,
    IDC_GET_PRINTER_SETTINGS = 1075,
    IDC_PRINT_SELF_TEST = 1076,
    IDC_RESET_ALL_SETTINGS = 1072,
    IDC_SEND_SETTINGS = 1073,
};

// The labels of the three information edits differ between the languages.
inline constexpr std::array<int, 3> LB_INFO_LABELS_ENGLISH = {1083, 1333, 1249};
inline constexpr std::array<int, 3> LB_INFO_LABELS_CHINESE = {1089, 1083, 1091};

// The eight action buttons in the order the page disables and enables them.
inline constexpr std::array<int, 8> LB_ACTION_BUTTONS = {
    IDC_GET_SERIAL_NUMBER,  IDC_GET_FW_VERSION,       IDC_PRINT_STATISTICS, IDC_SEND_SETTINGS,
    IDC_RESET_ALL_SETTINGS, IDC_GET_PRINTER_SETTINGS, IDC_PRINT_SELF_TEST,  IDC_CALIBRATE_LABEL,
};

// Tooltips of the page: control and string table id.
struct LabelTooltip {
    int control;
    StringId stringId;
};
inline constexpr std::array<LabelTooltip, 14> LB_TOOLTIPS = {{
    {IDC_PAGE_MODE, StringId::TipPageMode},
    {IDC_PRINT_MEDIA, StringId::TipMedia},
    {IDC_PRINT_METHOD, StringId::TipPrintMethod},
    {IDC_PEELER, StringId::TipPeeler},
    {IDC_PAPER_OUT_DETECTION, StringId::TipPaperEndDetection},
    {IDC_PRINT_DENSITY, StringId::TipDensity},
    {IDC_PRINTER_LANGUAGE, StringId::TipPrinterLanguage},
    {IDC_EMULATION, StringId::TipEmulation},
    {IDC_AUTO_CALIBRATE_LABEL, StringId::TipAutoCalibrate},
    {IDC_PRINT_SPEED, StringId::TipSpeed},
    {IDC_TOP_FORM_SENSING, StringId::TipTopFormSensing},
    {IDC_GET_PRINTER_SETTINGS, StringId::TipGetSettings},
    {IDC_RESET_ALL_SETTINGS, StringId::TipResetSettings},
    {IDC_SEND_SETTINGS, StringId::TipSendSettings},
}};

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

// How a setting's value travels between the control and the printer.
enum class LabelValueKind {
    ListIndex,      // list: byte = list index
    ListIndexPlus1, // list: byte = list index + 1 (Print Speed)
    Emulation,      // list: printer code, see UsesFourItemEmulation
    Millimetres,    // edit: mm text <-> signed 16-bit dots, low byte first
    AdValue,        // edit: integer text <-> 16-bit value, low byte first
};

struct LabelSettingInfo {
    LabelSettingPos pos;
    const char* name; // the English page label without its colon
    int control;
    int labelControl;
    std::uint8_t setCode;
    int replyOffset; // first reply byte; the 16-bit values take two bytes, low first
    LabelValueKind kind;
    bool IsList() const { return kind != LabelValueKind::Millimetres && kind != LabelValueKind::AdValue; }
    int ValueSize() const { return IsList() ? 1 : 2; }
};

// Indexed by position.
extern const std::array<LabelSettingInfo, LABEL_SETTING_COUNT> LABEL_SETTINGS;

// The setting behind a control id, or nullptr.
const LabelSettingInfo* LabelSettingByControl(int control);

// ---- List items ------------------------------------------------------------

// The items a list is filled with when the page is created, as the dialog
// template holds them (the "<control>.items" template texts): `langId` 2052
// gives the Chinese template, anything else the English one. The two languages have the same items in the same order,
// except Emulation (English three items, Chinese four). Empty for the three
// edit settings.
const std::vector<std::string>& LabelListItems(int pos, int langId);
// The same, by the PortSettings language text ("Chinese" or anything else).
const std::vector<std::string>& LabelListItems(int pos, const std::string& languageText);

// Language "Chinese" and the Chinese name of a model that offers ESC/POS there
// ("Label Printer(200DPI)"), both exactly: the page shows the four emulations
// and the codes equal the list index. Otherwise it shows three and the codes
// are index + 1. Checked afresh at every send and every decode.
bool UsesFourItemEmulation(const PortSettings& settings);

// The Emulation list the page must show for `settings` ("ESC/POS", "ZPL",
// "EPL", "TSPL" or "ZPL", "EPL", "TSPL"). When the list holds another number
// of items, the page empties it, fills it with these and leaves it with no
// selection.
const std::vector<std::string>& EmulationListItems(const PortSettings& settings);

// Number of items of a list as the page shows it for `settings` (Emulation
// follows the rule above); 0 for the edit settings.
int LabelListSize(int pos, const PortSettings& settings);

// ---- Values and marks ------------------------------------------------------

inline constexpr int LB_NO_SELECTION = -1;

// What the page's controls hold: the selection of each list (LB_NO_SELECTION
// when none) and the text values of the three edits. Entries of the other kind
// are unused. A new page has no selections and empty texts.
struct LabelSettingValues {
    std::array<int, LABEL_SETTING_COUNT> selection;
    std::array<std::string, LABEL_SETTING_COUNT> text;

    LabelSettingValues() { selection.fill(LB_NO_SELECTION); }
    bool operator==(const LabelSettingValues&) const = default;
};

// One mark per position, set when the user changes that setting; cleared only
// when the page is created and after a factory reset.
using LabelChangedMarks = std::bitset<LABEL_SETTING_COUNT>;

// ---- Conversions -----------------------------------------------------------

// Offsets are 8 dots per millimetre on every label model.
inline constexpr int LB_DOTS_PER_MM = 8;
// The range the page keeps the integer part of the three edits in.
inline constexpr int LB_EDIT_MAX = 4095;
inline constexpr int LB_EDIT_MIN = -4095;

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
