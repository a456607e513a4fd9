#include "ui/label/LabelControls.h"

#include "core/base/UiText.h"

namespace pemberlux {

const std::array<LabelControl, LABEL_SETTING_COUNT> LABEL_CONTROLS = {{
    {LS_PAGE_MODE, IDC_PAGE_MODE, IDC_PAGE_MODE_LABEL},
    {LS_PRINT_MEDIA, IDC_PRINT_MEDIA, IDC_PRINT_MEDIA_LABEL},
    {LS_PEELER, IDC_PEELER, IDC_PEELER_LABEL},
    {LS_PRINT_METHOD, IDC_PRINT_METHOD, IDC_PRINT_METHOD_LABEL},
    {LS_PAPER_OUT_DETECTION, IDC_PAPER_OUT_DETECTION, IDC_PAPER_OUT_DETECTION_LABEL},
    {LS_PRINT_DENSITY, IDC_PRINT_DENSITY, IDC_PRINT_DENSITY_LABEL},
    {LS_PRINTER_LANGUAGE, IDC_PRINTER_LANGUAGE, IDC_PRINTER_LANGUAGE_LABEL},
    {LS_EMULATION, IDC_EMULATION, IDC_EMULATION_LABEL},
    {LS_AUTO_CALIBRATE_LABEL, IDC_AUTO_CALIBRATE_LABEL, IDC_AUTO_CALIBRATE_LABEL_LABEL},
    {LS_PRINT_SPEED, IDC_PRINT_SPEED, IDC_PRINT_SPEED_LABEL},
    {LS_TOP_FORM_SENSING, IDC_TOP_FORM_SENSING, IDC_TOP_FORM_SENSING_LABEL},
    {LS_PRINT_HOME_OFFSET, IDC_PRINT_HOME_OFFSET, IDC_PRINT_HOME_OFFSET_LABEL},
    {LS_CUTTING_POSITION_OFFSET, IDC_CUTTING_POSITION_OFFSET, IDC_CUTTING_POSITION_OFFSET_LABEL},
    {LS_CUT_MODE, IDC_CUT_MODE, IDC_CUT_MODE_LABEL},
    {LS_PRINT_POSITION_DETECTION, IDC_PRINT_POSITION_DETECTION, IDC_PRINT_POSITION_DETECTION_LABEL},
    {LS_BLACK_MARK_AD_VALUE, IDC_BLACK_MARK_AD_VALUE, IDC_BLACK_MARK_AD_VALUE_LABEL},
    {LS_PAPER_SENSOR_SELECTION, IDC_PAPER_SENSOR_SELECTION, IDC_PAPER_SENSOR_SELECTION_LABEL},
}};

const LabelControl* LabelSettingByControl(int control) {
    for (const LabelControl& c : LABEL_CONTROLS)
        if (c.control == control) return &c;
    return nullptr;
}

int TextReplyControl(LabelTextQuery query) {
    switch (query) {
    case LabelTextQuery::SerialNumber:
        return IDC_SERIAL_NUMBER;
    case LabelTextQuery::FirmwareVersion:
        return IDC_FIRMWARE_VERSION;
    case LabelTextQuery::Statistics:
        break;
    }
    return IDC_PRINT_HEAD_MILEAGE;
}

std::vector<std::string> LabelListItems(int pos, int langId) {
    if (pos < 0 || pos >= LABEL_SETTING_COUNT) return {};
    const LabelControl& c = LABEL_CONTROLS[static_cast<std::size_t>(pos)];
    if (!c.IsList()) return {};
    return TemplateItems(IDD_PRINTING_SETUP_LB610, c.control, langId == LANG_CHINESE ? LANG_CHINESE : LANG_ENGLISH);
}

std::vector<std::string> LabelListItems(int pos, const std::string& languageText) {
    return LabelListItems(pos, languageText == "Chinese" ? LANG_CHINESE : LANG_ENGLISH);
}

} // namespace pemberlux
