// The main window: start-up from the settings file, the pages it shows, what it
// does with the pages' reports, the language switch and help.
#include "ShellFixture.h"
#include "core/base/Version.h"
#include "ui/app/Resources.h"
#include "ui/command/CommandTest.h"
#include "ui/command/UpgradeFW.h"
#include "ui/label/PrintingSetupLB610_1.h"
#include "ui/receipt/InternalSetupTR510.h"
#include "ui/testitems/TestItemDialog.h"
#include "ui/toolkit/Messages.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using Dlg = CPemberluxDlg;
using Page = CPagePortSet;

class MainWindow : public test::ShellTest {};

TEST_F(MainWindow, FirstStartInEnglishWritesTheDefaultsAndSelectsUsb) {
    Start();
    EXPECT_EQ(SettingsText(), "[PrinterModel]\r\nPrinter Model=LB-610\r\n[PortType]\r\nCurPortType=3\r\n"
                              "[COM]\r\nPortName=COM1\r\nBaudrate=9600\r\nParitySetup=None\r\nDataBit=8\r\n"
                              "StopBit=1\r\nFlowControl=DTR\r\n[LPT]\r\nPortName=LPT1\r\n"
                              "[LAN]\r\nIpAddr=169.254.1.10\r\nListenPort=9100\r\n"
                              "[LanguageSetting]\r\nLanguage=English\r\n");
    EXPECT_EQ(window->windowTitle().toStdString(), "Tavrel Mini Printer Pemberlux V" PEMBERLUX_VERSION);
    EXPECT_EQ(Models()->count(), 5);
    EXPECT_EQ(Models()->itemText(4).toStdString(), "LB-600");
    EXPECT_EQ(Models()->currentText().toStdString(), "LB-610");
    EXPECT_TRUE(Page().ControlAs<QRadioButton>(Page::IDC_USB)->isChecked());
    EXPECT_FALSE(Page().Control(Page::IDC_SETTING)->isEnabled());
    EXPECT_TRUE(window->ControlAs<QRadioButton>(Dlg::IDC_ENGLISH)->isChecked());
    EXPECT_EQ(Label(Dlg::IDC_PRINTER_LABEL), "  LB-610");
    EXPECT_EQ(Label(Dlg::IDC_INTERFACE_LABEL), "  USB");
    EXPECT_EQ(Label(Dlg::IDC_PAGE_TITLE), "   Choose Interface");
    EXPECT_EQ(MenuEntries(),
              (std::vector<std::string>{"Choose Interface", "Printer Setup", "Update Firmware", "Command Test"}));
    EXPECT_EQ(UsbVendorOnly.load(), 1);
    EXPECT_EQ(UsbVendorId, "3A7E");
    EXPECT_EQ(UsbSecondId, "5E10");
    EXPECT_EQ(Page().ControlText(Page::IDC_MODEL_GROUP), "Printer Series");
    EXPECT_EQ(CurrentPortSettings.Get().modelName, "LB-610");
    EXPECT_EQ(CurrentPortSettings.Get().portKind, PORT_USB);
    EXPECT_EQ(window->LabelSetupPage()->Settings(), window->MasterSettings());
    EXPECT_EQ(window->TestItemsPage()->Settings().portKind, PORT_USB);
    EXPECT_TRUE(Page().isVisible());
    EXPECT_FALSE(window->LabelSetupPage()->isVisible());
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(MainWindow, FirstStartOnAChineseSystemWritesChineseAndTheChineseModelName) {
    test::ScopedEnv chinese("LANG", "zh_CN.UTF-8");
    Start();
    EXPECT_EQ(ThreadUiLanguage(), LANG_CHINESE);
    EXPECT_NE(SettingsText().find("Printer Model=Label Printer(200DPI)\r\n"), std::string::npos);
    EXPECT_NE(SettingsText().find("[LanguageSetting]\r\nLanguage=Chinese\r\n"), std::string::npos);
    EXPECT_NE(SettingsText().find("CurPortType=3\r\n"), std::string::npos);
    EXPECT_EQ(window->windowTitle().toStdString(), "Tavrel微型打印机Pemberlux V" PEMBERLUX_VERSION);
    EXPECT_EQ(Models()->count(), 4); // no LB-600 in Chinese
    EXPECT_EQ(Models()->currentText().toStdString(), "Label Printer(200DPI)");
    EXPECT_TRUE(Page().ControlAs<QRadioButton>(Page::IDC_USB)->isChecked());
    EXPECT_TRUE(window->ControlAs<QRadioButton>(Dlg::IDC_CHINESE)->isChecked());
    EXPECT_EQ(Label(Dlg::IDC_PAGE_TITLE), " 端口及打印机选择");
    EXPECT_EQ(Label(Dlg::IDC_PRINTER_LABEL), "  Label Printer(200DPI)");
    EXPECT_EQ(Page().ControlText(Page::IDC_MODEL_GROUP), "打印机类型");
    EXPECT_EQ(window->Control(Dlg::IDC_EXIT)->toolTip().toStdString(), "退出程序");
}

TEST_F(MainWindow, ChineseFileWithTr520SelectsTr530) {
    PortSettings s = Record("TR-520", PORT_LAN);
    s.language = "Chinese";
    WriteSettings(s);
    Start();
    EXPECT_EQ(Models()->currentText().toStdString(), "TR-530");
    EXPECT_EQ(window->MasterSettings().modelName, "TR-530");
    EXPECT_EQ(MenuEntries().size(), 5u);
    EXPECT_EQ(MenuEntries().back(), "测试项");
    EXPECT_EQ(UsbVendorOnly.load(), 0);
    EXPECT_EQ(UsbSecondId, "41A3");
    EXPECT_EQ(Page().ControlText(Page::IDC_MODEL_PROMPT), "请选择打印机型号");
    for (int id : {Page::IDC_RESET_WIFI, Page::IDC_WIFI_SETUP, Page::IDC_BLUETOOTH})
        EXPECT_FALSE(Page().Control(id)->isVisibleTo(&Page())) << id;
    EXPECT_TRUE(Page().ControlAs<QRadioButton>(Page::IDC_NETWORK)->isChecked());
    EXPECT_EQ(Label(Dlg::IDC_INTERFACE_LABEL), "  LAN");
    // Network: a receipt printer takes no firmware over it (Update off, no Download Mode); Wi-Fi Setup off.
    EXPECT_FALSE(window->UpgradePage()->Control(CUpgradeFW::IDC_DOWNLOAD_MODE)->isVisibleTo(window->UpgradePage()));
    EXPECT_FALSE(window->UpgradePage()->Control(CUpgradeFW::IDC_UPDATE)->isEnabled());
    EXPECT_FALSE(Page().Control(Page::IDC_WIFI_SETUP)->isEnabled());
    // Under its Chinese name it is still a receipt printer.
    ChooseMenu(Dlg::MENU_PRINTER_SETUP);
    ASSERT_NE(window->ReceiptSetupPage(), nullptr);
    EXPECT_TRUE(window->ReceiptSetupPage()->isVisible());
    ChooseMenu(Dlg::MENU_TEST_ITEMS);
    EXPECT_TRUE(window->TestItemsPage()->isEnabled());
}

TEST_F(MainWindow, Lb600AtStartSelectsTheLabelPrintersOnUsb) {
    WriteSettings(Record("LB-600"));
    Start();
    EXPECT_EQ(Models()->currentText().toStdString(), "LB-600");
    EXPECT_EQ(UsbVendorOnly.load(), 1);
    EXPECT_EQ(UsbVendorId, "3A7E");
    EXPECT_EQ(UsbSecondId, "5E10");
}

TEST_F(MainWindow, FileWithoutKindOrKnownModelSelectsNothing) {
    dir.Write(SETTINGS_FILE_NAME, "[PrinterModel]\r\nPrinter Model=XP-1\r\n[LanguageSetting]\r\nLanguage=English\r\n");
    Start();
    EXPECT_EQ(Models()->currentIndex(), -1);
    for (int id : {Page::IDC_SERIAL, Page::IDC_PARALLEL, Page::IDC_USB, Page::IDC_NETWORK})
        EXPECT_FALSE(Page().ControlAs<QRadioButton>(id)->isChecked()) << id;
    EXPECT_EQ(Label(Dlg::IDC_INTERFACE_LABEL), "");
    // Nothing selected: the USB selection stays as it was.
    EXPECT_EQ(UsbVendorId, "");
    // Help opens the name of string 179 alone.
    window->ControlAs<QPushButton>(Dlg::IDC_HELP)->click();
    ASSERT_EQ(shell.OpenedDocuments().size(), 1u);
    EXPECT_EQ(shell.OpenedDocuments()[0], (dir / "Pemberlux Help File.pdf").string());
}

struct ModelCase {
    int position;
    const char* model;
    int vendorOnly;
    const char* secondId;
    const char* group;
    const char* prompt;
    const char* caption;
    bool wireless;
    bool testItems;
};

TEST_F(MainWindow, ModelChangeSetsUsbIdsTextsButtonsAndTheMenu) {
    WriteSettings(Record("LB-610", PORT_USB));
    Start();
    const ModelCase cases[] = {
        {2, "TR-510", 0, "41A2", "Printer Model", "Choose your printer model", "Printer Model", false, true},
        {0, "LB-610", 1, "5E10", "Printer Series", "Choose your printer series", "Printer Series", true, false},
        {3, "TR-520", 0, "41A3", "Printer Model", "Choose your printer model", "Printer Model", false, true},
        {2, "TR-510", 0, "41A2", "Printer Model", "Choose your printer model", "Printer Model", false, true},
        {4, "LB-600", 1, "5E10", "Printer Series", "Choose your printer series", "Printer Series", true, false},
        {1, "LB-710", 1, "5E10", "Printer Series", "Choose your printer series", "Printer Series", true, false},
    };
    for (const ModelCase& c : cases) {
        SCOPED_TRACE(c.model);
        ChooseModel(c.position);
        EXPECT_EQ(UsbVendorOnly.load(), c.vendorOnly);
        EXPECT_EQ(UsbVendorId, "3A7E");
        EXPECT_EQ(UsbSecondId, c.secondId);
        EXPECT_EQ(Page().ControlText(Page::IDC_MODEL_GROUP), c.group);
        EXPECT_EQ(Page().ControlText(Page::IDC_MODEL_PROMPT), c.prompt);
        EXPECT_EQ(Models()->accessibleName().toStdString(), c.prompt);
        EXPECT_EQ(Label(Dlg::IDC_PRINTER_CAPTION), c.caption);
        EXPECT_EQ(Label(Dlg::IDC_PRINTER_LABEL), std::string("  ") + c.model);
        for (int id : {Page::IDC_RESET_WIFI, Page::IDC_WIFI_SETUP, Page::IDC_BLUETOOTH})
            EXPECT_EQ(Page().Control(id)->isVisibleTo(&Page()), c.wireless) << id;
        EXPECT_TRUE(Page().Control(Page::IDC_NETWORK)->isVisibleTo(&Page()));
        const auto entries = MenuEntries();
        EXPECT_EQ(std::count(entries.begin(), entries.end(), "Test Items"), c.testItems ? 1 : 0);
        EXPECT_EQ(entries.size(), c.testItems ? 5u : 4u);
        // Saved at once and handed to every page and the port layer.
        PortSettings expected = Record(c.model, PORT_USB);
        EXPECT_EQ(SettingsText(), FormatSettings(expected));
        EXPECT_EQ(window->MasterSettings(), expected);
        EXPECT_EQ(CurrentPortSettings, expected);
        EXPECT_EQ(window->CommandTestPage()->Settings(), expected);
    }
}

TEST_F(MainWindow, PrinterSetupShowsTheSettingsPageOfTheFamily) {
    WriteSettings(Record("TR-510"));
    Start();
    EXPECT_EQ(window->ReceiptSetupPage(), nullptr);
    ChooseMenu(Dlg::MENU_PRINTER_SETUP);
    ASSERT_NE(window->ReceiptSetupPage(), nullptr);
    EXPECT_TRUE(window->ReceiptSetupPage()->isVisible());
    EXPECT_FALSE(window->LabelSetupPage()->isVisible());
    EXPECT_FALSE(Page().isVisible());
    EXPECT_EQ(window->CurrentSettingsPage(), window->ReceiptSetupPage());
    EXPECT_EQ(window->ReceiptSetupPage()->Settings().modelName, "TR-510");
    EXPECT_EQ(Label(Dlg::IDC_PAGE_TITLE), "   Printer Setup");

    // With TR-510 the test items page is shown disabled, check box included.
    ChooseMenu(Dlg::MENU_TEST_ITEMS);
    EXPECT_TRUE(window->TestItemsPage()->isVisible());
    EXPECT_FALSE(window->TestItemsPage()->isEnabled());
    EXPECT_FALSE(window->TestItemsPage()->Control(CTestItemDialog::IDC_CUT_AFTER_PRINT)->isEnabled());
    EXPECT_EQ(Label(Dlg::IDC_PAGE_TITLE), "   Test Items");

    for (int position : {0, 4}) {
        ChooseMenu(Dlg::MENU_INTERFACE);
        ChooseModel(position);
        ChooseMenu(Dlg::MENU_PRINTER_SETUP);
        EXPECT_TRUE(window->LabelSetupPage()->isVisible()) << position;
        EXPECT_FALSE(window->ReceiptSetupPage()->isVisible()) << position;
        EXPECT_EQ(window->CurrentSettingsPage(), window->LabelSetupPage());
    }

    // The receipt page is kept, not made again; TR-520 enables the test items.
    ChooseMenu(Dlg::MENU_INTERFACE);
    ChooseModel(3);
    CInternalSetupTR510* receipt = window->ReceiptSetupPage();
    ChooseMenu(Dlg::MENU_PRINTER_SETUP);
    EXPECT_EQ(window->ReceiptSetupPage(), receipt);
    EXPECT_TRUE(receipt->isVisible());
    ChooseMenu(Dlg::MENU_TEST_ITEMS);
    EXPECT_TRUE(window->TestItemsPage()->isEnabled());
    EXPECT_TRUE(window->TestItemsPage()->Control(CTestItemDialog::IDC_CUT_AFTER_PRINT)->isEnabled());

    ChooseMenu(Dlg::MENU_FIRMWARE);
    EXPECT_TRUE(window->UpgradePage()->isVisible());
    ChooseMenu(Dlg::MENU_COMMAND_TEST);
    EXPECT_TRUE(window->CommandTestPage()->isVisible());
    EXPECT_FALSE(window->TestItemsPage()->isVisible());
}

TEST_F(MainWindow, InterfaceRadiosEnableControlsLabelAndSave) {
    PortSettings s = Record("LB-610", PORT_COM);
    s.comName = "COM3";
    s.baudRate = "115200";
    WriteSettings(s);
    Start();
    EXPECT_EQ(Label(Dlg::IDC_INTERFACE_LABEL), "  COM3|115200");
    EXPECT_FALSE(window->UpgradePage()->Control(CUpgradeFW::IDC_DOWNLOAD_MODE)->isEnabled());

    struct Case {
        int radio;
        PortKind kind;
        const char* label;
        bool setting;
        bool wifiSetup;
    } const cases[] = {
        {Page::IDC_NETWORK, PORT_LAN, "  LAN", true, false},  {Page::IDC_USB, PORT_USB, "  USB", false, true},
        {Page::IDC_PARALLEL, PORT_LPT, "  LPT1", true, true}, {Page::IDC_SERIAL, PORT_COM, "  COM3|115200", true, true},
        {Page::IDC_USB, PORT_USB, "  USB", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ClickInterface(c.radio);
        EXPECT_TRUE(Page().ControlAs<QRadioButton>(c.radio)->isChecked());
        EXPECT_EQ(Label(Dlg::IDC_INTERFACE_LABEL), c.label);
        EXPECT_EQ(Page().Control(Page::IDC_SETTING)->isEnabled(), c.setting);
        EXPECT_EQ(Page().Control(Page::IDC_WIFI_SETUP)->isEnabled(), c.wifiSetup);
        EXPECT_FALSE(Page().Control(Page::IDC_SEND_CONFIG)->isVisibleTo(&Page()));
        s.portKind = c.kind;
        EXPECT_EQ(SettingsText(), FormatSettings(s));
        EXPECT_EQ(window->CurrentKind(), c.kind);
        EXPECT_EQ(CurrentPortSettings.Get().portKind, c.kind);
        EXPECT_EQ(window->UpgradePage()->Settings().portKind, c.kind);
    }
    EXPECT_EQ(SerialDialogSettings.portKind, PORT_COM); // copied when serial was chosen
    EXPECT_EQ(ParallelDialogSettings.portKind, PORT_LPT);
}

TEST_F(MainWindow, SettingsReportedByAPageAreAdoptedAndSaved) {
    WriteSettings(Record("LB-610", PORT_COM));
    Start();
    PortSettings reported = window->MasterSettings();
    reported.baudRate = "38400";
    reported.parity = "Even";
    SendMessage(window.get(), SettingsChangedEvent(reported));
    EXPECT_EQ(SettingsText(), FormatSettings(reported));
    EXPECT_EQ(Label(Dlg::IDC_INTERFACE_LABEL), "  COM1|38400");
    EXPECT_EQ(SerialDialogSettings, reported);
    EXPECT_EQ(CurrentPortSettings, reported);
    EXPECT_EQ(Page().Settings(), reported);
    EXPECT_EQ(window->LabelSetupPage()->Settings(), reported);
}

TEST_F(MainWindow, LanguageSwitchSavesAndRestartsEvenInTheSameLanguage) {
    WriteSettings(Record("LB-610", PORT_USB));
    Start();
    ClickRadio(window->Control(Dlg::IDC_ENGLISH));
    EXPECT_TRUE(window->RestartRequested());
    EXPECT_TRUE(shell.StartedPrograms().empty()); // not before the window closes
    ASSERT_TRUE(test::WaitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(shell.StartedPrograms(), std::vector<std::string>{OwnExecutablePath()});
    EXPECT_EQ(SettingsText(), FormatSettings(Record("LB-610", PORT_USB)));

    window.reset();
    Start();
    ClickRadio(window->Control(Dlg::IDC_CHINESE));
    ASSERT_TRUE(test::WaitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(shell.StartedPrograms().size(), 2u);
    PortSettings chinese = Record("LB-610", PORT_USB);
    chinese.language = "Chinese";
    EXPECT_EQ(SettingsText(), FormatSettings(chinese));
    // The next start comes up in Chinese, with the model under its Chinese name.
    window.reset();
    Start();
    EXPECT_EQ(ThreadUiLanguage(), LANG_CHINESE);
    EXPECT_EQ(Models()->currentText().toStdString(), "Label Printer(200DPI)");
}

TEST_F(MainWindow, ExitClosesWithoutRestartAndKeysDoNotClose) {
    Start();
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return})
        QTest::keyClick(window.get(), key);
    QTest::keyClick(window->Control(Dlg::IDC_MENU_LIST), Qt::Key_Escape);
    test::RunEventsFor(50ms);
    EXPECT_TRUE(window->isVisible());
    QTest::mouseClick(window->Control(Dlg::IDC_EXIT), Qt::LeftButton);
    ASSERT_TRUE(test::WaitUntil([&] { return !window->isVisible(); }));
    EXPECT_TRUE(shell.StartedPrograms().empty());
}

TEST_F(MainWindow, HelpOpensTheFileOfTheSelectedModel) {
    WriteSettings(Record("TR-520"));
    Start();
    window->ControlAs<QPushButton>(Dlg::IDC_HELP)->click();
    ASSERT_EQ(shell.OpenedDocuments().size(), 1u);
    EXPECT_EQ(shell.OpenedDocuments()[0], (dir / "TR-520Pemberlux Help File.pdf").string());
}

TEST_F(MainWindow, HelpWithoutAViewerNamesTheFile) {
    const struct {
        const char* language;
        const char* text;
    } cases[] = {
        {"English", "No program to show the help file is installed (a PDF viewer, and xdg-utils to start it). "
                    "The help file is:\n"},
        {"Chinese", "没有安装能打开帮助文件的程序（PDF 阅读器，以及启动它的 xdg-utils）。帮助文件是：\n"},
    };
    for (const auto& c : cases) {
        PortSettings s = Record("LB-610");
        s.language = c.language;
        WriteSettings(s);
        Start();
        messages.Clear();
        shell.RefuseDocuments(true);
        window->ControlAs<QPushButton>(Dlg::IDC_HELP)->click();
        ASSERT_EQ(messages.Count(), 1u) << c.language;
        EXPECT_EQ(messages.Messages()[0].text, c.text + shell.OpenedDocuments().back()) << c.language;
        EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
        // With a viewer nothing is said.
        shell.RefuseDocuments(false);
        window->ControlAs<QPushButton>(Dlg::IDC_HELP)->click();
        EXPECT_EQ(messages.Count(), 1u) << c.language;
        window.reset();
    }
}

TEST_F(MainWindow, HelpFileIsNamedInTheStoredLanguageNotTheWindows) {
    // A language the program doesn't know: the window keeps the language the
    // main thread already had (here Chinese), the help file name is the English one.
    SetThreadUiLanguage(LANG_CHINESE);
    PortSettings s = Record("TR-510");
    s.language = "Deutsch";
    WriteSettings(s);
    Start();
    ASSERT_EQ(window->windowTitle().toStdString(), "Tavrel微型打印机Pemberlux V" PEMBERLUX_VERSION);
    window->ControlAs<QPushButton>(Dlg::IDC_HELP)->click();
    ASSERT_EQ(shell.OpenedDocuments().size(), 1u);
    EXPECT_EQ(shell.OpenedDocuments()[0], (dir / "TR-510Pemberlux Help File.pdf").string());
}

TEST_F(MainWindow, EveryControlHasAnAccessibleNameTooltipsAndHandCursor) {
    WriteSettings(Record("LB-610"));
    Start();
    for (const CWindowBase* w : std::initializer_list<const CWindowBase*>{window.get(), &Page()}) {
        for (int id : w->ControlIds())
            EXPECT_FALSE(w->Control(id)->accessibleName().isEmpty()) << id;
    }
    EXPECT_EQ(window->Control(Dlg::IDC_PRINTER_LABEL)->accessibleName().toStdString(), "LB-610");
    EXPECT_EQ(window->Control(Dlg::IDC_MENU_LIST)->toolTip().toStdString(), "Selects a menu of the tool");
    EXPECT_EQ(window->Control(Dlg::IDC_ENGLISH)->toolTip().toStdString(),
              "Switch the application's language to English");
    EXPECT_EQ(Page().Control(Page::IDC_SETTING)->toolTip().toStdString(), "Set the detail of interface");
    EXPECT_EQ(Page().Control(Page::IDC_USB)->toolTip().toStdString(), "Communication with USB interface");
    EXPECT_EQ(window->Control(Dlg::IDC_HELP)->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Page().Control(Page::IDC_SERIAL)->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(window->Control(Dlg::IDC_MENU_LIST)->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(MainWindow, LogoOfTheLanguageIsDrawnAtItsPlaceWithWhiteLeftOut) {
    const QImage chinese = Logo(IDB_LOGO_CHINESE).toImage();
    const QImage english = Logo(IDB_LOGO_ENGLISH).toImage();
    EXPECT_EQ(chinese.size(), QSize(180, 21));
    EXPECT_EQ(english.size(), QSize(180, 67));
    EXPECT_FALSE(AppIcon().pixmap(32, 32).isNull());

    WriteSettings(Record("LB-610"));
    Start();
    const QImage shown = window->grab().toImage();
    int drawn = 0, seeThrough = 0;
    for (int y = 0; y < english.height(); ++y) {
        for (int x = 0; x < english.width(); ++x) {
            const QColor logo = english.pixelColor(x, y);
            const QColor screen = shown.pixelColor(15 + x, 15 + y);
            if (logo.alpha() == 255) {
                drawn += screen == QColor(logo.rgb());
            } else {
                seeThrough += screen == window->palette().color(QPalette::Window);
            }
        }
    }
    EXPECT_GT(drawn, 1000);      // the lettering and the printer
    EXPECT_GT(seeThrough, 5000); // the white around them is the window's own colour
    EXPECT_NE(window->palette().color(QPalette::Window), QColor(Qt::white));
}

TEST_F(MainWindow, AboutBox) {
    Start();
    std::vector<std::string> texts;
    std::string caption;
    test::WhenModalShown([&](QWidget* about) {
        caption = about->windowTitle().toStdString();
        for (QLabel* l : about->findChildren<QLabel*>())
            if (!l->text().isEmpty()) texts.push_back(l->text().toStdString());
        QTest::mouseClick(about->findChild<QPushButton*>(), Qt::LeftButton);
    });
    window->ShowAbout();
    EXPECT_EQ(caption, "About Pemberlux");
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Pemberlux,Ver. " PEMBERLUX_VERSION), texts.end());
}

} // namespace
} // namespace pemberlux
