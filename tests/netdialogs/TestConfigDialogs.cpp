// The configuration dialogs' own checks: the monitor port and printing time-out
// ranges with their prompt in both languages, no static setup without an
// address, and the USB dialog's defaults.
#include "NetDialogFixture.h"
#include "ui/network/EdtCfgDlgUSB.h"

namespace pemberlux::test {
namespace {

using Kv = CEdtCfgDlg;
using Usb = CEdtCfgDlgUSB;

const char* const PORT_PROMPT = "Please enter an integer between 9000 and 9999.";
const char* const TIMEOUT_PROMPT = "Please enter an integer between 0 and 300.";
const char* const NO_ADDRESS = "Please enter the IP address and the subnet mask, or enable DHCP.";

class ConfigDialogChecks : public NetDialogTest {};

TEST_F(ConfigDialogChecks, OkTakesOnlyValuesInRangeAndAnAddressWithoutDhcp) {
    struct Case {
        NetworkEntry entry;
        const char* refusal; // nullptr: accepted
    };
    const Case cases[] = {
        {{0, "192.168.1.20", "255.255.255.0", "192.168.1.1", "8999", "30"}, PORT_PROMPT},
        {{0, "192.168.1.20", "255.255.255.0", "192.168.1.1", "10000", "30"}, PORT_PROMPT},
        {{0, "192.168.1.20", "255.255.255.0", "192.168.1.1", "", "30"}, PORT_PROMPT},
        {{0, "192.168.1.20", "255.255.255.0", "192.168.1.1", "9000", "30"}, nullptr},
        {{0, "192.168.1.20", "255.255.255.0", "192.168.1.1", "9999", "30"}, nullptr},
        {{0, "192.168.1.20", "255.255.255.0", "192.168.1.1", "9100", "301"}, TIMEOUT_PROMPT},
        {{0, "192.168.1.20", "255.255.255.0", "192.168.1.1", "9100", "0"}, nullptr},
        {{0, "", "255.255.255.0", "192.168.1.1", "9100", "0"}, NO_ADDRESS},
        {{0, "0.0.0.0", "255.255.255.0", "192.168.1.1", "9100", "0"}, NO_ADDRESS},
        {{0, "192.168.1.20", "0.0.0.0", "192.168.1.1", "9100", "0"}, NO_ADDRESS},
        {{1, "", "", "", "9100", "0"}, nullptr}, // DHCP gives the address
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.port + " " + c.entry.timeout + " '" + c.entry.ip + "'");
        messages.Clear();
        Kv dlg;
        dlg.SetKeyValueMode("00A0D1000001");
        dlg.OnInitDialog();
        dlg.show();
        Enter(dlg, c.entry);
        Click(dlg, Kv::IDC_OK);
        if (c.refusal) {
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.refusal});
            continue;
        }
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(messages.Count(), 0u);
        EXPECT_EQ(dlg.MonitorPort(), std::stoi(c.entry.port));
        EXPECT_EQ(dlg.PrintTimeout(), std::stoi(c.entry.timeout));
        EXPECT_EQ(dlg.DhcpChoice(), c.entry.dhcp);
        EXPECT_EQ(FormatIp(dlg.Ip()), c.entry.ip.empty() ? "0.0.0.0" : c.entry.ip);
    }
}

TEST_F(ConfigDialogChecks, TheRangePromptInChinese) {
    SetThreadUiLanguage(LANG_CHINESE);
    Kv dlg;
    dlg.SetKeyValueMode("00A0D1000001");
    dlg.OnInitDialog();
    dlg.show();
    EXPECT_EQ(dlg.windowTitle().toStdString(), "编辑配置");
    Enter(dlg, {0, "192.168.1.20", "255.255.255.0", "192.168.1.1", "9100", "301"});
    Click(dlg, Kv::IDC_OK);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"请输入一个在 0 和 300 之间的整数。"});
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(ConfigDialogChecks, UsbDialogStartsWithAnOfficeNetworkAndNeedsAnAddressWithoutDhcp) {
    Usb dlg;
    dlg.show();
    EXPECT_EQ(dlg.ControlText(Usb::IDC_DHCP), "Disable");
    EXPECT_EQ(dlg.ControlText(Usb::IDC_IP), "192.168.0.10");
    EXPECT_EQ(dlg.ControlText(Usb::IDC_MASK), "255.255.255.0");
    EXPECT_EQ(dlg.ControlText(Usb::IDC_GATEWAY), "192.168.0.1");
    SetText(dlg, Usb::IDC_IP, "");
    Click(dlg, Usb::IDC_OK);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{NO_ADDRESS});
    EXPECT_TRUE(dlg.isVisible());
    dlg.ControlAs<QComboBox>(Usb::IDC_DHCP)->setCurrentIndex(1);
    Click(dlg, Usb::IDC_OK);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Values().dhcp, 1);
    EXPECT_EQ(dlg.Values().ip, (Ipv4Octets{}));
    EXPECT_EQ(dlg.Values().mask, (Ipv4Octets{255, 255, 255, 0}));
}

} // namespace
} // namespace pemberlux::test
