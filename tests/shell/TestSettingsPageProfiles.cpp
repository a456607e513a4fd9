// Printer profiles on the settings page: the file "Save profile…" writes from
// one printer's settings, what "Load profile…" marks and fills on the page of a
// second printer, what Send Settings then writes to it, and the files loading
// refuses. The file dialogs answer from a FileDialogRecorder.
#include "../label/LabelPageFixture.h"
#include "Unprivileged.h"
#include "ui/toolkit/FileDialog.h"
#include "ui/toolkit/MessageBox.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pemberlux {
namespace {

using namespace test;

class SettingsPageProfiles : public LabelPageTest {
protected:
    // The window closes; the next one talks to a new printer.
    void ChangePrinter() {
        spy.reset();
        window->hide();
        window.reset();
        UsePrinter();
    }
    void Load(const std::string& path) {
        files.SetNextFileName(path);
        Click(CSettingsPageBase::IDC_LOAD_PROFILE);
    }
    // The controls whose accessible description says a profile changed them.
    std::vector<int> Highlighted() const {
        std::vector<int> ids;
        for (const LabelControl& info : LABEL_CONTROLS)
            if (P().Control(info.control)->accessibleDescription() == "Changed by the loaded profile")
                ids.push_back(info.control);
        return ids;
    }

    FileDialogRecorder files;
    MessageRecorder messages;
};

TEST_F(SettingsPageProfiles, ASavedProfileMarksAndSendsWhatDiffersOnAnotherPrinter) {
    printer->SetSetting(LS_PEELER, 1);
    printer->SetSetting(LS_PRINT_SPEED, 1);
    printer->SetSetting(LS_PRINT_HOME_OFFSET, 12);
    printer->SetSetting(LS_BLACK_MARK_AD_VALUE, 350);
    StartOn(Transport::Tcp);
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    ClickAndSettle(IDC_GET_FW_VERSION);
    const std::string path = (dir / "shop.json").string();
    files.SetNextFileName(path);
    Click(CSettingsPageBase::IDC_SAVE_PROFILE);
    // The command line's document: English items, millimetres and the AD value as numbers.
    EXPECT_EQ(dir.Read("shop.json"), R"({
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
  "firmware_version": ")" + printer->FirmwareVersion() +
                                         R"("
}
)");
    EXPECT_EQ(files.Filters(), (std::vector<std::string>{"Printer Profile(*.json)|*.json|All File(*.*)|*.*||"}));

    ChangePrinter(); // factory settings
    StartOn(Transport::Tcp);
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    const std::size_t frames = printer->Counters().frames;
    Load(path);
    LabelChangedMarks expected;
    for (int pos : {LS_PEELER, LS_PRINT_SPEED, LS_PRINT_HOME_OFFSET, LS_BLACK_MARK_AD_VALUE})
        expected.set(static_cast<std::size_t>(pos));
    EXPECT_EQ(P().ChangedMarks(), expected);
    EXPECT_EQ(Highlighted(),
              (std::vector<int>{IDC_PEELER, IDC_PRINT_SPEED, IDC_PRINT_HOME_OFFSET, IDC_BLACK_MARK_AD_VALUE}));
    EXPECT_EQ(ListText(LS_PEELER), "On");
    EXPECT_EQ(ListText(LS_PRINT_SPEED), "1");
    EXPECT_EQ(EditText(LS_PRINT_HOME_OFFSET), "1.5");
    EXPECT_EQ(EditText(LS_BLACK_MARK_AD_VALUE), "350");
    EXPECT_EQ(ListText(LS_PRINT_METHOD), "Direct Thermal");
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts().front();
    RunEventsFor(300ms);
    EXPECT_EQ(printer->Counters().frames, frames) << "loading sent something";

    // Peeler, Print Speed, Print Home Offset (12 dots), Black Mark AD value (350), in frame order.
    EXPECT_EQ(SendAndReceive(), Hex("1B 0D 53 1B 2A 01 1B 30 01 1B 2C 0C 00 1B 28 5E 01 1B 10 45"));
    EXPECT_EQ(printer->Setting(LS_PEELER), 1);
    EXPECT_EQ(printer->Setting(LS_PRINT_SPEED), 1);
    EXPECT_EQ(printer->Setting(LS_PRINT_HOME_OFFSET), 12);
    EXPECT_EQ(printer->Setting(LS_BLACK_MARK_AD_VALUE), 350);
    EXPECT_EQ(printer->Setting(LS_PRINT_METHOD), 1);
    EXPECT_TRUE(WaitUntil([&] { return Highlighted().empty(); })) << "still highlighted after the send";

    // Loaded again, nothing differs any more.
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    Load(path);
    EXPECT_TRUE(Highlighted().empty());
}

TEST_F(SettingsPageProfiles, AProfileOfTheOtherFamilyOrADamagedFileIsRefusedWhole) {
    StartOn(Transport::Tcp);
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    const std::string good = R"({"model":"LB-610","family":"label","settings":{"peeler":"On","print_speed":"2"}})";
    struct Case {
        const char* name;
        std::string text;
        std::string message; // its first line; the second names the file or the setting
        std::string second;
    } const cases[] = {
        {"receipt profile", R"({"model":"TR-520","family":"receipt","settings":{"cutter_switch":"On"}})",
         "The profile is for the other kind of printer (label or receipt printer) and cannot be loaded on this page:",
         ""},
        {"cut short", good.substr(0, good.size() - 2), "The file is not a printer profile, or it is damaged:", ""},
        {"settings not an object", R"({"family":"label","settings":["peeler","On"]})",
         "The file is not a printer profile, or it is damaged:", ""},
        {"value out of its list", R"({"family":"label","settings":{"peeler":"On","print_speed":"9"}})",
         "The profile holds a setting this printer does not take; nothing was loaded:", "print_speed = 9"},
        {"unknown key", R"({"family":"label","settings":{"peeler":"On","speed":"2"}})",
         "The profile holds a setting this printer does not take; nothing was loaded:", "speed = 2"},
    };
    const std::size_t frames = printer->Counters().frames;
    for (const Case& c : cases) {
        messages.Clear();
        const std::string path = (dir / "p.json").string();
        dir.Write("p.json", c.text);
        Load(path);
        ASSERT_EQ(messages.Count(), 1u) << c.name;
        EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning) << c.name;
        EXPECT_EQ(messages.Texts()[0], c.message + "\n" + (c.second.empty() ? path : c.second)) << c.name;
        EXPECT_TRUE(P().ChangedMarks().none()) << c.name;
        EXPECT_TRUE(Highlighted().empty()) << c.name;
        EXPECT_EQ(ListText(LS_PEELER), "Off") << c.name;
    }
    // A file that is not there, and a profile that cannot be written (with the
    // system's reason): into a folder that is not there, and over a profile in
    // a folder the user may not write into, which stays as it was.
    messages.Clear();
    Load((dir / "missing.json").string());
    files.SetNextFileName((dir / "no-folder" / "p.json").string());
    Click(CSettingsPageBase::IDC_SAVE_PROFILE);
    std::filesystem::create_directory(dir / "shared");
    dir.Write("shared/p.json", "{}\n");
    std::filesystem::permissions(dir / "shared",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    {
        const FilePermissionsKept asAUser;
        files.SetNextFileName((dir / "shared" / "p.json").string());
        Click(CSettingsPageBase::IDC_SAVE_PROFILE);
    }
    std::filesystem::permissions(dir / "shared", std::filesystem::perms::owner_all);
    EXPECT_EQ(dir.Read("shared/p.json"), "{}\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "shared"), {}), 1);
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{
                  "The profile cannot be read:\n" + (dir / "missing.json").string(),
                  "The profile cannot be written:\n" + (dir / "no-folder" / "p.json").string() +
                      "\nNo such file or directory",
                  "The profile cannot be written:\n" + (dir / "shared" / "p.json").string() + "\nPermission denied",
              }));
    // A cancelled dialog does nothing.
    files.SetNextCancel();
    Click(CSettingsPageBase::IDC_LOAD_PROFILE);
    EXPECT_EQ(messages.Count(), 3u);
    RunEventsFor(200ms);
    EXPECT_EQ(printer->Counters().frames, frames);
}

} // namespace
} // namespace pemberlux
