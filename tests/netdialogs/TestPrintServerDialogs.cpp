// The print servers' search dialog and its configuration dialog against
// simulated print servers: the list, the configuration read and written as the
// print server sees it, DHCP, failures, and what OK hands to the page.
#include "NetDialogFixture.h"
#include "PrintServerSim.h"
#include "ui/network/TR510EnthernetDlg.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace pemberlux::test {
namespace {

using Dlg = CTR510EnthernetDlg;
using Kv = CEdtCfgDlg;

// The command byte of every frame a print server took, in order.
std::vector<int> Commands(const std::vector<Bytes>& frames) {
    std::vector<int> commands;
    for (const Bytes& f : frames)
        commands.push_back(f.size() > 2 ? f[2] : -1);
    return commands;
}

// The frames of one command.
std::vector<Bytes> Of(const std::vector<Bytes>& frames, int command) {
    std::vector<Bytes> found;
    for (const Bytes& f : frames)
        if (f.size() > 2 && f[2] == command) found.push_back(f);
    return found;
}

Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

class PrintServerDialog : public NetDialogTest {
protected:
    void Open(const PsWriteTiming& timing = Fast()) {
        dlg = std::make_unique<Dlg>(&page, nullptr, sim.Port());
        dlg->SetSettings(PageRecord());
        dlg->SetTiming(timing);
        dlg->OnInitDialog();
        dlg->show();
    }
    void TearDown() override {
        dlg.reset();
        NetDialogTest::TearDown();
    }
    static PsWriteTiming Fast() { return {50ms, 50ms, 50ms, 50ms, 50ms}; }
    QTableWidget* List() const { return dlg->List(); }
    bool Idle() const { return WaitJobsDone(*dlg, {Dlg::IDC_SEARCH, Dlg::IDC_SETUP, Dlg::IDC_OK, Dlg::IDC_CANCEL}); }
    void Search() {
        Click(*dlg, Dlg::IDC_SEARCH);
        EXPECT_TRUE(WaitUntil([&] { return Text(*dlg, Dlg::IDC_SEARCH) == "Searching...."; }));
        ASSERT_TRUE(Idle());
        EXPECT_EQ(Text(*dlg, Dlg::IDC_SEARCH), "Search");
    }
    // Row `row` clicked, then Setup printer with the configuration dialog answered by `entry`.
    void Configure(int row, const NetworkEntry& entry) {
        ClickRow(List(), row);
        AnswerConfigDialog(answer, [entry](Kv& d) { return Enter(d, entry); });
        Click(*dlg, Dlg::IDC_SETUP);
        EXPECT_TRUE(answer.shown);
        ASSERT_TRUE(Idle());
    }

    sim::PrintServerSim sim{0};
    std::unique_ptr<Dlg> dlg;
    ConfigDialogAnswer answer;
};

TEST_F(PrintServerDialog, TheLaterAnswerIsTheTopRowAndSetupConfiguresThePrintServerOfTheChosenRow) {
    sim.Add(sim::MakePrintServer(0));
    sim::VirtualPrintServer late = sim::MakePrintServer(1);
    late.answerDelay = 200ms;
    sim.Add(late);
    Open();
    Search();
    EXPECT_EQ(Column(List(), Dlg::COL_MAC), (std::vector<std::string>{"02:50:53:00:00:01", "02:50:53:00:00:00"}));
    EXPECT_EQ(Column(List(), Dlg::COL_NAME), (std::vector<std::string>{"PS-1", "PS-0"}));
    EXPECT_EQ(Column(List(), Dlg::COL_FIRMWARE), (std::vector<std::string>{"301", "300"}));
    EXPECT_EQ(Column(List(), Dlg::COL_IP), (std::vector<std::string>{"127.0.1.2", "127.0.1.1"}));

    struct Case {
        int row;
        std::size_t server;
        const char* ip;
        const char* port;
        Bytes ipBytes;   // block A +9..+12, last octet first
        Bytes portBytes; // block B +12..+13, low byte first
    };
    const Case cases[] = {
        {1, 0, "127.0.0.9", "9101", {0x09, 0x00, 0x00, 0x7F}, {0x8D, 0x23}},
        {0, 1, "192.168.1.20", "9999", {0x14, 0x01, 0xA8, 0xC0}, {0x0F, 0x27}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ip);
        const sim::ps::Image before = sim.Server(c.server).image;
        sim.ClearFrames();
        Configure(c.row, {0, c.ip, "255.255.255.0", "127.0.0.1", c.port});
        EXPECT_EQ(answer.seen[Kv::IDC_DEVICE_NAME], c.server ? "PS-1" : "PS-0");
        EXPECT_EQ(answer.dhcpShown, "Disable");

        const std::vector<Bytes> frames = sim.FramesFor(c.server);
        EXPECT_EQ(Commands(frames), (std::vector<int>{0x03, 0x05, 0x04, 0x06, 0x04}));
        EXPECT_TRUE(sim.FramesFor(1 - c.server).empty());
        ASSERT_EQ(frames.size(), 5u);
        const Bytes& a = frames[1];
        const Bytes& b = frames[3];
        ASSERT_EQ(a.size(), 89u);
        ASSERT_EQ(b.size(), 85u);
        EXPECT_EQ(Slice(a, 3, 6), (Bytes{0x02, 0x50, 0x53, 0x00, 0x00, static_cast<std::uint8_t>(c.server)}));
        // Block A: DHCP off, address, gateway and mask last octet first; the rest as read.
        Bytes blockA(before.begin(), before.begin() + 67);
        blockA[3] = 0xFF;
        std::copy(c.ipBytes.begin(), c.ipBytes.end(), blockA.begin() + 9);
        const Bytes gateway{0x01, 0x00, 0x00, 0x7F}; // 127.0.0.1
        std::copy(gateway.begin(), gateway.end(), blockA.begin() + 13);
        const Bytes mask{0x00, 0xFF, 0xFF, 0xFF}; // 255.255.255.0
        std::copy(mask.begin(), mask.end(), blockA.begin() + 17);
        EXPECT_EQ(Slice(a, 21, 67), blockA);
        Bytes blockB(before.begin() + 67, before.begin() + 130);
        std::copy(c.portBytes.begin(), c.portBytes.end(), blockB.begin() + 12);
        EXPECT_EQ(Slice(b, 21, 63), blockB);

        EXPECT_EQ(Column(List(), Dlg::COL_IP)[static_cast<std::size_t>(c.row)], c.ip);
        EXPECT_EQ(Text(*dlg, Dlg::IDC_IP), c.ip);
        EXPECT_EQ(sim::ps::IpText(sim.Server(c.server).ip), c.ip);
    }
    Click(*dlg, Dlg::IDC_OK);
    ASSERT_EQ(page.records.size(), 1u);
    EXPECT_EQ(page.records[0].ipAddress, "192.168.1.20");
    EXPECT_EQ(page.records[0].tcpPort, 9999);
    EXPECT_EQ(page.records[0].modelName, "TR-510");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(PrintServerDialog, EveryAnswerIsARowAndSearchForgetsTheSelection) {
    sim::VirtualPrintServer twice = sim::MakePrintServer(0);
    twice.searchAnswers = 2;
    sim.Add(twice);
    Open();
    Search();
    EXPECT_EQ(Column(List(), Dlg::COL_MAC), (std::vector<std::string>{"02:50:53:00:00:00", "02:50:53:00:00:00"}));
    ClickRow(List(), 1);
    EXPECT_EQ(Text(*dlg, Dlg::IDC_MAC), "02:50:53:00:00:00");
    EXPECT_EQ(Text(*dlg, Dlg::IDC_DEVICE_NAME), "PS-0");
    EXPECT_EQ(dlg->SelectedRow(), 1);

    sim.Update(0, [](sim::VirtualPrintServer& s) { s.searchAnswers = 0; });
    Search();
    EXPECT_EQ(List()->rowCount(), 0);
    EXPECT_EQ(dlg->SelectedRow(), -1);
    EXPECT_EQ(Text(*dlg, Dlg::IDC_MAC), "");
    Click(*dlg, Dlg::IDC_SETUP);
    Click(*dlg, Dlg::IDC_OK);
    ASSERT_EQ(messages.Count(), 2u);
    EXPECT_EQ(messages.Messages()[0].text, "You must select one printer or click cancel to exit.");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_EQ(messages.Messages()[1].icon, std::nullopt);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(page.records.empty());
}

// Every step goes out whatever the one before it got back; the user hears of
// any that went unacknowledged, and the address and port kept are those of the
// blocks the print server acknowledged together with an apply.
TEST_F(PrintServerDialog, AnUnacknowledgedStepStopsNothingAndKeepsOnlyWhatWasAcknowledged) {
    const Bytes otherForm{0xFF, 0x01, 0x05, 0x4E};
    const std::vector<int> allSteps{0x03, 0x05, 0x04, 0x06, 0x04};
    struct Case {
        const char* what;
        std::function<void(sim::VirtualPrintServer&)> fault;
        std::vector<std::string> texts; // the boxes shown
        std::vector<int> commands;      // what reached the print server
        const char* ip;                 // shown, in the row and handed back
        int port;                       // handed back
    };
    const Case cases[] = {
        {"write A not acknowledged",
         [&](sim::VirtualPrintServer& s) { s.answerInstead[0x05] = otherForm; },
         {"Unable to send file to port."},
         allSteps,
         "127.0.1.1",
         9101},
        {"write B not acknowledged",
         [&](sim::VirtualPrintServer& s) { s.answerInstead[0x06] = otherForm; },
         {"Unable to send file to port."},
         allSteps,
         "127.0.0.9",
         9100},
        {"applies not acknowledged",
         [](sim::VirtualPrintServer& s) {
             s.answerInstead[0x04] = {0xFF, 0x01, 0x05, 0x4B};
         },
         {"Unable to send file to port."},
         allSteps,
         "127.0.1.1",
         9100},
        {"read not answered",
         [](sim::VirtualPrintServer& s) { s.answerCommands = false; },
         {"Unable to get printer's setting!", "Unable to get printer's setting!"},
         {0x03},
         "127.0.1.1",
         9100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::PrintServerSim own(0);
        sim::VirtualPrintServer server = sim::MakePrintServer(0);
        c.fault(server);
        own.Add(server);
        messages.Clear();
        page.records.clear();
        dlg = std::make_unique<Dlg>(&page, nullptr, own.Port());
        dlg->SetSettings(PageRecord());
        dlg->SetTiming(Fast());
        dlg->OnInitDialog();
        dlg->show();
        Search();
        Configure(0, {0, "127.0.0.9", "255.0.0.0", "127.0.0.1", "9101"});
        EXPECT_EQ(messages.Texts(), c.texts);
        for (const RecordedMessage& m : messages.Messages())
            EXPECT_EQ(m.icon, MessageIcon::Stop);
        std::vector<int> commands{0x01}; // the search
        commands.insert(commands.end(), c.commands.begin(), c.commands.end());
        EXPECT_EQ(Commands(own.FramesFor(0)), commands);
        EXPECT_EQ(Column(List(), Dlg::COL_IP), (std::vector<std::string>{c.ip}));
        EXPECT_EQ(Text(*dlg, Dlg::IDC_IP), c.ip);
        EXPECT_TRUE(dlg->Control(Dlg::IDC_SETUP)->isEnabled());
        Click(*dlg, Dlg::IDC_OK);
        ASSERT_EQ(page.records.size(), 1u);
        EXPECT_EQ(page.records[0].ipAddress, c.ip);
        EXPECT_EQ(page.records[0].tcpPort, c.port);
    }
}

TEST_F(PrintServerDialog, WithDhcpTheWriteEndsFirstThenThePrintServerIsFoundUnderItsNewAddress) {
    struct Case {
        const char* what;
        std::optional<sim::Ipv4> lease; // what DHCP gives; none: 0.0.0.0
        bool answersAgain;
        std::vector<int> commands; // after the first search
        const char* shown;
        bool ackOfALost = false; // block A taken, its acknowledgement garbled
    };
    const Case cases[] = {
        {"address from DHCP", sim::Ipv4{127, 0, 2, 5}, true, {0x03, 0x05, 0x04, 0x06, 0x04, 0x01, 0x03}, "127.0.2.5"},
        // No DHCP server: the old block A goes back, and with it the old address.
        {"no address", std::nullopt, true, {0x03, 0x05, 0x04, 0x06, 0x04, 0x01, 0x03, 0x05, 0x04}, "127.0.1.1"},
        // Not found again: nothing is read or written.
        {"no answer", sim::Ipv4{127, 0, 2, 5}, false, {0x03, 0x05, 0x04, 0x06, 0x04, 0x01}, "127.0.0.9"},
        // The write is reported failed, and the print server is still followed to its new address.
        {"lost acknowledgement", sim::Ipv4{127, 0, 2, 5}, true, {0x03, 0x05, 0x04, 0x06, 0x04, 0x01, 0x03},
         "127.0.2.5", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::PrintServerSim own(0);
        sim::VirtualPrintServer server = sim::MakePrintServer(0);
        server.dhcpLease = c.lease;
        if (c.ackOfALost) server.answerInstead[0x05] = {0xEE};
        own.Add(server);
        dlg = std::make_unique<Dlg>(&page, nullptr, own.Port());
        dlg->SetSettings(PageRecord());
        dlg->SetTiming(Fast());
        dlg->OnInitDialog();
        dlg->show();
        Search();
        if (!c.answersAgain) own.Update(0, [](sim::VirtualPrintServer& s) { s.searchAnswers = 0; });
        own.ClearFrames();
        Configure(0, {1, "127.0.0.9", "255.0.0.0", "127.0.0.1", "9105"});
        const std::vector<Bytes> frames = own.FramesFor(0);
        EXPECT_EQ(Commands(frames), c.commands);
        const std::vector<Bytes> writesA = Of(frames, 0x05);
        const std::vector<Bytes> writesB = Of(frames, 0x06);
        ASSERT_FALSE(writesA.empty());
        EXPECT_EQ(writesA[0][21 + 3], 0x00); // DHCP on
        // The monitor port is written too: the follow-up did not take the channel from the write.
        ASSERT_EQ(writesB.size(), 1u);
        EXPECT_EQ(Slice(writesB[0], 21 + 12, 2), (Bytes{0x91, 0x23}));
        if (writesA.size() == 2) {
            EXPECT_EQ(Slice(writesA[1], 21, 67), Bytes(server.image.begin(), server.image.begin() + 67));
            EXPECT_EQ(own.Server(0).ip, (sim::Ipv4{127, 0, 1, 1}));
        }
        EXPECT_EQ(Text(*dlg, Dlg::IDC_IP), c.shown);
        EXPECT_EQ(Column(List(), Dlg::COL_IP), (std::vector<std::string>{c.shown}));
        EXPECT_TRUE(dlg->Control(Dlg::IDC_SETUP)->isEnabled());
        ASSERT_EQ(messages.Count(), c.ackOfALost ? 1u : 0u);
        if (c.ackOfALost) {
            EXPECT_EQ(messages.Texts()[0], "Unable to send file to port.");
        }
        messages.Clear();
    }
}

TEST_F(PrintServerDialog, ClosingWhileTheWriteWaitsStopsIt) {
    sim.Add(sim::MakePrintServer(0));
    Open(PsWriteTiming{}); // the print server's own waits: 5 s after the first apply
    Search();
    sim.ClearFrames();
    ClickRow(List(), 0);
    AnswerConfigDialog(answer, [](Kv& d) { return Enter(d, {0, "127.0.0.9", "255.0.0.0", "127.0.0.1", "9101"}); });
    Click(*dlg, Dlg::IDC_SETUP);
    ASSERT_TRUE(WaitUntil([&] { return Commands(sim.FramesFor(0)).size() >= 3; }));
    EXPECT_FALSE(dlg->Control(Dlg::IDC_SEARCH)->isEnabled());
    RunEventsFor(1s);
    EXPECT_EQ(Commands(sim.FramesFor(0)), (std::vector<int>{0x03, 0x05, 0x04})); // block B waits for the print server
    dlg->reject();
    EXPECT_EQ(dlg->WorkersRunning(), 0);
    RunEventsFor(200ms);
    EXPECT_EQ(Commands(sim.FramesFor(0)).size(), 3u);
    EXPECT_TRUE(page.records.empty());
}

TEST_F(PrintServerDialog, TheConfigurationDialogShowsWhatThePrintServerHolds) {
    struct Case {
        std::uint8_t dhcpFlag;
        const char* shown;
    };
    for (const Case& c : {Case{0x00, "Enable"}, Case{0xFF, "Disable"}, Case{0x01, "Disable"}}) {
        SCOPED_TRACE(c.shown);
        sim::PrintServerSim own(0);
        sim::VirtualPrintServer server = sim::MakePrintServer(0);
        server.image[3] = c.dhcpFlag;
        own.Add(server);
        const Bytes answer = sim::SearchAnswer(server);
        DiscoveryRecord record;
        std::copy(answer.begin(), answer.end(), record.bytes.begin());

        Kv cfg;
        cfg.SetPrintServerMode("PS-0", "02:50:53:00:00:00", "", record, own.Port());
        cfg.OnInitDialog();
        cfg.show();
        EXPECT_FALSE(cfg.Control(Kv::IDC_PRINT_TIMEOUT)->isEnabled());
        ASSERT_TRUE(WaitJobsDone(cfg, {Kv::IDC_DHCP, Kv::IDC_OK, Kv::IDC_CANCEL}));
        EXPECT_EQ(cfg.ControlText(Kv::IDC_DHCP), c.shown);
        EXPECT_EQ(cfg.ControlText(Kv::IDC_FW_VERSION), "300");
        EXPECT_EQ(cfg.ControlText(Kv::IDC_CURRENT_IP), "127.0.1.1");
        EXPECT_EQ(cfg.ControlText(Kv::IDC_IP), "127.0.1.1");
        EXPECT_EQ(cfg.ControlText(Kv::IDC_MASK), "255.0.0.0");
        EXPECT_EQ(cfg.ControlText(Kv::IDC_GATEWAY), "127.0.0.1");
        EXPECT_EQ(cfg.ControlText(Kv::IDC_MONITOR_PORT), "9100");
        EXPECT_TRUE(cfg.ConfigRead());
    }
}

} // namespace
} // namespace pemberlux::test
