// The command test page in the program's window against the simulated printer:
// typed text and hexadecimal bytes once and in a loop, files with their
// progress, the Stop buttons, and the messages of every way a send fails.
#include "../shell/ShellFixture.h"
#include "Pty.h"
#include "SimPrinter.h"
#include "Transports.h"
#include "ui/command/CommandTest.h"
#include "ui/toolkit/FileDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace pemberlux {
namespace {

using namespace test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How many clients the printer has accepted: a send that opens nothing leaves it.
std::size_t Connections(const sim::SimPrinter& printer) {
    const std::string json = printer.StateJson();
    const auto at = json.find("\"connections\":");
    return at == std::string::npos ? 0 : std::stoul(json.substr(at + 14));
}

Bytes Pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(i * 13 + 1);
    return b;
}

class CommandPage : public ShellTest {
protected:
    // The program on a TR-520 at the simulated printer over TCP, "Command Test" shown.
    CCommandTest& StartOnTcp(const std::string& language = "English") {
        tcp = std::make_unique<sim::TcpServer>(printer);
        PortSettings s = Record("TR-520", PORT_LAN);
        s.tcpPort = tcp->Port();
        s.language = language;
        if (language == "Chinese") chinese.emplace("LANG", "zh_CN.UTF-8");
        WriteSettings(s);
        Start();
        ChooseMenu(CPemberluxDlg::MENU_COMMAND_TEST);
        return Ct();
    }

    CCommandTest& Ct() const { return *window->CommandTestPage(); }
    void Click(int id) const { QTest::mouseClick(Ct().Control(id), Qt::LeftButton); }
    void Type(const QString& text) const {
        Ct().ControlAs<QPlainTextEdit>(CCommandTest::IDC_INPUT)->setPlainText(text);
    }
    void SetBox(int id, bool on) const {
        auto* box = Ct().ControlAs<QCheckBox>(id);
        if (box->isChecked() != on) box->click();
    }
    void SetInterval(int id, const char* ms) const { Ct().ControlAs<QLineEdit>(id)->setText(ms); }
    QProgressBar* Bar() const { return Ct().ControlAs<QProgressBar>(CCommandTest::IDC_PROGRESS); }
    std::string Caption() const { return Ct().ControlText(CCommandTest::IDC_SEND_FILE); }

    bool SendGroupEnabled() const {
        for (int id : CCommandTest::SEND_GROUP)
            if (!Ct().Control(id)->isEnabled()) return false;
        return true;
    }
    bool SendGroupDisabled() const {
        for (int id : CCommandTest::SEND_GROUP)
            if (Ct().Control(id)->isEnabled()) return false;
        return true;
    }
    bool WaitIdle(std::chrono::milliseconds timeout = 10s) const {
        return WaitUntil([&] { return Ct().WorkersRunning() == 0 && SendGroupEnabled(); }, timeout);
    }
    // Sends the input box and waits for the job's end.
    void SendData() {
        Click(CCommandTest::IDC_SEND_DATA);
        ASSERT_TRUE(WaitIdle());
    }
    // A file chosen through Browse.
    void Choose(const std::filesystem::path& path) {
        files.SetNextFileName(path.string());
        Click(CCommandTest::IDC_BROWSE);
    }

    sim::SimPrinter printer;
    std::unique_ptr<sim::TcpServer> tcp;
    std::optional<ScopedEnv> chinese;
    FileDialogRecorder files;
};

// ---- Data ------------------------------------------------------------------------

TEST_F(CommandPage, EmptyInputWarnsAndOpensNothing) {
    StartOnTcp();
    SetBox(CCommandTest::IDC_DATA_LOOP, true);
    Click(CCommandTest::IDC_SEND_DATA);
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "The input content can not empty!");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(WaitIdle());
    RunEventsFor(200ms);
    EXPECT_EQ(Connections(printer), 0u);
    EXPECT_TRUE(printer.Received().empty());
}

TEST_F(CommandPage, TheInputGoesOutAsTextOrAsHexadecimalBytes) {
    struct Case {
        const char16_t* text;
        bool hex;
        Bytes bytes;
    };
    const Case cases[] = {
        {u"ABC", false, {0x41, 0x42, 0x43}},
        {u"1B 40 1D 56 00", true, {0x1B, 0x40, 0x1D, 0x56, 0x00}},
        {u"1b\n40", true, {0x1B, 0x40}},
        {u"1B4", true, {0x1B}},
        {u"\u4E2D\u6587\u6253\u5370", false, {0xD6, 0xD0, 0xCE, 0xC4, 0xB4, 0xF2, 0xD3, 0xA1, 0x0A}},
        {u"A\u4E2D", false, {0x41, 0xD6, 0xD0}}, // beyond FF: the text in GBK
        {u"    ", true, {}},
    };
    StartOnTcp();
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        printer.ClearReceived();
        const std::size_t connections = Connections(printer);
        Type(text);
        SetBox(CCommandTest::IDC_HEX_SEND, c.hex);
        SendData();
        // Opened, written, closed: also when there was nothing to write.
        ASSERT_TRUE(WaitUntil([&] { return Connections(printer) == connections + 1; }, 5s));
        ASSERT_TRUE(printer.WaitForBytes(c.bytes.size(), 5s));
        RunEventsFor(100ms);
        EXPECT_EQ(printer.Received(), c.bytes);
    }
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(CommandPage, TextThatIsNotHexadecimalIsRefusedAndNothingIsSent) {
    StartOnTcp();
    for (const char* text : {"1B,40", "1B 40 0AZ"}) {
        SCOPED_TRACE(text);
        messages.Clear();
        Type(text);
        SetBox(CCommandTest::IDC_HEX_SEND, true);
        Click(CCommandTest::IDC_SEND_DATA);
        ASSERT_EQ(messages.Count(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, "Data entered is not hexadecimal data!");
        EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
        EXPECT_TRUE(WaitIdle());
        RunEventsFor(200ms);
        EXPECT_EQ(Connections(printer), 0u);
    }
}

TEST_F(CommandPage, ASingleSendStillWaitsItsIntervalBeforeTheButtonsComeBack) {
    StartOnTcp();
    Type("ABC");
    SetInterval(CCommandTest::IDC_DATA_INTERVAL, "2500"); // the box unchecked: its edit is off, its text counts
    const auto clicked = Clock::now();
    Click(CCommandTest::IDC_SEND_DATA);
    ASSERT_TRUE(printer.WaitForBytes(3, 5s));
    RunEventsFor(50ms);
    EXPECT_TRUE(SendGroupDisabled());
    EXPECT_TRUE(Ct().Control(CCommandTest::IDC_STOP_SENDING)->isEnabled());
    EXPECT_TRUE(Ct().Control(CCommandTest::IDC_STOP_FILE)->isEnabled());
    ASSERT_TRUE(WaitIdle());
    EXPECT_GE(Clock::now() - clicked, 2500ms);
    EXPECT_EQ(printer.Received(), (Bytes{0x41, 0x42, 0x43}));
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(CommandPage, ALoopRepeatsUntilStopSendingAndTheNextSendFollowsTheBox) {
    StartOnTcp();
    Type("AB");
    SetBox(CCommandTest::IDC_DATA_LOOP, true);
    SetInterval(CCommandTest::IDC_DATA_INTERVAL, "20");
    Click(CCommandTest::IDC_SEND_DATA);
    ASSERT_TRUE(printer.WaitForBytes(8, 10s));
    EXPECT_TRUE(SendGroupDisabled());
    Click(CCommandTest::IDC_STOP_SENDING);
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(200ms);
    const Bytes copies = printer.Received();
    ASSERT_EQ(copies.size() % 2, 0u);
    for (std::size_t i = 0; i < copies.size(); ++i)
        EXPECT_EQ(copies[i], i % 2 ? 0x42 : 0x41);
    RunEventsFor(200ms);
    EXPECT_EQ(printer.Received().size(), copies.size()) << "the loop goes on";

    // Unchecked, the next send goes out once; Stop while idle changes nothing.
    printer.ClearReceived();
    SetBox(CCommandTest::IDC_DATA_LOOP, false);
    Click(CCommandTest::IDC_STOP_SENDING);
    Type("C");
    SendData();
    ASSERT_TRUE(printer.WaitForBytes(1, 5s));
    RunEventsFor(200ms);
    EXPECT_EQ(printer.Received(), Bytes{0x43});

    // And a loop after a Stop while idle loops.
    Click(CCommandTest::IDC_STOP_SENDING);
    SetBox(CCommandTest::IDC_DATA_LOOP, true);
    Click(CCommandTest::IDC_SEND_DATA);
    ASSERT_TRUE(printer.WaitForBytes(4, 10s));
    Click(CCommandTest::IDC_STOP_SENDING);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(CommandPage, TheLoopBoxesSwitchTheirIntervalsAndClearBoxEmptiesTheInput) {
    StartOnTcp();
    for (auto [box, edit] : {std::pair{CCommandTest::IDC_DATA_LOOP, CCommandTest::IDC_DATA_INTERVAL},
                             std::pair{CCommandTest::IDC_FILE_LOOP, CCommandTest::IDC_FILE_INTERVAL}}) {
        EXPECT_FALSE(Ct().Control(edit)->isEnabled());
        SetBox(box, true);
        EXPECT_TRUE(Ct().Control(edit)->isEnabled());
        SetBox(box, false);
        EXPECT_FALSE(Ct().Control(edit)->isEnabled());
    }
    Type("1B 40");
    Click(CCommandTest::IDC_CLEAR_BOX);
    EXPECT_TRUE(Ct().ControlAs<QPlainTextEdit>(CCommandTest::IDC_INPUT)->toPlainText().isEmpty());
    // The tips of the page.
    const std::pair<int, int> tips[] = {{CCommandTest::IDC_INPUT, 148},     {CCommandTest::IDC_HEX_SEND, 149},
                                        {CCommandTest::IDC_DATA_LOOP, 150}, {CCommandTest::IDC_SEND_DATA, 151},
                                        {CCommandTest::IDC_CLEAR_BOX, 152}, {CCommandTest::IDC_FILE_PATH, 153},
                                        {CCommandTest::IDC_BROWSE, 154},    {CCommandTest::IDC_SEND_FILE, 155}};
    for (auto [id, string] : tips)
        EXPECT_EQ(Ct().Control(id)->toolTip().toStdString(), LoadUiString(string)) << id;
}

TEST_F(CommandPage, OpenFailuresShowTheirMessagesWithThePagesIcons) {
    struct Case {
        PortKind kind;
        int sendButton;
        std::string text;
        MessageIcon icon;
    };
    const std::string lan = "Lan connect fail. Please ensure the wire is connecting and the IP is valid.";
    // A device node that is not there: the line after the message says so.
    const std::string tty = (dir / "no-such-tty").string();
    const std::string absent = "The interface is used by other program or non-existent!\n" + tty +
                               ": no such device. Check that the printer is connected and switched on.";
    const Case cases[] = {
        {PORT_LAN, CCommandTest::IDC_SEND_DATA, lan, MessageIcon::Stop},
        {PORT_LAN, CCommandTest::IDC_SEND_FILE, lan, MessageIcon::Stop},
        {PORT_USB, CCommandTest::IDC_SEND_DATA, "Haven't detected any printer on line.", MessageIcon::Warning},
        {PORT_USB, CCommandTest::IDC_SEND_FILE, "Haven't detected any printer on line.", MessageIcon::Stop},
        {PORT_COM, CCommandTest::IDC_SEND_DATA, absent, MessageIcon::Stop},
        {PORT_COM, CCommandTest::IDC_SEND_FILE, absent, MessageIcon::Stop},
    };
    StartOnTcp();
    dir.Write("data.txt", "ABC");
    Choose(dir / "data.txt");
    Type("ABC");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sendButton);
        messages.Clear();
        PortSettings s = Ct().Settings();
        s.portKind = c.kind;
        s.tcpPort = 1; // nothing listens there
        s.comName = tty;
        Ct().SetSettings(s);
        Click(c.sendButton);
        ASSERT_TRUE(messages.WaitForCount(1, 10s));
        EXPECT_EQ(messages.Messages()[0].text, c.text);
        EXPECT_EQ(messages.Messages()[0].icon, c.icon);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Caption(), "Send File");
        EXPECT_FALSE(Bar()->isVisible());
    }
}

// ---- Files -----------------------------------------------------------------------

TEST_F(CommandPage, WithoutAFileChosenSendFileAsksForOne) {
    StartOnTcp();
    Click(CCommandTest::IDC_SEND_FILE);
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Select a file please.");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);

    // A cancelled dialog forgets the choice, though the path stays shown.
    dir.Write("data.txt", "ABC");
    Choose(dir / "data.txt");
    EXPECT_EQ(Ct().ControlText(CCommandTest::IDC_FILE_PATH), (dir / "data.txt").string());
    files.SetNextCancel();
    Click(CCommandTest::IDC_BROWSE);
    EXPECT_EQ(Ct().ControlText(CCommandTest::IDC_FILE_PATH), (dir / "data.txt").string());
    Click(CCommandTest::IDC_SEND_FILE);
    ASSERT_EQ(messages.Count(), 2u);
    EXPECT_EQ(messages.Messages()[1].text, "Select a file please.");
    EXPECT_EQ(files.Filters(), std::vector<std::string>(2, LoadUiString(158)));
    RunEventsFor(200ms);
    EXPECT_EQ(Connections(printer), 0u);
}

TEST_F(CommandPage, AFileGoesOutWholeWithItsProgressAndTheSuccessMessage) {
    StartOnTcp();
    const Bytes file = Pattern(1005);
    dir.Write("data.hex", std::string(file.begin(), file.end()));
    Choose(dir / "data.hex");
    std::vector<int> positions;
    QObject::connect(Bar(), &QProgressBar::valueChanged, [&](int v) { positions.push_back(v); });
    Click(CCommandTest::IDC_SEND_FILE);
    EXPECT_TRUE(Bar()->isVisible());
    EXPECT_EQ(Bar()->maximum(), 1005);
    ASSERT_TRUE(messages.WaitForCount(1, 10s));
    EXPECT_EQ(messages.Messages()[0].text, "File sent successfully.");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Information);
    EXPECT_FALSE(messages.Messages()[0].fromGuiThread);
    ASSERT_TRUE(WaitIdle());
    // From the start, a hundred blocks of ten and one of five.
    std::vector<int> expected = {0};
    for (int p = 10; p <= 1000; p += 10)
        expected.push_back(p);
    expected.push_back(1005);
    EXPECT_EQ(positions, expected);
    EXPECT_EQ(Caption(), "Send File");
    EXPECT_FALSE(Bar()->isVisible());
    ASSERT_TRUE(printer.WaitForBytes(1005, 5s));
    EXPECT_EQ(printer.Received(), file);
}

TEST_F(CommandPage, AFileLoopCountsPastAHundredPercentAndStopEndsItWithoutTheMessage) {
    StartOnTcp();
    dir.Write("data.txt", std::string(50, 'A'));
    Choose(dir / "data.txt");
    SetBox(CCommandTest::IDC_FILE_LOOP, true);
    Click(CCommandTest::IDC_SEND_FILE);
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::string c = Caption();
            return !c.empty() && c.back() == '%' && std::stoul(c) >= 300;
        },
        10s));
    EXPECT_TRUE(SendGroupDisabled());
    Click(CCommandTest::IDC_STOP_FILE);
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(200ms);
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(Caption(), "Send File");
    EXPECT_FALSE(Bar()->isVisible());
    EXPECT_GE(printer.Received().size(), 150u);
}

TEST_F(CommandPage, StopEndsASingleFileSendAtOnceWithoutTheMessage) {
    // A printer that reads nothing: the send blocks once its line is full.
    Pty deaf;
    StartOnTcp();
    PortSettings s = Ct().Settings();
    s.portKind = PORT_COM;
    s.comName = deaf.Path();
    Ct().SetSettings(s);
    const Bytes file = Pattern(4 << 20);
    dir.Write("big.bin", std::string(file.begin(), file.end()));
    Choose(dir / "big.bin");
    Click(CCommandTest::IDC_SEND_FILE);
    RunEventsFor(500ms);
    ASSERT_EQ(Ct().WorkersRunning(), 1);
    Click(CCommandTest::IDC_STOP_FILE);
    ASSERT_TRUE(WaitIdle(5s));
    RunEventsFor(200ms);
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(Caption(), "Send File");
    EXPECT_FALSE(Bar()->isVisible());
}

TEST_F(CommandPage, FilesThatCannotBeSentAreRefusedBeforeAnythingStarts) {
    StartOnTcp();
    dir.Write("empty.txt", "");
    dir.Write("gone.txt", "ABC");
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"empty.txt", "The file is empty: there is nothing to send."},
        {"folder", "The file cannot be opened or read."},
        {"gone.txt", "The file cannot be opened or read."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.Clear();
        Choose(dir / c.name);
        if (std::string(c.name) == "gone.txt") std::filesystem::remove(dir / c.name);
        Click(CCommandTest::IDC_SEND_FILE);
        ASSERT_EQ(messages.Count(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, c.text);
        EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
        EXPECT_EQ(Ct().WorkersRunning(), 0);
        EXPECT_TRUE(SendGroupEnabled());
        EXPECT_FALSE(Bar()->isVisible());
    }
    RunEventsFor(200ms);
    EXPECT_EQ(Connections(printer), 0u);
}

TEST_F(CommandPage, TheMessagesSpeakTheWindowsLanguage) {
    StartOnTcp("Chinese");
    Click(CCommandTest::IDC_SEND_DATA);
    dir.Write("empty.txt", "");
    Choose(dir / "empty.txt");
    Click(CCommandTest::IDC_SEND_FILE);
    PortSettings s = Ct().Settings();
    s.tcpPort = 1;
    Ct().SetSettings(s);
    Type("ABC");
    Click(CCommandTest::IDC_SEND_DATA);
    ASSERT_TRUE(messages.WaitForCount(3, 10s));
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"输入内容不能为空！", "文件为空，没有可发送的数据！",
                                                          LoadUiString(206, LANG_CHINESE)}));
    ASSERT_TRUE(WaitIdle());
}

TEST_F(CommandPage, ClosingTheWindowEndsARunningLoop) {
    StartOnTcp();
    Type("AB");
    SetBox(CCommandTest::IDC_DATA_LOOP, true);
    SetInterval(CCommandTest::IDC_DATA_INTERVAL, "5");
    Click(CCommandTest::IDC_SEND_DATA);
    ASSERT_TRUE(printer.WaitForBytes(4, 10s));
    window->close();
    window.reset();
    // Nothing more comes once what was under way has arrived.
    std::size_t before = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::size_t now = printer.Received().size();
            const bool settled = now == before;
            before = now;
            std::this_thread::sleep_for(100ms);
            return settled;
        },
        10s));
}

} // namespace
} // namespace pemberlux
