// What the main window does before its first paint and after: only the page
// shown first is built at start, the others when first shown (with the settings
// of that moment), and tooltips take their window's text colour.
#include "../shell/ShellFixture.h"
#include "ui/command/CommandTest.h"
#include "ui/command/UpgradeFW.h"
#include "ui/label/PrintingSetupLB610_1.h"
#include "ui/testitems/TestItemDialog.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QHelpEvent>
#include <QPushButton>

namespace pemberlux::test {
namespace {

using Dlg = CPemberluxDlg;

class Startup : public ShellTest {
protected:
    std::vector<std::string> BuiltPages() const {
        std::vector<std::string> names;
        for (const CPage* page : window->findChildren<CPage*>())
            names.push_back(page->metaObject()->className());
        return names;
    }
    // The colour of the tooltip shown for `control`, as a user hovering it sees it.
    static QColor ToolTipColour(QWidget* control) {
        const QPoint at(4, 4);
        QHelpEvent event(QEvent::ToolTip, at, control->mapToGlobal(at));
        QApplication::sendEvent(control, &event);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible())
                return w->palette().color(QPalette::ToolTipText);
        }
        return {};
    }
};

TEST_F(Startup, OnlyTheInterfacePageIsBuiltBeforeTheFirstPaint) {
    WriteSettings(Record("TR-520", PORT_USB));
    Start();
    EXPECT_EQ(BuiltPages(), std::vector<std::string>{"pemberlux::CPagePortSet"});

    // Each page is built when first chosen, and kept.
    ChooseMenu(Dlg::MENU_COMMAND_TEST);
    CCommandTest* commandTest = window->CommandTestPage();
    EXPECT_TRUE(commandTest->isVisible());
    EXPECT_EQ(BuiltPages().size(), 2u);
    ChooseMenu(Dlg::MENU_INTERFACE);
    ChooseMenu(Dlg::MENU_COMMAND_TEST);
    EXPECT_EQ(window->CommandTestPage(), commandTest);
    EXPECT_EQ(BuiltPages().size(), 2u);
    for (int row : {Dlg::MENU_PRINTER_SETUP, Dlg::MENU_FIRMWARE, Dlg::MENU_TEST_ITEMS})
        ChooseMenu(row);
    EXPECT_EQ(BuiltPages().size(), 5u); // the receipt printers' settings page: no label page yet
    EXPECT_EQ(window->findChildren<CPrintingSetupLB610_1*>().size(), 0u);
}

TEST_F(Startup, APageBuiltLaterGetsTheSettingsOfThatMoment) {
    WriteSettings(Record("LB-610", PORT_USB));
    Start();
    // Changed before the pages exist.
    ClickInterface(CPagePortSet::IDC_NETWORK);
    ChooseModel(3); // TR-520
    const PortSettings master = window->MasterSettings();
    ASSERT_EQ(master.portKind, PORT_LAN);
    ASSERT_EQ(master.modelName, "TR-520");

    ChooseMenu(Dlg::MENU_COMMAND_TEST);
    EXPECT_EQ(window->CommandTestPage()->Settings(), master);
    ChooseMenu(Dlg::MENU_TEST_ITEMS);
    EXPECT_EQ(window->TestItemsPage()->Settings(), master);
    EXPECT_TRUE(window->TestItemsPage()->isEnabled());
    ChooseMenu(Dlg::MENU_FIRMWARE);
    EXPECT_EQ(window->UpgradePage()->Settings(), master);
    // Asked for by its accessor: built too, with the same record.
    EXPECT_EQ(window->LabelSetupPage()->Settings(), master);
    EXPECT_EQ(window->CurrentSettingsPage(), window->LabelSetupPage());
}

TEST_F(Startup, TooltipsShowInTheTextColourOfTheirWindow) {
    WriteSettings(Record("LB-610", PORT_COM));
    Start();
    // The interface page's are blue; the main window's black.
    EXPECT_EQ(ToolTipColour(Page().Control(CPagePortSet::IDC_MODEL_LIST)), QColor(0, 0, 255));
    EXPECT_EQ(ToolTipColour(window->Control(Dlg::IDC_EXIT)), QColor(Qt::black));
    EXPECT_EQ(ToolTipColour(Page().Control(CPagePortSet::IDC_SETTING)), QColor(0, 0, 255));
    ChooseMenu(Dlg::MENU_PRINTER_SETUP);
    EXPECT_EQ(ToolTipColour(window->LabelSetupPage()->Control(IDC_SEND_SETTINGS)), QColor(Qt::black));
    // The texts stay what the string table says.
    EXPECT_EQ(Page().Control(CPagePortSet::IDC_MODEL_LIST)->toolTip().toStdString(), LoadUiString(110));
}

TEST(Fonts, AFamilyTheSystemLacksIsLeftOutAndTheStandInsFollow) {
    const QStringList families = UiFontFamilies({QStringLiteral("No Such Font 7x"), QStringLiteral("DejaVu Sans")});
    ASSERT_GE(families.size(), 2);
    EXPECT_EQ(families.front(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(families.back(), QStringLiteral("Noto Sans CJK SC"));
    EXPECT_FALSE(families.contains(QStringLiteral("No Such Font 7x")));
    // The window's text in the template font where the system has it, else in the stand-in.
    const bool verdana = QFontDatabase::families().contains(QStringLiteral("Verdana"));
    EXPECT_EQ(QFontInfo(TemplateFont(CPemberluxDlg::IDD, QFont())).family(),
              verdana ? QStringLiteral("Verdana") : QStringLiteral("DejaVu Sans"));
}

} // namespace
} // namespace pemberlux::test
