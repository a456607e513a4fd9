// The receipt settings page's jobs: waiting for an answer that never comes or
// comes in pieces or late, Restore All Settings with its wait and the read-back
// on the restored line settings, and the messages of ports that fail.
#include "Pty.h"
#include "ReceiptPageFixture.h"

#include <thread>

namespace pemberlux {
namespace {

using namespace test;

class ReceiptPageWorkers : public ReceiptPageTest {};

// ---- Answers that do not come, or not at once ---------------------------------

TEST_F(ReceiptPageWorkers, SilentPrinterTimesOutAfterThreeSecondsWithTheSettingsUnchanged) {
    for (Transport transport : {Transport::Serial, Transport::Tcp, Transport::Usb}) {
        SCOPED_TRACE(TransportName(transport));
        sim::Faults silent;
        silent.silent = true;
        printer->SetFaults(silent);
        printer->ClearReceived();
        messages.Clear();
        StartOn(transport);
        const PortSettings before = window->MasterSettings();
        const std::string fileBefore = SettingsText();

        const auto clicked = Clock::now();
        Click(IDC_RC_GET_PRINTER_SETTINGS);
        ASSERT_TRUE(WaitUntil([&] { return ButtonsDisabled(); }, 2s));
        ASSERT_TRUE(messages.WaitForCount(1, 10s));
        EXPECT_GE(Clock::now() - clicked, 2900ms);
        EXPECT_EQ(messages.Messages()[0].text, "Communication is time out!");
        EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);

        // The blocked read is given up: worker gone, buttons back, port closed.
        ASSERT_TRUE(WaitIdle(5s));
        EXPECT_EQ(HexText(printer->Received()), "1B 0D 53 1B 33 00 1B 10 45");
        ASSERT_TRUE(WaitUntil([&] { return spy->reports.size() == 1; }, 2s));
        EXPECT_EQ(spy->reports[0].settings, before);
        EXPECT_EQ(SettingsText(), fileBefore);
        EXPECT_EQ(Selections(), (std::vector<int>(6, -1)));
        EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "");
        EXPECT_EQ(messages.Count(), 1u);

        // The page works again once the printer answers.
        printer->SetFaults({});
        ClickAndSettle(IDC_RC_GET_PRINTER_SETTINGS);
        EXPECT_EQ(ListText(RS_PAPER_WIDE), "57mm");
        EXPECT_EQ(messages.Count(), 1u);
        window.reset();
    }
}

TEST_F(ReceiptPageWorkers, ADoubleClickStartsOneJobAndClosingEndsItsWait) {
    sim::Faults silent;
    silent.silent = true;
    printer->SetFaults(silent);
    StartOn(Transport::Tcp);
    Click(IDC_RC_GET_PRINTER_SETTINGS);
    Click(IDC_RC_GET_PRINTER_SETTINGS);
    Click(IDC_RC_RESTORE_ALL_SETTINGS);
    EXPECT_TRUE(ButtonsDisabled());
    EXPECT_EQ(Rp().WorkersRunning(), 1);
    ASSERT_TRUE(WaitUntil([&] { return printer->Received().size() >= 9; }, 5s));
    RunEventsFor(200ms);
    EXPECT_EQ(HexText(printer->Received()), "1B 0D 53 1B 33 00 1B 10 45");
    // Closing does not wait out the reply time-out, and shows nothing.
    spy.reset();
    window.reset();
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(ReceiptPageWorkers, AReplyInPiecesIsTakenWholeAndALateOneShownThenReported) {
    Pty line;
    PortSettings s = Record("TR-510", PORT_COM);
    s.comName = line.Path();
    StartWith(s);
    std::string query;
    std::thread printerSide([&] {
        // Half a reply, a pause shorter than the silence that ends a reply, the rest.
        query = line.Receive(9, 5s);
        line.Send(std::string("\x01\x00\x03\x00\x01\x3A\xFF", 7));
        std::this_thread::sleep_for(150ms);
        line.Send(std::string("\x39\x00\x00\x00\x01\x01\x02", 7));
        // The second query is answered only as its time-out passes.
        query += line.Receive(9, 5s);
        std::this_thread::sleep_for(2800ms);
        line.Send(std::string("\x00\x00\x03\x00\x00\x00\x00\x00\x00", 9));
        std::this_thread::sleep_for(300ms);
        line.Send(std::string("\x00\x00\x00\x00\x00", 5));
    });
    ClickAndSettle(IDC_RC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(Selections(), (std::vector<int>{1, 0, 2, 1, 1, 1}));
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "-34.9");
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_CUTTER), "10.1");
    EXPECT_EQ(messages.Count(), 0u);

    Click(IDC_RC_GET_PRINTER_SETTINGS);
    const bool told = messages.WaitForCount(1, 10s);
    printerSide.join();
    ASSERT_TRUE(told);
    EXPECT_EQ(HexText(Bytes(query.begin(), query.end())), "1B 0D 53 1B 33 00 1B 10 45 1B 0D 53 1B 33 00 1B 10 45");
    EXPECT_EQ(messages.Messages()[0].text, "Communication is time out!");
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(250ms);
    // The late reply was still shown.
    EXPECT_EQ(Selections(), (std::vector<int>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "0.0");
}

// ---- Restore -------------------------------------------------------------------

TEST_F(ReceiptPageWorkers, RestoreSendsTheLanguageAdoptsTheFactoryLineAndReadsBackOnIt) {
    Pty line;
    PortSettings s = Record("TR-520", PORT_COM);
    s.comName = line.Path();
    s.language = "Chinese";
    s.modelName = "TR-530";
    s.baudRate = "57600";
    s.parity = "Odd";
    s.dataBits = "7";
    s.stopBits = "2";
    s.flowControl = "Xon/Xoff";
    StartWith(s);
    Choose(RS_PAPER_TYPE, 1);

    std::string restore, query;
    termios atRestore{}, atQuery{};
    Clock::time_point restoreAt, queryAt;
    std::thread printerSide([&] {
        restore = line.Receive(12, 5s);
        restoreAt = Clock::now();
        atRestore = line.Line();
        query = line.Receive(9, 5s);
        queryAt = Clock::now();
        atQuery = line.Line();
        line.Send(std::string("\x01\xA2\x03\x01\x00\x00\x00\x55\x00\x03\x01\x01\x00\x00", 14));
    });
    Click(IDC_RC_RESTORE_ALL_SETTINGS);
    EXPECT_TRUE(ButtonsDisabled());
    const bool idle = WaitIdle(15s);
    printerSide.join();
    ASSERT_TRUE(idle);
    RunEventsFor(250ms);

    EXPECT_EQ(HexText(Bytes(restore.begin(), restore.end())), "1B 0D 53 1B 16 01 1B 10 45 1D 10 01");
    EXPECT_EQ(HexText(Bytes(query.begin(), query.end())), "1B 0D 53 1B 33 00 1B 10 45");
    EXPECT_GE(queryAt - restoreAt, 900ms);
    // The restore went out on the line as it was, the read-back on the restored one.
    // (A pty keeps no parity enable nor character size: the odd bit and the stop bits tell.)
    EXPECT_EQ(cfgetospeed(&atRestore), B57600);
    EXPECT_TRUE(atRestore.c_iflag & IXON);
    EXPECT_TRUE(atRestore.c_cflag & PARODD);
    EXPECT_TRUE(atRestore.c_cflag & CSTOPB);
    EXPECT_EQ(cfgetospeed(&atQuery), B9600);
    EXPECT_FALSE(atQuery.c_iflag & IXON);
    EXPECT_TRUE(atQuery.c_cflag & CRTSCTS);
    EXPECT_FALSE(atQuery.c_cflag & (PARODD | CSTOPB));

    // First report: the factory line, before the read-back; then the read-back's.
    ASSERT_EQ(spy->reports.size(), 2u);
    const PortSettings& factory = spy->reports[0].settings;
    EXPECT_EQ(factory.baudRate, "9600");
    EXPECT_EQ(factory.dataBits, "8");
    EXPECT_EQ(factory.parity, "None");
    EXPECT_EQ(factory.stopBits, "1");
    EXPECT_EQ(factory.flowControl, "DTR");
    EXPECT_EQ(factory.comName, line.Path());
    EXPECT_LE(spy->reports[0].at, queryAt);
    EXPECT_EQ(spy->reports[1].settings.baudRate, "9600");
    EXPECT_NE(SettingsText().find("FlowControl=DTR\r\n"), std::string::npos);

    // The read-back shows the restored settings; the user's own mark stays.
    EXPECT_EQ(ListText(RS_PRINTER_LANGUAGE), "中文");
    EXPECT_EQ(ListText(RS_PAPER_TYPE), "一联&二联");
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_CUTTER), "15.0");
    EXPECT_TRUE(Rp().ChangedMarks().test(RS_PAPER_TYPE));
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(ReceiptPageWorkers, RestoreAgainstTheSimulatedPrinterInEnglish) {
    UsePrinter(sim::ReceiptModel::TR520);
    printer->SetSetting(sim::ReceiptField::Language, 1);
    printer->SetSetting(sim::ReceiptField::BlackMark, 1);
    printer->SetSerialConfig(0x9B);
    StartOn(Transport::Usb, "TR-520");
    ClickAndSettle(IDC_RC_RESTORE_ALL_SETTINGS);
    EXPECT_EQ(HexText(printer->Received()), "1B 0D 53 1B 16 00 1B 10 45 1D 10 01 1B 0D 53 1B 33 00 1B 10 45");
    EXPECT_EQ(printer->Counters().restores, 1u);
    EXPECT_EQ(printer->Setting(sim::ReceiptField::Language), 0);
    EXPECT_EQ(ListText(RS_PRINTER_LANGUAGE), "English");
    EXPECT_EQ(ListText(RS_BLACK_MARK), "Off");
    EXPECT_EQ(window->MasterSettings().flowControl, "DTR");
    EXPECT_EQ(messages.Count(), 0u);
}

// ---- Failures --------------------------------------------------------------------

TEST_F(ReceiptPageWorkers, WriteAndReadFailuresShowTheirMessages) {
    // A parallel "printer" that takes no bytes: every write fails.
    PortSettings s = Record("TR-510", PORT_LPT);
    s.lptName = "/dev/full";
    StartWith(s);
    for (int button : {IDC_RC_SEND_SETTINGS, IDC_RC_RESTORE_ALL_SETTINGS, IDC_RC_GET_PRINTER_SETTINGS}) {
        Click(button);
        ASSERT_TRUE(WaitIdle());
    }
    RunEventsFor(250ms);
    ASSERT_EQ(messages.Count(), 3u);
    for (const RecordedMessage& m : messages.Messages()) {
        EXPECT_EQ(m.text, "Unable to send file to port.");
        EXPECT_EQ(m.icon, MessageIcon::Warning);
    }
    // A write that failed ends each of them there: the main window hears nothing.
    EXPECT_EQ(spy->reports.size(), 0u);
    window.reset();

    // A printer that hangs up on the query: the read fails.
    messages.Clear();
    sim::Faults drop;
    drop.dropAfter = 1;
    printer->SetFaults(drop);
    StartOn(Transport::Tcp);
    Click(IDC_RC_GET_PRINTER_SETTINGS);
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(3500ms); // no time-out message follows
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Unable to get printer's setting!");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_EQ(Selections(), (std::vector<int>(6, -1)));
    // A failed read still ends with the refresh.
    EXPECT_EQ(spy->reports.size(), 1u);
}

} // namespace
} // namespace pemberlux
