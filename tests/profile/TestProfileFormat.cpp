// The profile file as a format: files written by hand load to the values they
// name, and the file a page state saves is the same byte for byte whatever
// its lists show on screen.
#include "../label/LabelPageFixture.h"
#include "TempDir.h"
#include "core/base/UiText.h"
#include "core/profile/PageProfile.h"
#include "ui/toolkit/FileDialog.h"

#include <map>
#include <ostream>
#include <string>

namespace pemberlux {
namespace {

using namespace test;

struct LabelFileCase {
    const char* name;
    const char* language;
    const char* model;
    const char* file;
    std::map<int, int> selections;    // the lists the file sets
    std::map<int, std::string> texts; // the edits the file sets
};

// Together the rows name every value word of every label list.
const LabelFileCase LABEL_FILES[] = {
    {"TodaysFormat",
     "English",
     "LB-610",
     R"({
  "model": "LB-610",
  "family": "label",
  "settings": {
    "page_mode": "Off",
    "print_media": "Label Paper",
    "peeler": "On",
    "print_method": "Direct Thermal",
    "paper_out_detection": "On",
    "print_density": "3",
    "printer_language": "English",
    "emulation": "TSPL",
    "auto_calibrate_label": "On",
    "print_speed": "1",
    "top_form_sensing": "Off",
    "print_home_offset": 1.5,
    "cutting_position_offset": 0.0,
    "cut_mode": "Off",
    "print_position_detection": "On",
    "black_mark_ad_value": 350,
    "paper_sensor_selection": "Gap sensor"
  },
  "firmware_version": "LB-610 V1.16 2024-06-18"
}
)",
     {{LS_PAGE_MODE, 0},
      {LS_PRINT_MEDIA, 0},
      {LS_PEELER, 1},
      {LS_PRINT_METHOD, 1},
      {LS_PAPER_OUT_DETECTION, 1},
      {LS_PRINT_DENSITY, 2},
      {LS_PRINTER_LANGUAGE, 0},
      {LS_EMULATION, 2},
      {LS_AUTO_CALIBRATE_LABEL, 1},
      {LS_PRINT_SPEED, 0},
      {LS_TOP_FORM_SENSING, 0},
      {LS_CUT_MODE, 0},
      {LS_PRINT_POSITION_DETECTION, 1},
      {LS_PAPER_SENSOR_SELECTION, 1}},
     {{LS_PRINT_HOME_OFFSET, "1.5"}, {LS_CUTTING_POSITION_OFFSET, "0.0"}, {LS_BLACK_MARK_AD_VALUE, "350"}}},
    {"OtherWordsAnyCase",
     "English",
     "LB-710",
     R"({"model": "LB-710", "family": "label", "settings": {
  "page_mode": "on", "print_media": "Continuous Paper", "peeler": "OFF", "print_method": "thermal transfer",
  "paper_out_detection": "Off", "print_density": "1", "printer_language": "Chinese", "emulation": "ZPL",
  "auto_calibrate_label": "Off", "print_speed": "2", "top_form_sensing": "On", "print_home_offset": -4095,
  "cutting_position_offset": 4095.5, "cut_mode": "On", "print_position_detection": "Off",
  "black_mark_ad_value": 0, "paper_sensor_selection": "reflective SENSOR"}})",
     {{LS_PAGE_MODE, 1},
      {LS_PRINT_MEDIA, 1},
      {LS_PEELER, 0},
      {LS_PRINT_METHOD, 0},
      {LS_PAPER_OUT_DETECTION, 0},
      {LS_PRINT_DENSITY, 0},
      {LS_PRINTER_LANGUAGE, 1},
      {LS_EMULATION, 0},
      {LS_AUTO_CALIBRATE_LABEL, 0},
      {LS_PRINT_SPEED, 1},
      {LS_TOP_FORM_SENSING, 1},
      {LS_CUT_MODE, 1},
      {LS_PRINT_POSITION_DETECTION, 0},
      {LS_PAPER_SENSOR_SELECTION, 0}},
     {{LS_PRINT_HOME_OFFSET, "-4095"}, {LS_CUTTING_POSITION_OFFSET, "4095.5"}, {LS_BLACK_MARK_AD_VALUE, "0"}}},
    // Only what it names changes; null is no value.
    {"Partial",
     "English",
     "LB-610",
     R"({"model": "LB-610", "family": "label", "settings": {"print_density": "2", "emulation": "EPL",
  "print_speed": "3", "peeler": null, "black_mark_ad_value": 4095}})",
     {{LS_PRINT_DENSITY, 1}, {LS_EMULATION, 1}, {LS_PRINT_SPEED, 2}},
     {{LS_BLACK_MARK_AD_VALUE, "4095"}}},
    {"Density4Speed4",
     "English",
     "LB-600",
     R"({"model": "LB-600", "family": "label", "settings": {"print_density": "4", "print_speed": "4"}})",
     {{LS_PRINT_DENSITY, 3}, {LS_PRINT_SPEED, 3}},
     {}},
    {"Density5",
     "English",
     "LB-610",
     R"({"model": "LB-610", "family": "label", "settings": {"print_density": "5"}})",
     {{LS_PRINT_DENSITY, 4}},
     {}},
    // ESC/POS is the first of the four emulations this model shows in Chinese.
    {"Density6FourEmulations",
     "Chinese",
     "Label Printer(200DPI)",
     R"json({"model": "Label Printer(200DPI)", "family": "label", "settings": {"print_density": "6",
  "emulation": "ESC/POS"}})json",
     {{LS_PRINT_DENSITY, 5}, {LS_EMULATION, 0}},
     {}},
};

void PrintTo(const LabelFileCase& c, std::ostream* os) {
    *os << c.name;
}

class LabelProfileFiles : public ::testing::TestWithParam<LabelFileCase> {};

TEST_P(LabelProfileFiles, LoadToTheValuesTheyName) {
    const LabelFileCase& c = GetParam();
    TempDir dir;
    dir.Write("p.json", c.file);
    PortSettings settings;
    settings.language = c.language;
    settings.modelName = c.model;
    const LabelSettingValues shown;
    const LabelProfileLoad load = LoadProfile((dir / "p.json").string(), shown, {settings, nullptr});
    ASSERT_EQ(load.refusal, ProfileRefusal::None) << load.detail;

    LabelSettingValues expected;
    LabelChangedMarks changed;
    for (const auto& [pos, selection] : c.selections) {
        expected.selection[static_cast<std::size_t>(pos)] = selection;
        changed.set(static_cast<std::size_t>(pos));
    }
    for (const auto& [pos, text] : c.texts) {
        expected.text[static_cast<std::size_t>(pos)] = text;
        changed.set(static_cast<std::size_t>(pos));
    }
    EXPECT_EQ(load.values, expected);
    EXPECT_EQ(load.changed, changed);
}

INSTANTIATE_TEST_SUITE_P(HandWritten, LabelProfileFiles, ::testing::ValuesIn(LABEL_FILES),
                         [](const auto& info) { return std::string(info.param.name); });

// What the page below saves: its lists' values are words, never what they show.
constexpr const char* SAVED_LABEL_PAGE = R"({
  "model": "LB-610",
  "family": "label",
  "settings": {
    "page_mode": null,
    "print_media": "Continuous Paper",
    "peeler": "On",
    "print_method": null,
    "paper_out_detection": null,
    "print_density": "6",
    "printer_language": null,
    "emulation": "EPL",
    "auto_calibrate_label": null,
    "print_speed": "2",
    "top_form_sensing": null,
    "print_home_offset": -2.5,
    "cutting_position_offset": null,
    "cut_mode": null,
    "print_position_detection": null,
    "black_mark_ad_value": 120,
    "paper_sensor_selection": null
  },
  "firmware_version": null
}
)";

struct ShownItems {
    const char* name;
    std::map<int, const char*> english; // a list's items as the page's template words them
};

void PrintTo(const ShownItems& items, std::ostream* os) {
    *os << items.name;
}

class LabelPageSavesWords : public LabelPageTest, public ::testing::WithParamInterface<ShownItems> {};

TEST_P(LabelPageSavesWords, WhateverItsListsShow) {
    std::vector<std::unique_ptr<ScopedTemplateText>> reworded;
    for (const auto& [control, items] : GetParam().english)
        reworded.push_back(std::make_unique<ScopedTemplateText>(
            IDD_PRINTING_SETUP_LB610, std::to_string(control) + ".items", LANG_ENGLISH, items));
    StartOn(Transport::Tcp);
    for (const auto& [control, items] : GetParam().english) {
        std::string shown;
        for (const std::string& item : Items(LabelSettingByControl(control)->pos))
            shown += (shown.empty() ? "" : "\n") + item;
        EXPECT_EQ(shown, items) << "the page shows its template";
    }
    Choose(LS_PRINT_MEDIA, 1);
    Choose(LS_PEELER, 1);
    Choose(LS_PRINT_DENSITY, 5);
    Choose(LS_EMULATION, 1);
    Choose(LS_PRINT_SPEED, 1);
    Type(LS_PRINT_HOME_OFFSET, "-2.5");
    Type(LS_BLACK_MARK_AD_VALUE, "120");

    FileDialogRecorder files;
    files.SetNextFileName((dir / "saved.json").string());
    Click(CSettingsPageBase::IDC_SAVE_PROFILE);
    EXPECT_EQ(dir.Read("saved.json"), SAVED_LABEL_PAGE);
}

INSTANTIATE_TEST_SUITE_P(Template, LabelPageSavesWords,
                         ::testing::Values(ShownItems{"AsShipped", {}},
                                           ShownItems{"Reworded",
                                                      {{IDC_PEELER, "Peeler disabled\nPeeler enabled"},
                                                       {IDC_PRINT_MEDIA, "Labels\nEndless roll"},
                                                       {IDC_PRINT_SPEED, "Slow\nNormal\nFast\nFastest"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace pemberlux
