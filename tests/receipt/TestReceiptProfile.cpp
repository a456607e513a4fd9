// A receipt printer profile loaded against what the receipt settings page
// shows: which settings change, what they then hold, and the files refused
// whole (a cutter setting for a printer without a cutter, a distance beyond
// its limit).
#include "TempDir.h"
#include "core/base/Models.h"
#include "core/profile/PageProfile.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

TEST(ReceiptProfile, LoadingChangesWhatDiffersAndRefusesWhatThePrinterDoesNotTake) {
    test::TempDir dir;
    PortSettings settings;
    // The page shows English, 57mm, 10.1 mm to home (57 units); the rest unread.
    ReceiptSettingValues shown;
    shown.selection[RS_PRINTER_LANGUAGE] = 0;
    shown.selection[RS_PAPER_WIDE] = 2;
    shown.text[RS_BLACK_MARK_TO_HOME] = "10.1";
    struct Case {
        const char* name;
        const char* model;
        const char* family;
        const char* settings;
        ProfileRefusal refusal;
        std::string detail;
        std::vector<int> changed;
    } const cases[] = {
        {"with cutter",
         "TR-520",
         "receipt",
         R"("printer_language":"Chinese","cutter_switch":"on","paper_wide":"57mm","black_mark_to_home":10.1,)"
         R"("black_mark_to_cutter":-54,"paper_type":null)",
         ProfileRefusal::None,
         "",
         {RS_PRINTER_LANGUAGE, RS_CUTTER_SWITCH, RS_BLACK_MARK_TO_CUTTER}},
        {"no cutter",
         "TR-510",
         "receipt",
         R"("printer_language":"Chinese","cutter_switch":"On")",
         ProfileRefusal::BadSetting,
         "cutter_switch = On",
         {}},
        {"below the limit",
         "TR-520",
         "receipt",
         R"("printer_language":"Chinese","black_mark_to_cutter":-55)",
         ProfileRefusal::BadSetting,
         "black_mark_to_cutter = -55",
         {}},
        {"label profile", "TR-520", "label", R"("peeler":"On")", ProfileRefusal::OtherFamily, "", {}},
    };
    for (const Case& c : cases) {
        dir.Write("r.json", std::string(R"({"family":")") + c.family + R"(","settings":{)" + c.settings + "}}");
        settings.modelName = c.model;
        const ReceiptProfileLoad load =
            LoadProfile((dir / "r.json").string(), shown, {settings, ModelByName(settings.modelName)});
        EXPECT_EQ(load.refusal, c.refusal) << c.name;
        if (!c.detail.empty()) {
            EXPECT_EQ(load.detail, c.detail) << c.name;
        }
        ReceiptChangedMarks changed;
        for (int pos : c.changed)
            changed.set(static_cast<std::size_t>(pos));
        EXPECT_EQ(load.changed, changed) << c.name;
        if (c.refusal != ProfileRefusal::None) {
            EXPECT_EQ(load.values, shown) << c.name;
            continue;
        }
        ReceiptSettingValues expected = shown;
        expected.selection[RS_PRINTER_LANGUAGE] = 1;
        expected.selection[RS_CUTTER_SWITCH] = 1;
        expected.text[RS_BLACK_MARK_TO_CUTTER] = "-54";
        EXPECT_EQ(load.values, expected) << c.name;
    }
}

} // namespace
} // namespace pemberlux
