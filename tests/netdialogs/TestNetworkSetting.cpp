// The interface page's "Setting" with the network interface: the search dialog
// of the model opens, and the printer chosen there becomes the network
// interface of the program (saved, shown, and used by the next exchange).
#include "../shell/ShellFixture.h"
#include "NetDialogFixture.h"
#include "PrintServerSim.h"
#include "SimPrinter.h"
#include "Transports.h"
#include "ui/network/EnternetSetting.h"
#include "ui/network/TR510EnthernetDlg.h"

#include <memory>
#include <system_error>

namespace pemberlux::test {
namespace {

class NetworkSetting : public ShellTest {};

TEST_F(NetworkSetting, TheModelChoosesTheSearchDialog) {
    struct Case {
        const char* model;
        const char* language;
        bool labelModule;
    };
    const Case cases[] = {
        {"LB-610", "English", true},  {"LB-710", "English", true},  {"Label Printer(200DPI)", "Chinese", true},
        {"LB-600", "English", false}, {"TR-510", "English", false}, {"TR-530", "Chinese", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        PortSettings s = Record(c.model, PORT_LAN);
        s.language = c.language;
        WriteSettings(s);
        Start();
        std::string opened;
        WhenModalShown([&](QWidget* w) {
            if (qobject_cast<CEnternetSetting*>(w)) opened = "label module";
            if (qobject_cast<CTR510EnthernetDlg*>(w)) opened = "print server";
            w->close();
        });
        QTest::mouseClick(Page().Control(CPagePortSet::IDC_SETTING), Qt::LeftButton);
        EXPECT_EQ(opened, c.labelModule ? "label module" : "print server");
        window.reset();
    }
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(NetworkSetting, TheConfiguredPrintServerBecomesTheNetworkInterface) {
    // A printer behind the print server, on a port the configuration dialog takes.
    sim::SimPrinter printer;
    std::unique_ptr<sim::TcpServer> tcp;
    for (std::uint16_t port = 9400; !tcp && port <= 9999; ++port) {
        try {
            tcp = std::make_unique<sim::TcpServer>(printer, port);
        } catch (const std::system_error&) {
        }
    }
    ASSERT_TRUE(tcp);
    const std::string port = std::to_string(tcp->Port());
    sim::PrintServerSim servers; // the protocol's own port
    servers.Add(sim::MakePrintServer(0));

    WriteSettings(Record("TR-510", PORT_LAN));
    Start();
    bool done = false;
    WhenModalShown([&](QWidget* w) {
        auto* d = qobject_cast<CTR510EnthernetDlg*>(w);
        ASSERT_NE(d, nullptr);
        d->SetTiming({50ms, 50ms, 50ms, 50ms, 50ms});
        const std::vector<int> buttons{CTR510EnthernetDlg::IDC_SEARCH, CTR510EnthernetDlg::IDC_OK};
        Click(*d, CTR510EnthernetDlg::IDC_SEARCH);
        ASSERT_TRUE(WaitJobsDone(*d, buttons));
        ClickRow(d->List(), 0);
        ConfigDialogAnswer answer;
        AnswerConfigDialog(answer, [&](CEdtCfgDlg& c) { return Enter(c, {0, "127.0.0.1", "255.0.0.0", "", port}); });
        Click(*d, CTR510EnthernetDlg::IDC_SETUP);
        ASSERT_TRUE(WaitJobsDone(*d, buttons));
        Click(*d, CTR510EnthernetDlg::IDC_OK);
        done = true;
    });
    QTest::mouseClick(Page().Control(CPagePortSet::IDC_SETTING), Qt::LeftButton);
    ASSERT_TRUE(done);
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(Page().Settings().ipAddress, "127.0.0.1");
    EXPECT_EQ(std::to_string(Page().Settings().tcpPort), port);
    EXPECT_EQ(CurrentPortSettings.Get().tcpPort, Page().Settings().tcpPort);
    EXPECT_NE(SettingsText().find("ListenPort=" + port), std::string::npos);

    // The next exchange goes to the new address.
    ASSERT_TRUE(Page().StartResetWifi());
    ASSERT_TRUE(printer.WaitForBytes(9, 10s));
    EXPECT_EQ(printer.Received(), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x40, 0x01, 0x1B, 0x10, 0x45}));
}

} // namespace
} // namespace pemberlux::test
