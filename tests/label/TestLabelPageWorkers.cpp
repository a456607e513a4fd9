// The label settings page's workers against the simulated printer: waiting for
// an answer that never comes, the factory reset with its read-back, the text
// queries and actions, and the messages for ports that fail.
#include "LabelPageFixture.h"
#include "Pty.h"

#include <thread>

namespace pemberlux {
namespace {

using namespace test;

class LabelPageWorkers : public LabelPageTest {};

// ---- No answer -----------------------------------------------------------------

TEST_F(LabelPageWorkers, SilentPrinterTimesOutAfterThreeSecondsAndTheButtonsComeBack) {
    for (Transport transport : {Transport::Serial, Transport::Tcp, Transport::Usb}) {
        SCOPED_TRACE(TransportName(transport));
        sim::Faults silent;
        silent.silent = true;
        printer->SetFaults(silent);
        printer->ClearReceived();
        messages.Clear();
        StartOn(transport);
        const PortSettings before = window->MasterSettings();

        const auto clicked = Clock::now();
        Click(IDC_GET_PRINTER_SETTINGS);
        ASSERT_TRUE(WaitUntil([&] { return ButtonsDisabled(); }, 2s));
        ASSERT_TRUE(messages.WaitForCount(1, 10s));
        const auto timedOut = Clock::now();
        EXPECT_GE(timedOut - clicked, 2900ms);
        EXPECT_EQ(messages.Messages()[0].text, "Communication is time out!");
        EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);

        // The blocked read is given up: worker gone, buttons back, port closed.
        ASSERT_TRUE(WaitIdle(5s));
        EXPECT_EQ(printer->Received(), Bytes(LB_FRAME_READ_SETTINGS.begin(), LB_FRAME_READ_SETTINGS.end()));

        // The refresh still reports the (unchanged) settings to the main window.
        ASSERT_TRUE(WaitUntil([&] { return spy->reports.size() == 1; }, 2s));
        EXPECT_EQ(spy->reports[0].settings, before);
        EXPECT_EQ(messages.Count(), 1u);
        for (const LabelControl& info : LABEL_CONTROLS) {
            if (info.IsList()) {
                EXPECT_EQ(List(info.pos)->currentIndex(), -1) << LABEL_SETTINGS[info.pos].key;
            }
        }

        // The page works again once the printer answers.
        printer->SetFaults({});
        ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
        EXPECT_EQ(List(LS_PRINT_METHOD)->currentText().toStdString(), "Direct Thermal");
        EXPECT_EQ(messages.Count(), 1u);
        window.reset();
    }
}

TEST_F(LabelPageWorkers, ADoubleClickStartsOneJobAndClosingEndsItsWait) {
    sim::Faults silent;
    silent.silent = true;
    printer->SetFaults(silent);
    StartOn(Transport::Tcp);
    // Two clicks in quick succession, then another button.
    Click(IDC_GET_PRINTER_SETTINGS);
    Click(IDC_GET_PRINTER_SETTINGS);
    Click(IDC_GET_FW_VERSION);
    EXPECT_TRUE(ButtonsDisabled());
    EXPECT_EQ(Lp().WorkersRunning(), 1);
    ASSERT_TRUE(WaitUntil([&] { return printer->Received().size() >= LB_FRAME_READ_SETTINGS.size(); }, 5s));
    RunEventsFor(200ms);
    EXPECT_EQ(HexText(printer->Received()), "1B 0D 53 1B 33 00 1B 10 45");
    // Closing does not wait out the reply time-out, and shows nothing.
    spy.reset();
    window.reset();
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(LabelPageWorkers, TimeOutMessageInChinese) {
    sim::Faults silent;
    silent.silent = true;
    printer->SetFaults(silent);
    StartOn(Transport::Tcp, "Label Printer(200DPI)", "Chinese");
    Click(IDC_GET_SERIAL_NUMBER);
    ASSERT_TRUE(messages.WaitForCount(1, 10s));
    EXPECT_EQ(messages.Messages()[0].text, "连接打印机超时.");
    ASSERT_TRUE(WaitIdle(2s));
    EXPECT_EQ(Lp().ControlText(IDC_SERIAL_NUMBER), "");
}

TEST_F(LabelPageWorkers, AnAnswerThatArrivesAfterARefreshIsStillShown) {
    // The refresh after a calibration fires while the serial-number query
    // clicked right after it still waits for its answer.
    StartOn(Transport::Tcp);
    sim::Faults late;
    late.answerDelay = 400ms;
    printer->SetFaults(late);
    Click(IDC_CALIBRATE_LABEL);
    ASSERT_TRUE(WaitIdle());
    Click(IDC_GET_SERIAL_NUMBER);
    ASSERT_TRUE(WaitUntil([&] { return spy->reports.size() == 1; }, 5s)); // the calibration's refresh
    ASSERT_TRUE(WaitUntil([&] { return Lp().ControlText(IDC_SERIAL_NUMBER) == "LB610-24070315"; }, 5s));
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(3500ms); // no time-out follows
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(printer->Counters().calibrations, 1u);
}

TEST_F(LabelPageWorkers, ASerialReplyThatCrossesTheTimeOutIsShownAndTheUserToldItWasLate) {
    Pty line;
    PortSettings s = Record("LB-610", PORT_COM);
    s.comName = line.Path();
    StartWith(s);
    std::string query;
    std::thread printerSide([&] {
        query = line.Receive(9, 5s);
        std::this_thread::sleep_for(2600ms);
        line.Send("LB610-");
        std::this_thread::sleep_for(700ms); // less than the line's silence: the same reply
        line.Send(std::string("24070315\0", 9));
    });
    Click(IDC_GET_SERIAL_NUMBER);
    const bool told = messages.WaitForCount(1, 10s);
    printerSide.join();
    ASSERT_TRUE(told);
    EXPECT_EQ(query, std::string("\x1B\x0D\x53\x1B\x19\x01\x1B\x10\x45", 9));
    EXPECT_EQ(Lp().ControlText(IDC_SERIAL_NUMBER), "LB610-24070315");
    EXPECT_EQ(messages.Messages()[0].text, "Communication is time out!");
    ASSERT_TRUE(WaitIdle());
}

// ---- Reset -----------------------------------------------------------------------

TEST_F(LabelPageWorkers, ResetSendsTheResetFrameAdoptsTheFactoryLineAndReadsBack) {
    printer->SetSetting(LS_PEELER, 1);
    printer->SetSetting(LS_PRINT_SPEED, 1);
    printer->SetSerialConfig(0x16); // 57600 odd
    PortSettings s = Record("LB-610", PORT_COM);
    pty = std::make_unique<sim::PtyPort>(*printer);
    s.comName = pty->Path();
    s.baudRate = "57600";
    s.parity = "Odd";
    s.flowControl = "Xon/Xoff";
    StartWith(s);
    Choose(LS_PEELER, 0);
    ASSERT_TRUE(Lp().ChangedMarks().any());

    const Bytes reset(LB_FRAME_RESTORE_FACTORY.begin(), LB_FRAME_RESTORE_FACTORY.end());
    const Bytes read(LB_FRAME_READ_SETTINGS.begin(), LB_FRAME_READ_SETTINGS.end());
    Click(IDC_RESET_ALL_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return printer->Received().size() >= reset.size(); }));
    const auto resetAt = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return printer->Received().size() >= reset.size() + read.size(); }));
    const auto readBackAt = Clock::now();
    EXPECT_TRUE(ButtonsDisabled());
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(250ms);

    Bytes both = reset;
    both.insert(both.end(), read.begin(), read.end());
    EXPECT_EQ(HexText(printer->Received()), HexText(both));
    EXPECT_EQ(printer->Counters().factoryResets, 1u);

    // First report: the factory line, as soon as the printer took the frame
    // (its marks still there: they go half a second later), a second before
    // the read-back.
    ASSERT_EQ(spy->reports.size(), 2u);
    const PortSettings& factory = spy->reports[0].settings;
    EXPECT_EQ(factory.baudRate, "9600");
    EXPECT_EQ(factory.dataBits, "8");
    EXPECT_EQ(factory.parity, "None");
    EXPECT_EQ(factory.stopBits, "1");
    EXPECT_EQ(factory.flowControl, "DTR");
    EXPECT_EQ(factory.comName, pty->Path());
    EXPECT_GE(spy->reports[0].at, resetAt - 100ms);
    EXPECT_GE(readBackAt - spy->reports[0].at, 900ms);
    EXPECT_TRUE(spy->reports[0].pageHadMarks);
    // Second: the read-back's refresh.
    EXPECT_FALSE(spy->reports[1].pageHadMarks);
    EXPECT_EQ(spy->reports[1].settings.baudRate, "9600");
    EXPECT_NE(SettingsText().find("FlowControl=DTR\r\n"), std::string::npos);

    // The read-back shows the factory settings.
    EXPECT_EQ(List(LS_PEELER)->currentText().toStdString(), "Off");
    EXPECT_EQ(List(LS_PRINT_SPEED)->currentText().toStdString(), "3");
    EXPECT_EQ(EditText(LS_BLACK_MARK_AD_VALUE), "200");
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(HexText(SendAndReceive()), "1B 0D 53 1B 10 45");
}

// ---- Text queries and actions ------------------------------------------------------

TEST_F(LabelPageWorkers, TextQueriesFillTheirFieldsAndActionsReachThePrinter) {
    StartOn(Transport::Usb);
    ClickAndSettle(IDC_GET_SERIAL_NUMBER);
    EXPECT_EQ(Lp().ControlText(IDC_SERIAL_NUMBER), "LB610-24070315");
    ClickAndSettle(IDC_GET_FW_VERSION);
    EXPECT_EQ(Lp().ControlText(IDC_FIRMWARE_VERSION), "LB-610 V1.16 2024-06-18");
    ClickAndSettle(IDC_PRINT_SELF_TEST);
    ClickAndSettle(IDC_CALIBRATE_LABEL);
    ClickAndSettle(IDC_PRINT_STATISTICS);
    EXPECT_EQ(Lp().ControlText(IDC_PRINT_HEAD_MILEAGE), "1250.56 m");

    const sim::LabelCounters counters = printer->Counters();
    EXPECT_EQ(counters.selfTests, 1u);
    EXPECT_EQ(counters.calibrations, 1u);
    Bytes expected;
    for (const auto& frame : {LB_FRAME_READ_SERIAL_NUMBER, LB_FRAME_READ_FIRMWARE_VERSION})
        expected.insert(expected.end(), frame.begin(), frame.end());
    expected.insert(expected.end(), LB_FRAME_SELF_TEST.begin(), LB_FRAME_SELF_TEST.end());
    expected.insert(expected.end(), LB_FRAME_CALIBRATE.begin(), LB_FRAME_CALIBRATE.end());
    expected.insert(expected.end(), LB_FRAME_PRINT_STATISTICS.begin(), LB_FRAME_PRINT_STATISTICS.end());
    EXPECT_EQ(HexText(printer->Received()), HexText(expected));

    // Each text query and the calibration report to the main window with their
    // refresh; the self-test does not.
    EXPECT_EQ(spy->reports.size(), 4u);
    EXPECT_EQ(messages.Count(), 0u);
}

// ---- Failures --------------------------------------------------------------------

TEST_F(LabelPageWorkers, WriteAndReadFailuresShowTheirMessages) {
    // A parallel "printer" that takes no bytes: every write fails.
    PortSettings s = Record("LB-610", PORT_LPT);
    s.lptName = "/dev/full";
    StartWith(s);
    Choose(LS_PEELER, 1);
    Click(IDC_SEND_SETTINGS);
    ASSERT_TRUE(WaitIdle());
    Click(IDC_CALIBRATE_LABEL);
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(250ms);
    ASSERT_EQ(messages.Count(), 2u);
    for (const RecordedMessage& m : messages.Messages()) {
        EXPECT_EQ(m.text, "Unable to send file to port.");
        EXPECT_EQ(m.icon, MessageIcon::Warning);
    }
    // A failed send still reports to the main window, and so does the calibration's refresh.
    EXPECT_EQ(spy->reports.size(), 2u);
    window.reset();

    // A printer that hangs up on the query: the read fails.
    messages.Clear();
    sim::Faults drop;
    drop.dropAfter = 1;
    printer->SetFaults(drop);
    StartOn(Transport::Tcp);
    Click(IDC_GET_FW_VERSION);
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(3500ms); // no time-out message follows
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Unable to get printer's setting!");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_EQ(Lp().ControlText(IDC_FIRMWARE_VERSION), "");
}

} // namespace
} // namespace pemberlux
