// The parallel interface dialog, opened from the interface page on a real
// settings file and a device tree of its own: the ports it offers, the one it
// selects, what OK stores.
#include "MainWindowFixture.h"

#include "ui/port/PortSetParallel.h"

#include <QComboBox>
#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <vector>

namespace pemberlux {
namespace {

using Items = std::vector<std::string>;

class ParallelDialog : public test::MainWindowTest {};

TEST_F(ParallelDialog, OffersThePortsThereAndKeepsTheStoredOneButNotThePlaceholder) {
    // lp0 and lp2 are there; lp1 is not.
    const std::filesystem::path devRoot = dir / "dev";
    std::filesystem::create_directories(devRoot);
    for (const char* name : {"lp0", "lp2"})
        std::ofstream(devRoot / name).put('\n');
    test::ScopedEnv sysfs("PEMBERLUX_SYSFS_ROOT", (dir / "sys").c_str());
    test::ScopedEnv dev("PEMBERLUX_DEV_ROOT", devRoot.c_str());
    const std::string node = (devRoot / "lp0").string(), gone = (dir / "gone").string();
    const Items two{"LPT1 (/dev/lp0)", "LPT3 (/dev/lp2)"};
    struct Case {
        const char* stored; // "" writes the key without a value: read as "<No Name>"
        const char* language;
        Items offered;
        std::string selected;
        const char* kept; // what OK stores
    } const cases[] = {
        {"", "English", two, "", ""},
        {"LPT3", "English", two, "LPT3 (/dev/lp2)", "LPT3"},
        {"LPT2",
         "English",
         {"LPT1 (/dev/lp0)", "LPT3 (/dev/lp2)", "LPT2 (/dev/lp1, absent)"},
         "LPT2 (/dev/lp1, absent)",
         "LPT2"},
        {"LPT2",
         "Chinese",
         {"LPT1 (/dev/lp0)", "LPT3 (/dev/lp2)", "LPT2 (/dev/lp1，不存在)"},
         "LPT2 (/dev/lp1，不存在)",
         "LPT2"},
        {node.c_str(), "English", {"LPT1 (/dev/lp0)", "LPT3 (/dev/lp2)", node}, node, node.c_str()},
        {gone.c_str(),
         "English",
         {"LPT1 (/dev/lp0)", "LPT3 (/dev/lp2)", gone + " (absent)"},
         gone + " (absent)",
         gone.c_str()},
        {"lp0", "English", two, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stored) + " " + c.language);
        PortSettings s = test::UserRecord("LB-610", PORT_LPT);
        s.lptName = c.stored;
        s.language = c.language;
        Start(s);
        ASSERT_EQ(window->MasterSettings().lptName, *c.stored ? c.stored : "<No Name>");

        Items offered;
        std::string selected = "(not shown)";
        test::WhenModalShown([&](QWidget* w) {
            auto* dialog = qobject_cast<CPortSetParallel*>(w);
            ASSERT_NE(dialog, nullptr);
            auto* list = dialog->ControlAs<QComboBox>(CPortSetParallel::IDC_PORT);
            for (int i = 0; i < list->count(); ++i)
                offered.push_back(list->itemText(i).toStdString());
            selected = list->currentText().toStdString();
            dialog->ControlAs<QPushButton>(CPortSetParallel::IDC_OK)->click();
        });
        InterfacePage().ControlAs<QPushButton>(CPagePortSet::IDC_SETTING)->click();
        EXPECT_EQ(offered, c.offered);
        EXPECT_EQ(selected, c.selected);

        // OK stores the value selected, never the placeholder nor the text shown.
        s.lptName = c.kept;
        s.modelName = window->MasterSettings().modelName; // the name in the window's language
        EXPECT_EQ(SettingsText(), FormatSettings(s));
        EXPECT_EQ(window->MasterSettings().lptName, c.kept);
        window.reset();
    }
}

} // namespace
} // namespace pemberlux
