// The receipt settings page's dialog template and controls, and how the page
// shows the receipt schema: each setting's list or edit and its label, the
// three buttons, the tooltips and the items a list shows in a language.
#pragma once

#include "core/base/StringId.h"
#include "core/receipt/ReceiptSettings.h"
#include "ui/toolkit/SettingsPage.h"

#include <array>
#include <string>
#include <vector>

namespace pemberlux {

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

// The controls of a receipt setting: its list or edit and its label. A list
// (the schema says which) shows the template's items of `control`, one per
// value word.
using ReceiptControl = SettingControl<RECEIPT_SETTING_COUNT, RECEIPT_SETTINGS>;

// Indexed by position.
inline constexpr std::array<ReceiptControl, RECEIPT_SETTING_COUNT> RECEIPT_CONTROLS = {{
    {RS_PRINTER_LANGUAGE, IDC_RC_PRINTER_LANGUAGE, IDC_RC_PRINTER_LANGUAGE_LABEL},
    {RS_CUTTER_SWITCH, IDC_RC_CUTTER_SWITCH, IDC_RC_CUTTER_SWITCH_LABEL},
    {RS_PAPER_WIDE, IDC_RC_PAPER_WIDE, IDC_RC_PAPER_WIDE_LABEL},
    {RS_PRINTING_DIRECTION, IDC_RC_PRINTING_DIRECTION, IDC_RC_PRINTING_DIRECTION_LABEL},
    {RS_PAPER_TYPE, IDC_RC_PAPER_TYPE, IDC_RC_PAPER_TYPE_LABEL},
    {RS_BLACK_MARK, IDC_RC_BLACK_MARK, IDC_RC_BLACK_MARK_LABEL},
    {RS_BLACK_MARK_TO_HOME, IDC_RC_BLACK_MARK_TO_HOME, IDC_RC_BLACK_MARK_TO_HOME_LABEL},
    {RS_BLACK_MARK_TO_CUTTER, IDC_RC_BLACK_MARK_TO_CUTTER, IDC_RC_BLACK_MARK_TO_CUTTER_LABEL},
}};

// The buttons every job of the page holds.
inline constexpr std::array<int, 3> RC_ACTION_BUTTONS = {IDC_RC_GET_PRINTER_SETTINGS, IDC_RC_SEND_SETTINGS,
                                                         IDC_RC_RESTORE_ALL_SETTINGS};

inline constexpr std::array<ControlTip, 9> RC_TOOLTIPS = {{
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

// What the list of the setting at `pos` shows in the language `langId`: the
// page template's items, in the order of the schema's value words.
std::vector<std::string> ReceiptListItems(int pos, int langId);

} // namespace pemberlux
