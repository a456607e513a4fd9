// The texts the label page's lists show, from its template in both languages,
// against the value words of the settings schema.
#include "core/base/UiText.h"
#include "ui/label/LabelControls.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

using Items = std::vector<std::string>;

TEST(LabelListItems, BothLanguagesHaveTheSameItemsInTheSameOrder) {
    EXPECT_EQ(LabelListItems(LS_PRINT_MEDIA, 1033), (Items{"Label Paper", "Continuous Paper"}));
    EXPECT_EQ(LabelListItems(LS_PRINT_MEDIA, 2052), (Items{"标签纸", "连续纸"}));
    EXPECT_EQ(LabelListItems(LS_PRINT_METHOD, 1033), (Items{"Thermal Transfer", "Direct Thermal"}));
    EXPECT_EQ(LabelListItems(LS_PRINT_METHOD, 2052), (Items{"热转印", "热敏"}));
    EXPECT_EQ(LabelListItems(LS_CUT_MODE, 2052), (Items{"关", "开"}));
    EXPECT_EQ(LabelListItems(LS_PEELER, 2052), (Items{"无效", "有效"}));
    EXPECT_EQ(LabelListItems(LS_PRINTER_LANGUAGE, 2052), (Items{"英文", "中文"}));
    EXPECT_EQ(LabelListItems(LS_PAPER_SENSOR_SELECTION, 1033), (Items{"Reflective sensor", "Gap sensor"}));
    EXPECT_EQ(LabelListItems(LS_PAPER_SENSOR_SELECTION, 2052), (Items{"反射", "穿透"}));
    EXPECT_EQ(LabelListItems(LS_PRINT_DENSITY, 2052), (Items{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(LabelListItems(LS_PRINT_SPEED, 1033), (Items{"1", "2", "3", "4"}));
    EXPECT_TRUE(LabelListItems(LS_BLACK_MARK_AD_VALUE, 1033).empty());

    // By the language text of the settings record.
    EXPECT_EQ(LabelListItems(LS_TOP_FORM_SENSING, "Chinese"), (Items{"无效", "有效"}));
    EXPECT_EQ(LabelListItems(LS_TOP_FORM_SENSING, "English"), (Items{"Off", "On"}));

    for (int pos = 0; pos < LABEL_SETTING_COUNT; ++pos) {
        if (pos != LS_EMULATION) {
            EXPECT_EQ(LabelListItems(pos, 1033).size(), LabelListItems(pos, 2052).size()) << pos;
        }
    }
}

TEST(LabelListItems, EmulationShowsThreeInEnglishAndFourInChinese) {
    EXPECT_EQ(LabelListItems(LS_EMULATION, 1033), (Items{"ZPL", "EPL", "TSPL"}));
    EXPECT_EQ(LabelListItems(LS_EMULATION, 2052), (Items{"ESC/POS", "ZPL", "EPL", "TSPL"}));
}

// Every list shows one item per value word in both languages; Emulation as
// its rule has it: the four words where the page shows four, else the last three.
TEST(LabelListItems, EachListShowsOneItemPerValueWord) {
    PortSettings three;
    PortSettings four;
    four.language = "Chinese";
    four.modelName = "Label Printer(200DPI)";
    for (const SettingEntry& entry : LABEL_SETTINGS) {
        const std::size_t english = LabelListItems(entry.pos, LANG_ENGLISH).size();
        const std::size_t chinese = LabelListItems(entry.pos, LANG_CHINESE).size();
        if (!entry.IsList()) {
            EXPECT_EQ(english + chinese, 0u) << entry.key;
        } else if (entry.pos == LS_EMULATION) {
            EXPECT_EQ(english, LabelListWords(entry.pos, three).size());
            EXPECT_EQ(chinese, LabelListWords(entry.pos, four).size());
            EXPECT_EQ(chinese, entry.words.size());
        } else {
            EXPECT_EQ(english, entry.words.size()) << entry.key;
            EXPECT_EQ(chinese, entry.words.size()) << entry.key;
        }
    }
}

} // namespace
} // namespace pemberlux
