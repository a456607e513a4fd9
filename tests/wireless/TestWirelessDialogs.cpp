// The Wi-Fi setup and Bluetooth settings dialogs against the simulated label
// printer: the bytes each button sends, what is refused and told, the read of
// the Bluetooth module, its time-out, and the interface page opening them.
#include "../shell/ShellFixture.h"
#include "LabelPrinterSim.h"
#include "Pty.h"
#include "Transports.h"
#include "WirelessTestUtil.h"
#include "core/base/UiText.h"
#include "core/wireless/WifiFrames.h"
#include "ui/wireless/BluetoothSetupDlg.h"
#include "ui/wireless/WifiSetupDlg_LB610.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <memory>
#include <span>
#include <string_view>

namespace pemberlux {
namespace {

using namespace test;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class WirelessTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        tcp = std::make_unique<sim::TcpServer>(printer);
        settings = Record("LB-610", PORT_LAN);
        settings.tcpPort = tcp->Port();
    }

    template <class D> bool WaitIdle(const D& dialog) const {
        return WaitUntil([&] {
            if (dialog.WorkersRunning() != 0) return false;
            for (int id : D::JOB_BUTTONS)
                if (!dialog.Control(id)->isEnabled()) return false;
            return true;
        });
    }
    template <class D> void Click(D& dialog, int id) const { QTest::mouseClick(dialog.Control(id), Qt::LeftButton); }
    // Nothing reached the printer, and no job is left running.
    template <class D> void ExpectNothingSent(const D& dialog) const {
        EXPECT_TRUE(WaitIdle(dialog));
        RunEventsFor(200ms);
        EXPECT_TRUE(printer.Received().empty());
    }
    // As typed: the edit's own limit applies, and the dialog hears of the edit.
    static void Type(QWidget* widget, const QString& text) {
        auto* edit = static_cast<QLineEdit*>(widget);
        edit->clear();
        edit->insert(text);
        emit edit->textEdited(edit->text());
    }
    static void Choose(QWidget* list, int index) {
        auto* combo = static_cast<QComboBox*>(list);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    sim::LabelPrinterSim printer;
    std::unique_ptr<sim::TcpServer> tcp;
    PortSettings settings;
    MessageRecorder messages;
};

using Wifi = CWifiSetupDlg_LB610;
using Bt = CBluetoothSetupDlg;

// The command line's value words are the dialog's English list items, place
// for place: a list's place is the value the frame carries.
TEST(WifiWords, AreTheDialogsEnglishListItems) {
    using Dialog = CWifiSetupDlg_LB610;
    const struct {
        int list;
        std::span<const std::string_view> words;
    } lists[] = {
        {Dialog::IDC_MODE, WIFI_MODE_WORDS},
        {Dialog::IDC_ENCRYPTION, WIFI_ENCRYPTION_WORDS},
        {Dialog::IDC_KEY_FORMAT, WIFI_KEY_FORMAT_WORDS},
    };
    for (const auto& l : lists)
        EXPECT_EQ(TemplateItems(Dialog::IDD, l.list, LANG_ENGLISH),
                  std::vector<std::string>(l.words.begin(), l.words.end()))
            << l.list;
}

TEST_F(WirelessTest, WifiDefaultsConfirmedAtOnce) {
    Wifi dialog(settings);
    dialog.show();
    EXPECT_EQ(dialog.ControlText(Wifi::IDC_INSTRUCTION), LoadUiString(218));
    EXPECT_FALSE(dialog.Control(Wifi::IDC_KEY)->isEnabled());
    EXPECT_FALSE(dialog.Control(Wifi::IDC_KEY_FORMAT)->isEnabled());
    Click(dialog, Wifi::IDC_CONFIRM);
    ASSERT_TRUE(printer.WaitForBytes(37, 10s));
    EXPECT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(printer.Received(), HexBytes("1B 0D 53 1B 3E 02 4C 42 2D 36 31 30 20 57 46 00 00 01 00 00 01 "
                                           "C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 1B 10 45"));
    EXPECT_TRUE(WaitUntil([&] { return printer.Counters().wifiSets == 1u; }));
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(WirelessTest, WifiStaticAddressesAndKeyReachTheModule) {
    Wifi dialog(settings);
    dialog.show();
    Choose(dialog.Control(Wifi::IDC_MODE), WIFI_MODE_STA);
    Type(dialog.Control(Wifi::IDC_SSID), "shop");
    Choose(dialog.Control(Wifi::IDC_ENCRYPTION), 6);
    EXPECT_TRUE(dialog.Control(Wifi::IDC_KEY)->isEnabled());
    Type(dialog.Control(Wifi::IDC_KEY), "secret12");
    Choose(dialog.Control(Wifi::IDC_DHCP), WIFI_DHCP_DISABLE);
    Type(dialog.Control(Wifi::IDC_IP_ADDRESS), "10.1.2.3");
    Type(dialog.Control(Wifi::IDC_GATEWAY), "10.1.2.254");
    Type(dialog.Control(Wifi::IDC_SUBNET_MASK), "255.255.0.0");
    Click(dialog, Wifi::IDC_CONFIRM);
    const Bytes expected =
        Join({HexBytes("1B 0D 53 1B 3E 00"), AsciiBytes("shop"), HexBytes("00 06 01 01"), AsciiBytes("secret12"),
              HexBytes("00 01 0A 01 02 03 0A 01 02 FE FF FF 00 00 01 1B 10 45")});
    ASSERT_TRUE(printer.WaitForBytes(expected.size(), 10s));
    EXPECT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(printer.Received(), expected);
    // The bytes are recorded before the printer has taken them.
    EXPECT_TRUE(WaitUntil([&] { return printer.Wifi().ssid == AsciiBytes("shop"); }));
    const sim::WifiModuleState wifi = printer.Wifi();
    EXPECT_EQ(wifi.ssid, AsciiBytes("shop"));
    EXPECT_EQ(wifi.key, AsciiBytes("secret12"));
    EXPECT_EQ(wifi.dhcp, 0x01);
}

TEST_F(WirelessTest, WifiKeysAcceptedAndRefused) {
    struct Case {
        int encryption;
        int format;
        QString key;
        const char* sentKey; // the key bytes with their zero; null: refused with 219
    };
    const Case cases[] = {
        {1, WIFI_KEY_HEX, "0123456789", "01 23 45 67 89 00"},
        {1, WIFI_KEY_HEX, "012345678", nullptr},
        {1, WIFI_KEY_HEX, "012345678G", nullptr},
        {6, WIFI_KEY_ASCII, QString(63, 'k'), ""},
        {6, WIFI_KEY_ASCII, QString(64, 'k'), nullptr},
        {3, WIFI_KEY_HEX, QString(17, '1'), nullptr},
        {4, WIFI_KEY_ASCII, QString::fromUtf8("geheim\xC3\xA4\xC3\xB6"), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.toStdString());
        printer.ClearReceived();
        messages.Clear();
        Wifi dialog(settings);
        dialog.show();
        Choose(dialog.Control(Wifi::IDC_ENCRYPTION), c.encryption);
        Choose(dialog.Control(Wifi::IDC_KEY_FORMAT), c.format);
        Type(dialog.Control(Wifi::IDC_KEY), c.key);
        Click(dialog, Wifi::IDC_CONFIRM);
        if (!c.sentKey) {
            ASSERT_EQ(messages.Count(), 1u);
            EXPECT_EQ(messages.Messages()[0].text, LoadUiString(219));
            EXPECT_FALSE(messages.Messages()[0].icon.has_value());
            ExpectNothingSent(dialog);
            continue;
        }
        Bytes key = *c.sentKey ? HexBytes(c.sentKey) : Join({AsciiBytes(c.key.toStdString()), HexBytes("00")});
        const Bytes expected =
            Join({HexBytes("1B 0D 53 1B 3E 02"), AsciiBytes("LB-610 WF"), HexBytes("00"),
                  Bytes{static_cast<std::uint8_t>(c.encryption), static_cast<std::uint8_t>(c.format), 0x01}, key,
                  HexBytes("01 C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 1B 10 45")});
        ASSERT_TRUE(printer.WaitForBytes(expected.size(), 10s));
        EXPECT_TRUE(WaitIdle(dialog));
        EXPECT_EQ(printer.Received(), expected);
        EXPECT_EQ(messages.Count(), 0u);
    }
}

TEST_F(WirelessTest, WifiNoneEmptiesAndDisablesTheKey) {
    Wifi dialog(settings);
    dialog.show();
    Choose(dialog.Control(Wifi::IDC_ENCRYPTION), 1);
    Type(dialog.Control(Wifi::IDC_KEY), "abcde");
    Choose(dialog.Control(Wifi::IDC_ENCRYPTION), WIFI_ENCRYPTION_NONE);
    EXPECT_EQ(dialog.ControlText(Wifi::IDC_KEY), "");
    EXPECT_FALSE(dialog.Control(Wifi::IDC_KEY)->isEnabled());
    EXPECT_FALSE(dialog.Control(Wifi::IDC_KEY_FORMAT)->isEnabled());
}

// An SSID emptied after it had a value goes out as the lone byte 00; one
// outside ASCII is refused with its message.
TEST_F(WirelessTest, WifiSendsAnEmptiedSsidAsALoneZeroAndRefusesAnSsidOutsideAscii) {
    {
        Wifi dialog(settings);
        dialog.show();
        Type(dialog.Control(Wifi::IDC_SSID), "");
        Click(dialog, Wifi::IDC_CONFIRM);
        const Bytes expected = HexBytes("1B 0D 53 1B 3E 02 00 00 01 00 00 01 C0 A8 01 0B C0 A8 01 0B FF FF FF 00 00 "
                                        "1B 10 45");
        ASSERT_TRUE(printer.WaitForBytes(expected.size(), 10s));
        EXPECT_TRUE(WaitIdle(dialog));
        EXPECT_EQ(printer.Received(), expected);
        EXPECT_EQ(messages.Count(), 0u);
    }
    printer.ClearReceived();
    Wifi dialog(settings);
    dialog.show();
    Type(dialog.Control(Wifi::IDC_SSID), QString::fromUtf8("Caf\xC3\xA9"));
    Click(dialog, Wifi::IDC_CONFIRM);
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Texts()[0], TemplateText(Wifi::IDD, "message.SsidNotAscii"));
    ExpectNothingSent(dialog);
}

// An address field holds at most four numbers of 0 to 255; one that holds
// less, or nothing, is named when Confirm is clicked and nothing goes out.
TEST_F(WirelessTest, WifiAddressFieldsTakeOnlyOctetsAndConfirmNamesAnIncompleteOne) {
    struct Case {
        int id;
        const char* typed; // keys, one by one
        const char* held;  // what the field holds then
        const char* told;
    };
    const Case cases[] = {
        {Wifi::IDC_IP_ADDRESS, "999.1.1.1", "99.1.1.1", nullptr},
        {Wifi::IDC_IP_ADDRESS, "256.255.0.1", "25.255.0.1", nullptr},
        {Wifi::IDC_SUBNET_MASK, "1.2.3", "1.2.3",
         "Subnet Mask: enter four numbers from 0 to 255, such as 192.168.1.11."},
        {Wifi::IDC_GATEWAY, "10.1.", "10.1.", "Gateway: enter four numbers from 0 to 255, such as 192.168.1.11."},
        {Wifi::IDC_IP_ADDRESS, "", "", "IP Address: enter four numbers from 0 to 255, such as 192.168.1.11."},
        {Wifi::IDC_IP_ADDRESS, "1.2.3.4.5", "1.2.3.45", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        messages.Clear();
        printer.ClearReceived();
        Wifi dialog(settings);
        dialog.show();
        auto* edit = static_cast<QLineEdit*>(dialog.Control(c.id));
        Type(edit, ""); // the default emptied by the user
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(edit->text().toStdString(), c.held);
        Click(dialog, Wifi::IDC_CONFIRM);
        if (c.told) {
            EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.told});
            EXPECT_EQ(dialog.focusWidget(), edit);
            ExpectNothingSent(dialog);
        } else {
            ASSERT_TRUE(printer.WaitForBytes(37, 10s));
            EXPECT_TRUE(WaitIdle(dialog));
            EXPECT_EQ(messages.Count(), 0u);
        }
    }
}

TEST_F(WirelessTest, WifiResetSendsTheResetFrameAndRestoresTheDefaults) {
    printer.Receive(
        HexBytes("1B 0D 53 1B 3E 00 41 00 00 01 00 00 01 0A 00 00 05 0A 00 00 01 FF 00 00 00 01 1B 10 45").data(), 29);
    ASSERT_NE(printer.Wifi(), printer.FactoryWifi());
    printer.ClearReceived();
    Wifi dialog(settings);
    dialog.show();
    Type(dialog.Control(Wifi::IDC_SSID), "changed");
    Choose(dialog.Control(Wifi::IDC_ENCRYPTION), 2);
    Click(dialog, Wifi::IDC_RESET);
    ASSERT_TRUE(printer.WaitForBytes(9, 10s));
    EXPECT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(printer.Received(), HexBytes("1B 0D 53 1B 40 01 1B 10 45"));
    EXPECT_TRUE(WaitUntil([&] { return printer.Wifi() == printer.FactoryWifi(); }));
    EXPECT_TRUE(WaitUntil([&] { return dialog.ControlText(Wifi::IDC_SSID) == "LB-610 WF"; }));
    EXPECT_EQ(dialog.ControlText(Wifi::IDC_ENCRYPTION), "None");
    EXPECT_FALSE(dialog.Control(Wifi::IDC_KEY)->isEnabled());
}

TEST_F(WirelessTest, WifiOpenFailureIsToldAndTheDialogStaysUsable) {
    settings.tcpPort = 1; // nothing listens there
    Wifi dialog(settings);
    dialog.show();
    Click(dialog, Wifi::IDC_CONFIRM);
    ASSERT_TRUE(messages.WaitForCount(1, 30s));
    EXPECT_TRUE(WaitIdle(dialog));
    EXPECT_TRUE(dialog.Control(Wifi::IDC_CONFIRM)->isEnabled());
}

TEST_F(WirelessTest, BluetoothSendGivesTheTwentyFiveByteFrameAndABeep) {
    Bt dialog(settings);
    dialog.show();
    EXPECT_EQ(dialog.ControlText(Bt::IDC_REMARK), LoadUiString(221));
    Type(dialog.Control(Bt::IDC_NAME), "Printer01");
    Type(dialog.Control(Bt::IDC_PASSWORD), "1234");
    Click(dialog, Bt::IDC_SEND);
    ASSERT_TRUE(printer.WaitForBytes(25, 10s));
    EXPECT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(printer.Received(),
              HexBytes("1B 0D 48 50 72 69 6E 74 65 72 30 31 00 00 00 00 00 00 00 31 32 33 34 00 10"));
    EXPECT_TRUE(WaitUntil([&] { return printer.Counters().beeps == 1u; }));
    EXPECT_EQ(printer.Bluetooth().name, "Printer01");
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(WirelessTest, BluetoothValidationMessages) {
    struct Case {
        QString name;
        QString password;
        int stringId;
    };
    for (const Case& c :
         {Case{"", "1234", 222}, Case{"Office", "123", 223}, Case{QString::fromUtf8("B\xC3\xBCro"), "1234", 222}}) {
        SCOPED_TRACE(c.stringId);
        messages.Clear();
        Bt dialog(settings);
        dialog.show();
        Type(dialog.Control(Bt::IDC_NAME), c.name);
        Type(dialog.Control(Bt::IDC_PASSWORD), c.password);
        Click(dialog, Bt::IDC_SEND);
        ASSERT_EQ(messages.Count(), 1u);
        EXPECT_EQ(messages.Texts()[0], LoadUiString(c.stringId));
        EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
        ExpectNothingSent(dialog);
    }
    // The edits take no more than the module does.
    Bt dialog(settings);
    EXPECT_EQ(static_cast<QLineEdit*>(dialog.Control(Bt::IDC_NAME))->maxLength(), 15);
    EXPECT_EQ(static_cast<QLineEdit*>(dialog.Control(Bt::IDC_PASSWORD))->maxLength(), 4);
}

TEST_F(WirelessTest, BluetoothReadShowsTheModuleAndRestoreResetsIt) {
    sim::BluetoothModuleState state = printer.FactoryBluetooth();
    state.name = "Office";
    state.password = "4711";
    printer.SetBluetooth(state);
    Bt dialog(settings);
    dialog.show();
    Click(dialog, Bt::IDC_GET);
    EXPECT_TRUE(WaitUntil([&] { return dialog.ControlText(Bt::IDC_MAC) == "00-1B-35-0A-FF-12"; }));
    EXPECT_EQ(dialog.ControlText(Bt::IDC_NAME), "Office");
    EXPECT_EQ(dialog.ControlText(Bt::IDC_PASSWORD), "4711");
    EXPECT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(printer.Received(), HexBytes("1B 0D 47"));

    printer.ClearReceived();
    Click(dialog, Bt::IDC_RESTORE);
    ASSERT_TRUE(printer.WaitForBytes(3, 10s));
    EXPECT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(printer.Received(), HexBytes("1B 0D 49"));
    EXPECT_TRUE(WaitUntil([&] { return printer.Bluetooth().name == "LB-610"; }));
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(WirelessTest, BluetoothPartialAnswerIsATimeOutAndLeavesTheEdits) {
    printer.QueueAnswer(sim::Answer{HexBytes("00 1B 35 0A FF 12 31 32")});
    Bt dialog(settings);
    dialog.show();
    Type(dialog.Control(Bt::IDC_NAME), "Mine");
    Click(dialog, Bt::IDC_GET);
    ASSERT_TRUE(messages.WaitForCount(1, 30s));
    EXPECT_EQ(messages.Texts()[0], "Communication is time out!");
    EXPECT_EQ(dialog.ControlText(Bt::IDC_NAME), "Mine");
    EXPECT_EQ(dialog.ControlText(Bt::IDC_MAC), "");
    EXPECT_TRUE(WaitIdle(dialog));
}

TEST_F(WirelessTest, BluetoothReadWithoutAPrinterOnTheSerialLineTimesOut) {
    Pty line; // nobody answers on it
    settings.portKind = PORT_COM;
    settings.comName = line.Path();
    Bt dialog(settings);
    dialog.show();
    Click(dialog, Bt::IDC_GET);
    EXPECT_FALSE(dialog.Control(Bt::IDC_OK)->isEnabled());
    EXPECT_EQ(line.Receive(3, 5s), std::string("\x1B\x0D\x47"));
    ASSERT_TRUE(messages.WaitForCount(1, 40s));
    EXPECT_EQ(messages.Texts()[0], "Communication is time out!");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(WaitIdle(dialog));
}

TEST_F(WirelessTest, ClosingDuringAReadEndsTheJob) {
    Pty line;
    settings.portKind = PORT_COM;
    settings.comName = line.Path();
    auto dialog = std::make_unique<Bt>(settings);
    dialog->show();
    Click(*dialog, Bt::IDC_GET);
    EXPECT_EQ(line.Receive(3, 5s), std::string("\x1B\x0D\x47"));
    dialog.reset(); // stops the job; the destructor would abort otherwise
    RunEventsFor(100ms);
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(WirelessTest, InterfacePageButtonsOpenTheDialogs) {
    WriteSettings(settings);
    Start();
    CPagePortSet& page = *window->PortSetPage();
    ASSERT_TRUE(page.Control(CPagePortSet::IDC_BLUETOOTH)->isVisible());
    for (int button : {CPagePortSet::IDC_BLUETOOTH, CPagePortSet::IDC_WIFI_SETUP}) {
        page.SelectSerial(); // "Wi-Fi Setup" is off with the network
        int opened = 0;
        WhenModalShown([&](QWidget* w) {
            auto* dialog = dynamic_cast<CWindowBase*>(w);
            if (dialog) opened = dialog->DialogId();
            static_cast<QDialog*>(w)->reject();
        });
        QTest::mouseClick(page.Control(button), Qt::LeftButton);
        EXPECT_EQ(opened, button == CPagePortSet::IDC_BLUETOOTH ? Bt::IDD : Wifi::IDD);
    }
}

} // namespace
} // namespace pemberlux
