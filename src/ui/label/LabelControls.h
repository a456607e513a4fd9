// The controls of the label settings page: its dialog template, the list or
// edit and the label of each setting of the schema (LABEL_SETTINGS), the three
// read-only information fields, the action buttons and the tooltips, and the
// texts its lists show in a language.
#pragma once

#include "core/base/StringId.h"
#include "core/label/LabelCommands.h"
#include "core/label/LabelSettings.h"
#include "ui/toolkit/SettingsPage.h"

#include <array>
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

// A setting's controls: its list or edit and its label.
using LabelControl = SettingControl<LABEL_SETTING_COUNT, LABEL_SETTINGS>;

// Indexed by position, as LABEL_SETTINGS.
extern const std::array<LabelControl, LABEL_SETTING_COUNT> LABEL_CONTROLS;

// The setting behind a control id, or nullptr.
const LabelControl* LabelSettingByControl(int control);

// The read-only edit each text query's answer goes to.
int TextReplyControl(LabelTextQuery query);

// The labels of the three information edits differ between the languages.
inline constexpr std::array<int, 3> LB_INFO_LABELS_ENGLISH = {1083, 1333, 1249};
inline constexpr std::array<int, 3> LB_INFO_LABELS_CHINESE = {1089, 1083, 1091};

// The eight action buttons in the order the page disables and enables them.
inline constexpr std::array<int, 8> LB_ACTION_BUTTONS = {
    IDC_GET_SERIAL_NUMBER,  IDC_GET_FW_VERSION,       IDC_PRINT_STATISTICS, IDC_SEND_SETTINGS,
    IDC_RESET_ALL_SETTINGS, IDC_GET_PRINTER_SETTINGS, IDC_PRINT_SELF_TEST,  IDC_CALIBRATE_LABEL,
};

// Tooltips of the page.
inline constexpr std::array<ControlTip, 14> LB_TOOLTIPS = {{
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

// The texts a list is filled with when the page is created, as the page's
// template holds them (its "<control>.items" texts) in `langId` (2052 the
// Chinese template, anything else the English one). The two languages have
// the same items in the same order as the setting's value words, except
// Emulation (English three items, Chinese four). Empty for the three edits.
std::vector<std::string> LabelListItems(int pos, int langId);
// The same, by the PortSettings language text ("Chinese" or anything else).
std::vector<std::string> LabelListItems(int pos, const std::string& languageText);

} // namespace pemberlux
