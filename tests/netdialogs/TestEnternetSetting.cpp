// The label printers' search dialog against simulated printers on the key-value
// protocol (a port of the test's own): the list, the query of the clicked
// printer, the set and its confirmation, the configuration over USB, and what
// OK hands to the page.
#include "../network/KvTestSupport.h"
#include "KvPrinterSim.h"
#include "LabelPrinterSim.h"
#include "NetDialogFixture.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/base/Models.h"
#include "core/network/KvExchange.h"
#include "ui/network/EdtCfgDlgUSB.h"
#include "ui/network/EnternetSetting.h"

#include <memory>

namespace pemberlux::test {
namespace {

using Dlg = CEnternetSetting;
using Kv = CEdtCfgDlg;
using sim::KvPrinterOptions;
using sim::KvPrinterSim;

// The set datagrams a printer received, as text after the header.
std::vector<std::string> Sets(const KvPrinterSim& printer) {
    std::vector<std::string> sets;
    for (const Bytes& r : printer.Requests())
        if (r.size() > 11 && r[7] == 3) sets.emplace_back(r.begin() + 11, r.end());
    return sets;
}

class LabelModuleDialog : public NetDialogTest {
protected:
    void Open(KvTiming timing = Quick()) {
        dlg = std::make_unique<Dlg>(&page, nullptr, port, timing);
        PortSettings s = PageRecord();
        s.modelName = "LB-610";
        s.language = ThreadUiLanguage() == LANG_CHINESE ? "Chinese" : "English";
        dlg->SetSettings(s);
        dlg->OnInitDialog();
        dlg->show();
    }
    void TearDown() override {
        dlg.reset();
        UsbVendorId = "";
        UsbSecondId = "";
        UsbVendorOnly = 0;
        NetDialogTest::TearDown();
    }
    static KvTiming Quick() {
        KvTiming t;
        t.confirmFirstWait = 200ms;
        t.confirmSettle = 100ms;
        t.confirmRetry = 200ms;
        return t;
    }
    QTableWidget* List() const { return dlg->List(); }
    bool Idle() const { return WaitJobsDone(*dlg, {Dlg::IDC_SEARCH, Dlg::IDC_SETUP, Dlg::IDC_OK, Dlg::IDC_CANCEL}); }
    void Search() {
        Click(*dlg, Dlg::IDC_SEARCH);
        EXPECT_TRUE(WaitUntil([&] { return Text(*dlg, Dlg::IDC_SEARCH) == LoadUiString(209); }));
        ASSERT_TRUE(Idle());
        EXPECT_EQ(Text(*dlg, Dlg::IDC_SEARCH), LoadUiString(208));
    }

    std::uint16_t port = FreeUdpPort();
    std::unique_ptr<Dlg> dlg;
    ConfigDialogAnswer answer;
};

TEST_F(LabelModuleDialog, DoubleClickConfiguresThePrinterWithItsOwnBytesAndOkHandsBackItsNewAddress) {
    SetThreadUiLanguage(LANG_CHINESE);
    sim::KvPrinterConfig config = sim::NumberedKvPrinter(0);
    config.deviceName = "\xB1\xEA\xC7\xA9\xBB\xFA"; // its name in its own code page
    config.dhcp = true;
    KvPrinterOptions options;
    options.dhcpDelay = 0ms;
    KvPrinterSim printer(config, options, port);
    Open();
    Search();
    ASSERT_EQ(List()->rowCount(), 1);
    EXPECT_EQ(Column(List(), Dlg::COL_NAME), (std::vector<std::string>{"标签机"}));
    EXPECT_EQ(Column(List(), Dlg::COL_SERIAL), (std::vector<std::string>{config.serialNumber}));

    AnswerConfigDialog(answer, [](Kv& d) { return Enter(d, {0, "127.0.0.7", "255.0.0.0", "127.0.0.1", "", "45"}); });
    ClickRow(List(), 0, true);
    ASSERT_TRUE(WaitUntil([&] { return answer.closed; }));
    EXPECT_EQ(answer.dhcpShown, "有效");
    EXPECT_EQ(answer.seen[Kv::IDC_DEVICE_NAME], "标签机");
    EXPECT_EQ(answer.seen[Kv::IDC_SERIAL], config.serialNumber);
    EXPECT_EQ(answer.seen[Kv::IDC_MAC], config.mac);
    EXPECT_EQ(answer.seen[Kv::IDC_CURRENT_IP], "127.0.0.1");
    EXPECT_EQ(answer.seen[Kv::IDC_MONITOR_PORT], "9100");
    EXPECT_EQ(answer.seen[Kv::IDC_PRINT_TIMEOUT], "30");

    ASSERT_TRUE(WaitUntil([&] { return printer.SetsApplied() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return Text(*dlg, Dlg::IDC_SETUP) == "设置中..."; }));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(Text(*dlg, Dlg::IDC_SETUP), "设置打印机网口信息");
    const std::vector<std::string> sets = Sets(printer);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_NE(sets[0].find("DEV = \xB1\xEA\xC7\xA9\xBB\xFA              \r\n"), std::string::npos);
    EXPECT_NE(sets[0].find("DHCP = 0\r\nIP = 127.0.0.7      \r\n"), std::string::npos);
    EXPECT_NE(sets[0].find("PRNT_PORT = 9100 \r\nPRNT_RCV_TMO = 45   \r\n*END* = \r\n"), std::string::npos);

    // Confirmed: the printer's answer after the set is what the dialog shows.
    EXPECT_EQ(Text(*dlg, Dlg::IDC_IP), "127.0.0.7");
    EXPECT_EQ(Text(*dlg, Dlg::IDC_MONITOR_PORT), "9100");
    EXPECT_EQ(Column(List(), Dlg::COL_IP), (std::vector<std::string>{"127.0.0.7"}));
    EXPECT_EQ(messages.Count(), 0u);
    Click(*dlg, Dlg::IDC_OK);
    ASSERT_EQ(page.records.size(), 1u);
    EXPECT_EQ(page.records[0].ipAddress, "127.0.0.7");
    EXPECT_EQ(page.records[0].tcpPort, 9100);
}

// The configuration opens only with the printer's own answer: a query that
// went unanswered is reported when it ends, and Setup printer says the same.
TEST_F(LabelModuleDialog, AnUnansweredQueryIsReportedAtOnceAndOpensNothing) {
    sim::KvPrinterConfig config = sim::NumberedKvPrinter(0);
    config.dhcp = true;
    KvPrinterOptions options;
    options.dhcpDelay = std::chrono::hours(1); // no address yet: "----"
    KvPrinterSim printer(config, options, port);
    Open();
    Search();
    EXPECT_EQ(Column(List(), Dlg::COL_IP), (std::vector<std::string>{"----"}));
    options.silent = true;
    printer.SetOptions(options);

    AnswerConfigDialog(answer, [](Kv& d) {
        return Enter(d, {0, "127.0.0.7", "255.0.0.0", "127.0.0.1", "9100", "30"});
    });
    ClickRow(List(), 0, true);
    EXPECT_EQ(Text(*dlg, Dlg::IDC_MAC), config.mac);
    ASSERT_TRUE(WaitUntil([&] { return messages.Count() >= 1; }, 15s));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Communication is time out!"});
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    RunEventsFor(300ms);
    EXPECT_FALSE(answer.shown);

    Click(*dlg, Dlg::IDC_SETUP);
    EXPECT_FALSE(answer.shown);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Communication is time out!", "Communication is time out!"}));
    EXPECT_TRUE(Sets(printer).empty());
    EXPECT_EQ(Text(*dlg, Dlg::IDC_MONITOR_PORT), "0");

    // OK hands back no "----" and no port 0: the page keeps its own.
    Click(*dlg, Dlg::IDC_OK);
    ASSERT_EQ(page.records.size(), 1u);
    EXPECT_EQ(page.records[0].ipAddress, "127.0.0.1");
    EXPECT_EQ(page.records[0].tcpPort, 9100);
}

// A click whose query cannot start selects nothing: no fields, no row, and
// Setup printer does not treat it as a printer.
TEST_F(LabelModuleDialog, AClickWhoseQueryCannotStartSelectsNothing) {
    KvPrinterSim printer(sim::NumberedKvPrinter(0), {}, port);
    Open();
    Search();
    ASSERT_EQ(List()->rowCount(), 1);
    {
        // Another starter holds the guard for longer than a click waits.
        std::lock_guard held(dlg->Session().Exchange().guard);
        ClickRow(List(), 0);
    }
    EXPECT_EQ(Text(*dlg, Dlg::IDC_MAC), "");
    EXPECT_EQ(Text(*dlg, Dlg::IDC_DEVICE_NAME), "");
    EXPECT_EQ(Text(*dlg, Dlg::IDC_IP), "");
    EXPECT_EQ(dlg->SelectedRow(), -1);
    Click(*dlg, Dlg::IDC_OK);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"You must select one printer or click cancel to exit."});
    EXPECT_TRUE(page.records.empty());
}

TEST_F(LabelModuleDialog, AConfirmationWithoutACompleteAnswerGivesUpAndWritesNothing) {
    sim::KvPrinterConfig config = sim::NumberedKvPrinter(0);
    config.dhcp = true;
    KvPrinterOptions options;
    options.dhcpDelay = std::chrono::hours(1);
    KvPrinterSim printer(config, options, port);
    KvTiming timing = Quick();
    timing.confirmLimit = 1s;
    Open(timing);
    Search();
    ClickRow(List(), 0);
    ASSERT_TRUE(WaitUntil([&] { return !dlg->Session().Exchange().busy; }));
    AnswerConfigDialog(answer, [](Kv& d) { return Enter(d, {1, "", "", "", "9101", "30"}); });
    Click(*dlg, Dlg::IDC_SETUP);
    ASSERT_TRUE(answer.closed);
    EXPECT_EQ(answer.dhcpShown, "Enable");
    ASSERT_TRUE(messages.WaitForCount(1, 30s));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Communication is time out!"});
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_EQ(printer.SetsApplied(), 1);
    EXPECT_EQ(Text(*dlg, Dlg::IDC_IP), "----");
    EXPECT_EQ(Text(*dlg, Dlg::IDC_MONITOR_PORT), "0");
    EXPECT_EQ(Text(*dlg, Dlg::IDC_SETUP), "Setup printer");
}

TEST_F(LabelModuleDialog, OneRowPerPrinterSortedBySerialNumberAndReopeningStartsEmpty) {
    KvPrinterOptions twice;
    twice.answerTwice = true;
    twice.replyDelay = 300ms; // answers after the other one
    KvPrinterSim first(sim::NumberedKvPrinter(0), twice, port);
    KvPrinterSim second(sim::NumberedKvPrinter(1), {}, port);
    Open();
    Search();
    EXPECT_EQ(Column(List(), Dlg::COL_SERIAL), (std::vector<std::string>{"TVL610000001", "TVL710000002"}));
    EXPECT_EQ(Column(List(), Dlg::COL_NAME), (std::vector<std::string>{"LB-610", "LB-710"}));

    // A search while a query runs forgets the clicked printer all the same.
    KvPrinterOptions silent;
    silent.silent = true;
    second.SetOptions(silent);
    ClickRow(List(), 1);
    EXPECT_EQ(Text(*dlg, Dlg::IDC_SERIAL), "TVL710000002");
    EXPECT_EQ(dlg->Session().SelectedMac(), "00A0D1000002");
    ClickRow(List(), 0); // while the query runs
    EXPECT_EQ(dlg->Session().SelectedMac(), "00A0D1000002");
    Click(*dlg, Dlg::IDC_SEARCH);
    EXPECT_EQ(dlg->Session().SelectedMac(), "");
    EXPECT_EQ(Text(*dlg, Dlg::IDC_SERIAL), "");
    EXPECT_EQ(dlg->SelectedRow(), -1);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Network printer is seaching. Please try again later.",
                                                          "Current condition is busy. Please try again."}));
    for (const RecordedMessage& m : messages.Messages())
        EXPECT_EQ(m.icon, MessageIcon::Stop);

    dlg->reject();
    EXPECT_EQ(dlg->Session().ReceiveSocket(), -1);
    dlg->OnInitDialog();
    dlg->show();
    EXPECT_EQ(List()->rowCount(), 0);
    {
        std::lock_guard lock(dlg->Session().Exchange().tables.mutex);
        EXPECT_EQ(dlg->Session().Exchange().tables.foundPrinters.count, 0u);
    }
    EXPECT_EQ(Text(*dlg, Dlg::IDC_IP), "127.0.0.1");
    EXPECT_EQ(Text(*dlg, Dlg::IDC_MONITOR_PORT), "9100");
}

TEST_F(LabelModuleDialog, ClosingWhileASearchRunsStopsItAndClosesTheSockets) {
    KvPrinterSim printer(sim::NumberedKvPrinter(0), {}, port);
    Open();
    Click(*dlg, Dlg::IDC_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return List()->rowCount() == 1; }));
    EXPECT_EQ(dlg->WorkersRunning(), 1); // the search goes on until its time-out
    dlg->reject();
    EXPECT_EQ(dlg->WorkersRunning(), 0);
    EXPECT_EQ(dlg->Session().ReceiveSocket(), -1);
    EXPECT_FALSE(dlg->Session().Exchange().busy);
    EXPECT_TRUE(page.records.empty());
}

class UsbConfiguration : public LabelModuleDialog {
protected:
    TempDir dir;
    sim::LabelPrinterSim printer;
};

TEST_F(UsbConfiguration, WithoutASelectedPrinterSetupConfiguresTheUsbPrinterAndOkHandsBackItsAddress) {
    sim::FakeUsbTree usb(dir / "usb");
    usb.AddPrinter(printer, "3a7e", "5e10");
    ScopedEnv sys("PEMBERLUX_SYSFS_ROOT", usb.SysfsRoot().c_str());
    ScopedEnv dev("PEMBERLUX_DEV_ROOT", usb.DevRoot().c_str());
    SelectUsbIds(ModelById(ModelId::LB610));
    Open(); // the page has the network interface selected

    Click(*dlg, Dlg::IDC_OK);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"You must select one printer or click cancel to exit."});
    bool usbShown = false;
    WhenModalShown([&](QWidget* w) {
        auto* d = qobject_cast<CEdtCfgDlgUSB*>(w);
        if (!d) return;
        usbShown = true;
        SetText(*d, CEdtCfgDlgUSB::IDC_IP, "192.168.1.20");
        SetText(*d, CEdtCfgDlgUSB::IDC_GATEWAY, "192.168.1.1");
        Click(*d, CEdtCfgDlgUSB::IDC_OK);
    });
    Click(*dlg, Dlg::IDC_SETUP);
    ASSERT_TRUE(usbShown);
    ASSERT_TRUE(Idle());
    ASSERT_TRUE(printer.WaitForBytes(22, 5s));
    EXPECT_EQ(printer.Received(), (Bytes{0x1B, 0x0D, 0x53, 0x1B, 0x3B, 0x01, 0xC0, 0xA8, 0x01, 0x14, 0xC0,
                                         0xA8, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x1B, 0x10, 0x45}));
    EXPECT_EQ(Text(*dlg, Dlg::IDC_IP), "192.168.1.20");
    EXPECT_TRUE(dlg->ConfiguredOverUsb());
    Click(*dlg, Dlg::IDC_OK);
    ASSERT_EQ(page.records.size(), 1u);
    EXPECT_EQ(page.records[0].ipAddress, "192.168.1.20");
    EXPECT_EQ(page.records[0].tcpPort, 9100);
    EXPECT_EQ(page.records[0].portKind, PORT_LAN);
}

TEST_F(UsbConfiguration, AFailedUsbWriteShows159AndOkStillNeedsAPrinter) {
    ScopedEnv sys("PEMBERLUX_SYSFS_ROOT", (dir / "no-sys").c_str());
    Open();
    for (int id : {Dlg::IDC_SEARCH, Dlg::IDC_SETUP, Dlg::IDC_OK, Dlg::IDC_CANCEL})
        EXPECT_EQ(dlg->Control(id)->cursor().shape(), Qt::PointingHandCursor) << id;
    EXPECT_NE(dlg->Control(Dlg::IDC_IP)->cursor().shape(), Qt::PointingHandCursor);
    WhenModalShown([&](QWidget* w) {
        if (auto* d = qobject_cast<CEdtCfgDlgUSB*>(w)) Click(*d, CEdtCfgDlgUSB::IDC_OK);
    });
    Click(*dlg, Dlg::IDC_SETUP);
    ASSERT_TRUE(messages.WaitForCount(1, 10s));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Unable to send file to port."});
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_FALSE(dlg->ConfiguredOverUsb());
    Click(*dlg, Dlg::IDC_OK);
    EXPECT_EQ(messages.Count(), 2u);
    EXPECT_TRUE(page.records.empty());
}

} // namespace
} // namespace pemberlux::test
