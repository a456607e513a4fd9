// The receipt profile file as a format: files written by hand (and one exactly
// as the command line saves it) load to the values they name, and what a known
// page state saves is, byte for byte, the file every later version must read.
#include "TempDir.h"
#include "core/base/Models.h"
#include "core/profile/PageProfile.h"

#include <gtest/gtest.h>

namespace pemberlux {
namespace {

// The lists' selections by position (-1: none) and the two distances' texts.
struct Shown {
    std::array<int, RECEIPT_SETTING_COUNT> selection;
    const char* home;
    const char* cutter;
};

ReceiptSettingValues ValuesOf(const Shown& shown) {
    ReceiptSettingValues values;
    values.selection = shown.selection;
    values.text[RS_BLACK_MARK_TO_HOME] = shown.home;
    values.text[RS_BLACK_MARK_TO_CUTTER] = shown.cutter;
    return values;
}

TEST(ReceiptProfileFormat, HandWrittenFilesLoadToTheValuesTheyName) {
    test::TempDir dir;
    PortSettings settings;
    const int _ = NO_SELECTION;
    struct Case {
        const char* name;
        const char* model;
        const char* file;
        Shown expected;
    } const cases[] = {
        {"as the command line saves it",
         "TR-520",
         R"({
  "model": "TR-520",
  "family": "receipt",
  "settings": {
    "printer_language": "English",
    "cutter_switch": "On",
    "paper_wide": "76mm",
    "printing_direction": "Unidirectional",
    "paper_type": "Single",
    "black_mark": "Off",
    "black_mark_to_home": 10.1,
    "black_mark_to_cutter": -54.0
  },
  "firmware_version": null
}
)",
         {{0, 1, 0, 0, 0, 0, _, _}, "10.1", "-54.0"}},
        {"the other words, any case",
         "TR-530",
         R"({"family":"receipt","settings":{"printer_language":"chinese","cutter_switch":"OFF",)"
         R"("paper_wide":"69mm","printing_direction":"Bidirectional","paper_type":"Multipart",)"
         R"("black_mark":"On","black_mark_to_home":-35,"black_mark_to_cutter":5766}})",
         {{1, 0, 1, 1, 1, 1, _, _}, "-35", "5766"}},
        {"partial, with nulls",
         "TR-520",
         R"({"family":"receipt","settings":{"paper_wide":"57mm","black_mark":null,"black_mark_to_cutter":0.5}})",
         {{_, _, 2, _, _, _, _, _}, "", "0.5"}},
        {"no cutter",
         "TR-510",
         R"({"model":"TR-510","family":"receipt","settings":{"printer_language":"English","paper_wide":"57mm",)"
         R"("printing_direction":"Bidirectional","paper_type":"Single","black_mark":"On",)"
         R"("black_mark_to_home":0.0,"black_mark_to_cutter":null},"firmware_version":null})",
         {{0, _, 2, 1, 0, 1, _, _}, "0.0", ""}},
    };
    for (const Case& c : cases) {
        dir.Write("r.json", c.file);
        settings.modelName = c.model;
        const ReceiptProfileLoad load =
            LoadProfile((dir / "r.json").string(), ReceiptSettingValues{}, {settings, ModelByName(c.model)});
        EXPECT_EQ(load.refusal, ProfileRefusal::None) << c.name << ": " << load.detail;
        EXPECT_EQ(load.values, ValuesOf(c.expected)) << c.name;
    }
}

TEST(ReceiptProfileFormat, APageStateSavesTheseBytes) {
    test::TempDir dir;
    PortSettings settings;
    const int _ = NO_SELECTION;
    struct Case {
        const char* model;
        Shown shown;
        const char* firmware;
        const char* file;
    } const cases[] = {
        {"TR-520", {{1, 1, 2, 0, 1, 0, _, _}, "10.1", "-54"}, "", R"({
  "model": "TR-520",
  "family": "receipt",
  "settings": {
    "printer_language": "Chinese",
    "cutter_switch": "On",
    "paper_wide": "57mm",
    "printing_direction": "Unidirectional",
    "paper_type": "Multipart",
    "black_mark": "Off",
    "black_mark_to_home": 10.1,
    "black_mark_to_cutter": -54.0
  },
  "firmware_version": null
}
)"},
        // Without a cutter there is no cutter key; what the page shows no value for is null.
        {"TR-510", {{0, 1, 1, 1, _, 1, _, _}, "", "5766.0"}, "", R"({
  "model": "TR-510",
  "family": "receipt",
  "settings": {
    "printer_language": "English",
    "paper_wide": "69mm",
    "printing_direction": "Bidirectional",
    "paper_type": null,
    "black_mark": "On",
    "black_mark_to_home": null,
    "black_mark_to_cutter": 5766.0
  },
  "firmware_version": null
}
)"},
    };
    for (const Case& c : cases) {
        settings.modelName = c.model;
        const ProfileOutcome saved =
            SaveProfile((dir / "r.json").string(), ValuesOf(c.shown), {settings, ModelByName(c.model)}, c.firmware);
        ASSERT_EQ(saved.refusal, ProfileRefusal::None) << c.model << ": " << saved.detail;
        EXPECT_EQ(dir.Read("r.json"), c.file) << c.model;
    }
}

} // namespace
} // namespace pemberlux
