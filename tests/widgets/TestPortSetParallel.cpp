// The parallel interface dialog, opened from the interface page on a real
// settings file: the ports it offers, the one it selects, what OK stores.
#include "MainWindowFixture.h"

#include "ui/port/PortSetParallel.h"

#include <QComboBox>
#include <QPushButton>

#include <vector>

namespace pemberlux {
namespace {

using Items = std::vector<std::string>;

class ParallelDialog : public test::MainWindowTest {};

TEST_F(ParallelDialog, OffersTheFourPortsAndADevicePathButNotThePlaceholder) {
    const Items four{"LPT1", "LPT2", "LPT3", "LPT4"};
    struct Case {
        const char* stored; // "" writes the key without a value: read as "<No Name>"
        Items offered;
        const char* selected;
    } const cases[] = {
        {"", four, ""},
        {"LPT3", four, "LPT3"},
        {"/dev/usb/lp0", {"LPT1", "LPT2", "LPT3", "LPT4", "/dev/usb/lp0"}, "/dev/usb/lp0"},
        {"lp0", four, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        PortSettings s = test::UserRecord("LB-610", PORT_LPT);
        s.lptName = c.stored;
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

        // OK stores the selection, never the placeholder.
        s.lptName = c.selected;
        EXPECT_EQ(SettingsText(), FormatSettings(s));
        EXPECT_EQ(window->MasterSettings().lptName, c.selected);
        window.reset();
    }
}

} // namespace
} // namespace pemberlux
