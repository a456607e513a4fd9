// The interface page against the simulator: the serial dialog and the frame it
// sends (over USB when a printer is there, else over the serial line still set
// the old way), the parallel and USB dialogs, and the Wi-Fi reset on each
// transport.
#include "ShellFixture.h"
#include "SimPrinter.h"
#include "Transports.h"
#include "ui/port/PortSetParallel.h"
#include "ui/port/PortSetSerial.h"
#include "ui/port/PortSetUSB.h"

#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <termios.h>
#include <unistd.h>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Page = CPagePortSet;
using sim::Bytes;

const Bytes WIFI_RESET = {0x1B, 0x0D, 0x53, 0x1B, 0x40, 0x01, 0x1B, 0x10, 0x45};

Bytes SerialFrame(std::uint8_t n) {
    return {0x1B, 0x0D, 0x53, 0x1B, 0x23, n, 0x1B, 0x10, 0x45};
}

speed_t LineSpeed(const std::string& ptyPath) {
    int fd = ::open(ptyPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::close(fd);
    return cfgetospeed(&tio);
}

class InterfacePage : public test::ShellTest {
protected:
    // Chooses the entries of the open serial dialog and presses OK.
    void ConfirmSerialDialog(const char* port, const char* baud, int parity, const char* dataBits, const char* stopBits,
                             int flow) {
        test::WhenModalShown([=, this](QWidget* w) {
            auto* dialog = qobject_cast<CPortSetSerial*>(w);
            ASSERT_NE(dialog, nullptr);
            shownSerial = {
                dialog->ControlText(CPortSetSerial::IDC_PORT),      dialog->ControlText(CPortSetSerial::IDC_BAUD),
                dialog->ControlText(CPortSetSerial::IDC_PARITY),    dialog->ControlText(CPortSetSerial::IDC_DATA_BITS),
                dialog->ControlText(CPortSetSerial::IDC_STOP_BITS), dialog->ControlText(CPortSetSerial::IDC_FLOW)};
            auto select = [dialog](int id, const char* text) {
                auto* list = dialog->ControlAs<QComboBox>(id);
                list->setCurrentIndex(list->findText(QString::fromUtf8(text)));
            };
            auto* ports = dialog->ControlAs<QComboBox>(CPortSetSerial::IDC_PORT);
            ports->setCurrentIndex(ports->findData(QString::fromUtf8(port))); // by the value stored
            select(CPortSetSerial::IDC_BAUD, baud);
            dialog->ControlAs<QComboBox>(CPortSetSerial::IDC_PARITY)->setCurrentIndex(parity);
            select(CPortSetSerial::IDC_DATA_BITS, dataBits);
            select(CPortSetSerial::IDC_STOP_BITS, stopBits);
            dialog->ControlAs<QComboBox>(CPortSetSerial::IDC_FLOW)->setCurrentIndex(flow);
            QTest::mouseClick(dialog->Control(CPortSetSerial::IDC_OK), Qt::LeftButton);
        });
        QTest::mouseClick(Page().Control(Page::IDC_SETTING), Qt::LeftButton);
    }
    bool WorkerDone() {
        return test::WaitUntil([&] { return Page().WorkersRunning() == 0; });
    }

    std::vector<std::string> shownSerial;
    sim::SimPrinter printer;
};

TEST_F(InterfacePage, SerialSettingsGoOverTheOldSerialLineWithoutUsb) {
    sim::PtyPort pty(printer);
    struct Case {
        int model;
        std::uint8_t n;
    } const cases[] = {{0, 0xEC}, {2, 0xDC}, {3, 0xCC}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        PortSettings s = Record("LB-610", PORT_COM);
        s.comName = pty.Path();
        WriteSettings(s);
        Start();
        ChooseModel(c.model);
        printer.ClearReceived();
        ConfirmSerialDialog(pty.Path().c_str(), "19200", 1, "7", "2", 1);
        // The dialog opened on the settings in use, the device path included.
        EXPECT_EQ(shownSerial, (std::vector<std::string>{pty.Path(), "9600", "None", "8", "1", "DTR"}));
        ASSERT_TRUE(WorkerDone());
        ASSERT_TRUE(printer.WaitForBytes(9, 5s));
        EXPECT_EQ(printer.Received(), SerialFrame(c.n));
        EXPECT_EQ(LineSpeed(pty.Path()), B9600); // sent the old way

        s.modelName = Models()->currentText().toStdString();
        s.baudRate = "19200";
        s.dataBits = "7";
        s.parity = "Even";
        s.stopBits = "2";
        s.flowControl = "Xon/Xoff";
        EXPECT_EQ(SettingsText(), FormatSettings(s));
        EXPECT_EQ(CurrentPortSettings, s);
        EXPECT_EQ(Label(CPemberluxDlg::IDC_INTERFACE_LABEL), "  " + pty.Path() + "|19200");
        EXPECT_TRUE(Page().Control(Page::IDC_SETTING)->isEnabled());
        EXPECT_TRUE(Page().Control(Page::IDC_SERIAL)->isEnabled());
        EXPECT_EQ(messages.Count(), 0u);
        window.reset();
    }
}

TEST_F(InterfacePage, SerialSettingsGoOverUsbWhenAPrinterIsAttached) {
    sim::PtyPort pty(printer);
    sim::SimPrinter usbPrinter;
    sim::FakeUsbTree usb(dir / "usb");
    usb.AddPrinter(usbPrinter, "3a7e", "41a2");
    test::ScopedEnv sys("PEMBERLUX_SYSFS_ROOT", usb.SysfsRoot().c_str());
    test::ScopedEnv dev("PEMBERLUX_DEV_ROOT", usb.DevRoot().c_str());
    PortSettings s = Record("TR-510", PORT_COM);
    s.comName = pty.Path();
    WriteSettings(s);
    Start();
    ConfirmSerialDialog(pty.Path().c_str(), "9600", 0, "8", "1", 0);
    ASSERT_TRUE(WorkerDone());
    ASSERT_TRUE(usbPrinter.WaitForBytes(9, 5s));
    EXPECT_EQ(usbPrinter.Received(), SerialFrame(0x03));
    test::RunEventsFor(100ms);
    EXPECT_TRUE(printer.Received().empty());
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(InterfacePage, SerialSettingsToAMissingPortShowTheBusyMessage) {
    PortSettings s = Record("LB-610", PORT_COM);
    s.comName = (dir / "no-such-tty").string();
    WriteSettings(s);
    Start();
    ConfirmSerialDialog(s.comName.c_str(), "4800", 2, "8", "1", 0);
    ASSERT_TRUE(WorkerDone());
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Messages()[0].text,
              "The interface is used by other program or non-existent!\n" + s.comName +
                  ": no such device. Check that the printer is connected and switched on.");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    // The new settings are kept all the same.
    EXPECT_NE(SettingsText().find("Baudrate=4800\r\nParitySetup=Odd\r\n"), std::string::npos);
}

TEST_F(InterfacePage, CancelledSerialDialogChangesNothing) {
    WriteSettings(Record("LB-610", PORT_COM));
    Start();
    const std::string before = SettingsText();
    test::WhenModalShown([](QWidget* w) {
        auto* dialog = qobject_cast<CPortSetSerial*>(w);
        dialog->ControlAs<QComboBox>(CPortSetSerial::IDC_BAUD)->setCurrentIndex(0);
        QTest::mouseClick(dialog->Control(CPortSetSerial::IDC_CANCEL), Qt::LeftButton);
    });
    QTest::mouseClick(Page().Control(Page::IDC_SETTING), Qt::LeftButton);
    test::RunEventsFor(50ms);
    EXPECT_EQ(Page().WorkersRunning(), 0);
    EXPECT_EQ(SettingsText(), before);
}

TEST_F(InterfacePage, ParallelDialogSetsThePort) {
    fs::create_directories(dir / "dev");
    for (const char* name : {"lp0", "lp2"})
        std::ofstream(dir / "dev" / name).put('\n');
    test::ScopedEnv dev("PEMBERLUX_DEV_ROOT", (dir / "dev").c_str());
    WriteSettings(Record("LB-610", PORT_LPT));
    Start();
    std::vector<std::string> items;
    test::WhenModalShown([&](QWidget* w) {
        auto* dialog = qobject_cast<CPortSetParallel*>(w);
        ASSERT_NE(dialog, nullptr);
        auto* list = dialog->ControlAs<QComboBox>(CPortSetParallel::IDC_PORT);
        for (int i = 0; i < list->count(); ++i)
            items.push_back(list->itemText(i).toStdString());
        EXPECT_EQ(list->currentText().toStdString(), "LPT1 (/dev/lp0)");
        list->setCurrentIndex(1);
        QTest::mouseClick(dialog->Control(CPortSetParallel::IDC_OK), Qt::LeftButton);
    });
    QTest::mouseClick(Page().Control(Page::IDC_SETTING), Qt::LeftButton);
    EXPECT_EQ(items, (std::vector<std::string>{"LPT1 (/dev/lp0)", "LPT3 (/dev/lp2)"}));
    PortSettings expected = Record("LB-610", PORT_LPT);
    expected.lptName = "LPT3";
    EXPECT_EQ(SettingsText(), FormatSettings(expected));
    EXPECT_EQ(Label(CPemberluxDlg::IDC_INTERFACE_LABEL), "  LPT3");
}

TEST_F(InterfacePage, UsbDialogOnlyClosesFromItsCaption) {
    WriteSettings(Record("LB-610", PORT_USB));
    Start();
    bool stillOpen = false;
    int entries = -1;
    test::WhenModalShown([&](QWidget* w) {
        auto* dialog = qobject_cast<CPortSetUSB*>(w);
        ASSERT_NE(dialog, nullptr);
        entries = dialog->ControlAs<QComboBox>(CPortSetUSB::IDC_PORT)->count();
        QTest::mouseClick(dialog->Control(CPortSetUSB::IDC_OK), Qt::LeftButton);
        QTest::mouseClick(dialog->Control(CPortSetUSB::IDC_CANCEL), Qt::LeftButton);
        QTest::keyClick(dialog, Qt::Key_Escape);
        stillOpen = dialog->isVisible();
        dialog->close();
    });
    Page().OpenInterfaceDialog(); // "Setting" itself is off with USB
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(entries, 0);
}

// The list shows the USB printers attached and follows printers plugged in
// and out while the dialog is open.
TEST_F(InterfacePage, UsbDialogFollowsPrintersPluggedInAndOut) {
    sim::FakeUsbTree usb(dir / "usb");
    const std::string first = usb.AddPrinter(printer, "3a7e", "5e10");
    test::ScopedEnv sys("PEMBERLUX_SYSFS_ROOT", usb.SysfsRoot().c_str());
    test::ScopedEnv dev("PEMBERLUX_DEV_ROOT", usb.DevRoot().c_str());
    WriteSettings(Record("LB-610", PORT_USB));
    Start();
    std::string second;
    const struct {
        std::function<void()> plug;
        std::vector<std::string> items;
    } steps[] = {
        {[] {}, {first + " (3a7e:5e10)"}},
        {[&] { second = usb.AddPrinter(printer, "2c5d", "5e21"); },
         {first + " (3a7e:5e10)", (usb.DevRoot() / "usb/lp1").string() + " (2c5d:5e21)"}},
        {[&] { usb.RemovePrinter(first); }, {(usb.DevRoot() / "usb/lp1").string() + " (2c5d:5e21)"}},
        {[&] { usb.RemovePrinter(second); }, {}},
    };
    int checked = 0;
    test::WhenModalShown([&](QWidget* w) {
        auto* list = qobject_cast<CPortSetUSB*>(w)->ControlAs<QComboBox>(CPortSetUSB::IDC_PORT);
        auto items = [list] {
            std::vector<std::string> texts;
            for (int i = 0; i < list->count(); ++i)
                texts.push_back(list->itemText(i).toStdString());
            return texts;
        };
        for (const auto& step : steps) {
            step.plug();
            EXPECT_TRUE(test::WaitUntil([&] { return items() == step.items; })) << checked;
            ++checked;
        }
        w->close();
    });
    Page().OpenInterfaceDialog();
    EXPECT_EQ(checked, 4);
}

// The serial dialog offers the lines of this machine, each with its device (a
// built-in one only with a UART behind it, an adapter by its stable name), and
// keeps the stored port, marked absent; an adapter plugged in while it is open
// joins the list, and OK hands on the node chosen.
TEST_F(InterfacePage, SerialDialogNamesEachLineWithItsDeviceAndFollowsPlugging) {
    sim::PtyPort pty(printer);
    sim::FakeUsbTree tree(dir / "tree");
    const fs::path sys = tree.SysfsRoot(), devRoot = tree.DevRoot();
    tree.AddSerialLine("ttyS0", 4);
    tree.AddSerialLine("ttyS1", 0);
    const std::string adapter = (devRoot / "ttyUSB0").string(), later = (devRoot / "ttyUSB3").string();
    tree.AddSerialLine("ttyUSB0", std::nullopt, "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", pty.Path());
    test::ScopedEnv sysEnv("PEMBERLUX_SYSFS_ROOT", sys.c_str());
    test::ScopedEnv devEnv("PEMBERLUX_DEV_ROOT", devRoot.c_str());
    PortSettings s = Record("LB-610", PORT_COM);
    s.comName = "COM2";
    WriteSettings(s);
    Start();
    const std::vector<std::string> atOpen = {"COM1 (/dev/ttyS0)",
                                             "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 (" + adapter + ")",
                                             "COM2 (/dev/ttyS1, absent)"};
    std::vector<std::string> shown, afterPlugging;
    std::string selected, selectedAfter;
    test::WhenModalShown([&](QWidget* w) {
        auto* dialog = qobject_cast<CPortSetSerial*>(w);
        auto* list = dialog->ControlAs<QComboBox>(CPortSetSerial::IDC_PORT);
        auto items = [list] {
            std::vector<std::string> texts;
            for (int i = 0; i < list->count(); ++i)
                texts.push_back(list->itemText(i).toStdString());
            return texts;
        };
        shown = items();
        selected = list->currentText().toStdString();
        // Another line chosen, then one plugged in: the stored port stays, so does the choice.
        list->setCurrentIndex(list->findData(QString::fromStdString(adapter)));
        std::ofstream(later).put('\n');
        EXPECT_TRUE(test::WaitUntil([&] { return list->findData(QString::fromStdString(later)) >= 0; }));
        afterPlugging = items();
        selectedAfter = list->currentText().toStdString();
        QTest::mouseClick(dialog->Control(CPortSetSerial::IDC_OK), Qt::LeftButton);
    });
    QTest::mouseClick(Page().Control(Page::IDC_SETTING), Qt::LeftButton);
    EXPECT_EQ(shown, atOpen);
    EXPECT_EQ(selected, "COM2 (/dev/ttyS1, absent)");
    EXPECT_EQ(afterPlugging, (std::vector<std::string>{atOpen[0], atOpen[1], later, atOpen[2]}));
    EXPECT_EQ(selectedAfter, atOpen[1]);
    EXPECT_EQ(SerialDialogSettings.comName, adapter);
    // The frame goes out over the line chosen, the node is what the file keeps.
    ASSERT_TRUE(WorkerDone());
    ASSERT_TRUE(printer.WaitForBytes(9, 5s));
    EXPECT_EQ(printer.Received(), SerialFrame(0x03));
    EXPECT_NE(SettingsText().find("PortName=" + adapter + "\r\n"), std::string::npos);
}

TEST(NetworkDialogChoice, LabelModuleOnlyForLb610AndLb710) {
    SetThreadUiLanguage(LANG_ENGLISH);
    EXPECT_EQ(CPagePortSet::NetworkDialogFor("LB-610"), CPagePortSet::NetworkDialog::LabelModule);
    EXPECT_EQ(CPagePortSet::NetworkDialogFor("LB-710"), CPagePortSet::NetworkDialog::LabelModule);
    EXPECT_EQ(CPagePortSet::NetworkDialogFor("LB-600"), CPagePortSet::NetworkDialog::PrintServer);
    EXPECT_EQ(CPagePortSet::NetworkDialogFor("TR-510"), CPagePortSet::NetworkDialog::PrintServer);
    // Stored names of either language, and names of no model.
    EXPECT_EQ(CPagePortSet::NetworkDialogFor("Label Printer(300DPI)"), CPagePortSet::NetworkDialog::LabelModule);
    EXPECT_EQ(CPagePortSet::NetworkDialogFor("TR-530"), CPagePortSet::NetworkDialog::PrintServer);
    EXPECT_EQ(CPagePortSet::NetworkDialogFor("XP-1"), CPagePortSet::NetworkDialog::PrintServer);
}

class WifiReset : public InterfacePage {
protected:
    // Presses "Reset Wi-Fi settings" and checks the controls while and after it runs.
    void Reset(int kind) {
        auto* button = Page().Control(Page::IDC_RESET_WIFI);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(button->isEnabled());
        EXPECT_FALSE(Page().Control(Page::IDC_SERIAL)->isEnabled());
        EXPECT_FALSE(Page().Control(Page::IDC_SETTING)->isEnabled());
        ASSERT_TRUE(WorkerDone());
        EXPECT_TRUE(button->isEnabled());
        EXPECT_TRUE(Page().Control(Page::IDC_NETWORK)->isEnabled());
        EXPECT_EQ(Page().Control(Page::IDC_SETTING)->isEnabled(), kind != PORT_USB);
    }
};

TEST_F(WifiReset, SendsTheFrameOnEveryTransport) {
    sim::PtyPort pty(printer);
    sim::TcpServer tcp(printer);
    sim::FakeUsbTree usb(dir / "usb");
    usb.AddPrinter(printer, "3a7e", "5e10");
    test::ScopedEnv sys("PEMBERLUX_SYSFS_ROOT", usb.SysfsRoot().c_str());
    test::ScopedEnv dev("PEMBERLUX_DEV_ROOT", usb.DevRoot().c_str());
    for (PortKind kind : {PORT_COM, PORT_LPT, PORT_USB, PORT_LAN}) {
        SCOPED_TRACE(kind);
        PortSettings s = Record("LB-610", kind);
        s.comName = s.lptName = pty.Path();
        s.tcpPort = tcp.Port();
        WriteSettings(s);
        Start();
        printer.ClearReceived();
        Reset(kind);
        ASSERT_TRUE(printer.WaitForBytes(9, 5s));
        EXPECT_EQ(printer.Received(), WIFI_RESET);
        EXPECT_EQ(messages.Count(), 0u);
        window.reset();
    }
}

TEST_F(WifiReset, OpenAndWriteFailuresShowTheirMessagesInTheWindowsLanguage) {
    // Nothing listens on the network port; LPT "/dev/full" opens but takes no data.
    int closedPort;
    {
        sim::TcpServer tcp(printer);
        closedPort = tcp.Port();
    }
    PortSettings s = Record("LB-610", PORT_LAN);
    s.tcpPort = closedPort;
    WriteSettings(s);
    Start();
    Reset(PORT_LAN);
    ClickInterface(Page::IDC_USB);
    Reset(PORT_USB);
    s.lptName = "/dev/full";
    s.portKind = PORT_LPT;
    s.language = "Chinese";
    WriteSettings(s);
    window.reset();
    Start();
    Reset(PORT_LPT);
    ASSERT_EQ(messages.Count(), 3u);
    EXPECT_EQ(messages.Messages()[0].text,
              "Lan connect fail. Please ensure the wire is connecting and the IP is valid.");
    EXPECT_EQ(messages.Messages()[1].text, "Haven't detected any printer on line.");
    EXPECT_EQ(messages.Messages()[2].text, "数据发送失败，检查打印机是否已连接！");
    for (const RecordedMessage& m : messages.Messages())
        EXPECT_EQ(m.icon, MessageIcon::Warning);
}

} // namespace
} // namespace pemberlux
