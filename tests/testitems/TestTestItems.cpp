// The test items page in the program's window against the simulated printer:
// the bytes of every button, the character tests, the repeating ASCII test and
// what ends it, the test file, and the buttons of a printer without a cutter.
#include "../shell/ShellFixture.h"
#include "SimPrinter.h"
#include "Transports.h"
#include "core/testitems/TestCommands.h"
#include "ui/testitems/TestItemDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace pemberlux {
namespace {

using namespace test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

std::size_t Connections(const sim::SimPrinter& printer) {
    const std::string json = printer.StateJson();
    const auto at = json.find("\"connections\":");
    return at == std::string::npos ? 0 : std::stoul(json.substr(at + 14));
}

// Text as its ASCII bytes.
Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The buttons a running test holds, and the cutter's, named here one by one.
using D = CTestItemDialog;
constexpr int kTestButtons[] = {
    D::IDC_CHINESE_START,   D::IDC_ASCII_START, D::IDC_BLACK_MARK_ENABLE, D::IDC_BLACK_MARK_DISABLE, D::IDC_CARRIAGE,
    D::IDC_BLACK_MARK_TEST, D::IDC_FEED,        D::IDC_HEAD_PIN,          D::IDC_BLACK_PRN,          D::IDC_TEST_PRN,
    D::IDC_DRAWER1,         D::IDC_DRAWER2,     D::IDC_BAUD_OK,
};
constexpr int kCutterButtons[] = {D::IDC_CUT_ENABLE, D::IDC_CUT_DISABLE, D::IDC_FULL_CUT, D::IDC_PARTIAL_CUT};

class TestItems : public ShellTest {
protected:
    CTestItemDialog& StartOnTcp(const std::string& model = "TR-520", const std::string& language = "English") {
        tcp = std::make_unique<sim::TcpServer>(printer);
        PortSettings s = Record(model, PORT_LAN);
        s.tcpPort = tcp->Port();
        s.language = language;
        if (language == "Chinese") chinese.emplace("LANG", "zh_CN.UTF-8");
        WriteSettings(s);
        Start();
        ChooseMenu(CPemberluxDlg::MENU_TEST_ITEMS);
        return Ti();
    }
    CTestItemDialog& Ti() const { return *window->TestItemsPage(); }
    void Click(int id) const { QTest::mouseClick(Ti().Control(id), Qt::LeftButton); }
    bool Enabled(int id) const { return Ti().Control(id)->isEnabled(); }
    bool ButtonsEnabled() const {
        for (int id : kTestButtons)
            if (!Enabled(id)) return false;
        for (int id : kCutterButtons)
            if (!Enabled(id)) return false;
        return true;
    }
    bool WaitIdle(std::chrono::milliseconds timeout = 10s) const {
        return WaitUntil([&] { return Ti().WorkersRunning() == 0 && ButtonsEnabled(); }, timeout);
    }
    // What one click sends.
    Bytes Sent(const std::function<void()>& click, std::size_t size) {
        printer.ClearReceived();
        click();
        EXPECT_TRUE(WaitIdle());
        EXPECT_TRUE(printer.WaitForBytes(size, 5s));
        RunEventsFor(100ms);
        return printer.Received();
    }

    sim::SimPrinter printer;
    std::unique_ptr<sim::TcpServer> tcp;
    std::optional<ScopedEnv> chinese;
};

// ---- Every button's bytes ------------------------------------------------------

TEST_F(TestItems, EveryButtonSendsItsBytes) {
    Bytes blackBar;
    for (int row = 0; row < 5; ++row)
        blackBar = Cat({blackBar, {0x1B, 0x2A, 0x00, 0xD2, 0x00}, Bytes(210, 0xFF), {0x0D, 0x1B, 0x4A, 0x10}});
    const Bytes LF = {0x0A};
    struct Case {
        int button;
        std::function<void(CTestItemDialog&)> before; // the choices made first
        Bytes bytes;
        std::size_t size;
    };
    const Case cases[] = {
        {CTestItemDialog::IDC_BLACK_MARK_ENABLE, nullptr, Cat({{0x1C, 0xAA, 0x11, 0x01}, Ascii("  BM enable"), LF}),
         16},
        {CTestItemDialog::IDC_BLACK_MARK_DISABLE, nullptr, Cat({{0x1C, 0xAA, 0x11, 0x00}, Ascii("  BM disable"), LF}),
         17},
        {CTestItemDialog::IDC_BLACK_MARK_TEST, nullptr,
         Cat({{0x1B, 0x40, 0x1D, 0x0C}, Ascii(" BM test"), {0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0xFF}}), 18},
        {CTestItemDialog::IDC_BLACK_MARK_TEST,
         [](CTestItemDialog& p) { p.ControlAs<QCheckBox>(CTestItemDialog::IDC_CUT_AFTER_PRINT)->setChecked(true); },
         Cat({{0x1B, 0x40, 0x1D, 0x0C},
              Ascii(" BM test"),
              {0x1B, 0x4A, 0xFF, 0x1B, 0x4A, 0xFF},
              {0x1B, 0x40, 0x1D, 0x0C, 0x1D, 0x56, 0x42, 0x01}}),
         26},
        {CTestItemDialog::IDC_BLACK_PRN, nullptr, blackBar, 1095},
        {CTestItemDialog::IDC_CUT_ENABLE, nullptr,
         Cat({{0x1B, 0x40}, Ascii(" Cut Enable"), LF, {0x1C, 0xAA, 0x23, 0x01}}), 18},
        {CTestItemDialog::IDC_CUT_DISABLE, nullptr,
         Cat({{0x1B, 0x40}, Ascii(" Cut Disable"), LF, {0x1C, 0xAA, 0x23, 0x00}}), 19},
        {CTestItemDialog::IDC_FULL_CUT, nullptr,
         Cat({{0x1B, 0x40}, Ascii(" Full Cut test"), LF, {0x1B, 0x4A, 0xB0, 0x1B, 0x69}}), 22},
        {CTestItemDialog::IDC_PARTIAL_CUT, nullptr,
         Cat({{0x1B, 0x40}, Ascii(" Partial Cut test"), LF, {0x1B, 0x4A, 0xB0, 0x1B, 0x6D}}), 25},
        {CTestItemDialog::IDC_DRAWER1, nullptr,
         Cat({{0x1B, 0x40}, Ascii(" Drawer test"), LF, {0x1B, 0x4A, 0x20, 0x1B, 0x70, 0x00, 0x33, 0x00, 0x00}}), 24},
        {CTestItemDialog::IDC_DRAWER2, nullptr,
         Cat({{0x1B, 0x40}, Ascii(" Drawer test"), LF, {0x1B, 0x4A, 0x20, 0x1B, 0x70, 0x01, 0x33, 0x00, 0x00}}), 24},
        // 9600 is chosen when the page starts.
        {CTestItemDialog::IDC_BAUD_OK, nullptr, Cat({Ascii("set successful"), LF, {0x1C, 0xAA, 0x22, 0x03, 0x00}}), 20},
        {CTestItemDialog::IDC_BAUD_OK,
         [](CTestItemDialog& p) { p.ControlAs<QComboBox>(CTestItemDialog::IDC_BAUD_RATE)->setCurrentIndex(5); },
         Cat({Ascii("set successful"), LF, {0x1C, 0xAA, 0x22, 0x05, 0x00}}), 20},
        {CTestItemDialog::IDC_BAUD_OK,
         [](CTestItemDialog& p) { p.ControlAs<QComboBox>(CTestItemDialog::IDC_BAUD_RATE)->setCurrentIndex(0); },
         Cat({Ascii("set successful"), LF, {0x1C, 0xAA, 0x22, 0x00, 0x00, 0x00}}), 21},
        {CTestItemDialog::IDC_CARRIAGE, nullptr, {0x1C, 0xAA, 0x16, 0x04}, 4},
        {CTestItemDialog::IDC_FEED, nullptr, {0x1C, 0xAA, 0x17, 0x02, 0x55}, 5},
        {CTestItemDialog::IDC_HEAD_PIN, nullptr, {0x1C, 0xAA, 0x17, 0x01, 0x00}, 5},
    };
    StartOnTcp();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        if (c.before) c.before(Ti());
        // The power test buttons are never shown; their handlers are there all the same.
        const Bytes got = Sent([&] { Ti().ControlAs<QPushButton>(c.button)->click(); }, c.size);
        EXPECT_EQ(got, c.bytes);
        EXPECT_EQ(got.size(), c.size);
    }
    EXPECT_EQ(messages.Count(), 0u);
    // Nothing for "End Black Mark Test" and the font list.
    const std::size_t connections = Connections(printer);
    Ti().ControlAs<QPushButton>(CTestItemDialog::IDC_BLACK_MARK_END)->click();
    Ti().ControlAs<QComboBox>(CTestItemDialog::IDC_FONT)->setCurrentIndex(1);
    RunEventsFor(200ms);
    EXPECT_EQ(Connections(printer), connections);
}

// ---- Character tests -----------------------------------------------------------

TEST(TestCommands, ChineseAreasHoldTheirCharacters) {
    const std::size_t characters[CHINESE_AREAS] = {423, 18 * 47, 8 * (31 + 63), 28 * (16 + 5), 2 * (62 + 20)};
    for (int area = 0; area < CHINESE_AREAS; ++area) {
        const Bytes bytes = ChineseTestBytes(area, {});
        EXPECT_EQ(bytes.size(), 3 + 2 * characters[area] + 1) << area;
        EXPECT_EQ(bytes.back(), 0x0A);
    }
    EXPECT_EQ(ChineseTestBytes(-1, {true, true, true}), (Bytes{0x1C, 0x21, 0x8C, 0x0A}));
    const Bytes three = ChineseTestBytes(2, {false, true, false});
    EXPECT_EQ(Bytes(three.begin(), three.begin() + 7), (Bytes{0x1C, 0x21, 0x08, 0x81, 0x40, 0x81, 0x42}));
    // Row 81 ends at FC, and the next row starts at 85 40.
    EXPECT_EQ(Bytes(three.begin() + 3 + 2 * 93, three.begin() + 3 + 2 * 95), (Bytes{0x81, 0xFC, 0x85, 0x40}));
    const Bytes four = ChineseTestBytes(3, {});
    EXPECT_EQ(Bytes(four.end() - 3, four.end()), (Bytes{0xFB, 0x90, 0x0A}));
    const Bytes five = ChineseTestBytes(4, {});
    EXPECT_EQ(Bytes(five.end() - 3, five.end()), (Bytes{0xAB, 0x93, 0x0A}));
    EXPECT_EQ(AsciiTestBytes(AsciiText::Alphabet, false, {true, true, true}),
              Cat({{0x1C, 0x2E, 0x1B, 0x21, 0xB0}, Ascii("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), {0x1B, 0x21, 0x00, 0x0A}}));
    EXPECT_EQ(AsciiTestBytes(AsciiText::None, true, {}), (Bytes{0x1C, 0x2E, 0x1B, 0x21, 0x01, 0x1B, 0x21, 0x00, 0x0A}));
}

TEST_F(TestItems, ChineseAreaOneInDoubleWidth) {
    StartOnTcp();
    Click(CTestItemDialog::IDC_CHINESE_DOUBLE_WIDTH);
    const Bytes got = Sent([&] { Click(CTestItemDialog::IDC_CHINESE_START); }, 3 + 423 * 2 + 1);
    ASSERT_EQ(got.size(), 3u + 423 * 2 + 1);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 7), (Bytes{0x1C, 0x21, 0x04, 0xA1, 0xA1, 0xA1, 0xA3}));
    EXPECT_EQ(Bytes(got.end() - 3, got.end()), (Bytes{0xA9, 0xFD, 0x0A}));
}

TEST_F(TestItems, AsciiHPrintRepeatsEvery600msUntilStopTest) {
    StartOnTcp();
    const Bytes copy = Cat({{0x1C, 0x2E, 0x1B, 0x21, 0x01}, Bytes(50, 'H'), {0x1B, 0x21, 0x00, 0x0A}});
    ASSERT_EQ(copy.size(), 59u);
    Click(CTestItemDialog::IDC_H_PRINT);
    const auto clicked = Clock::now();
    Click(CTestItemDialog::IDC_ASCII_START);
    ASSERT_TRUE(printer.WaitForBytes(copy.size(), 5s));
    EXPECT_GE(Clock::now() - clicked, 600ms);
    ASSERT_TRUE(printer.WaitForBytes(3 * copy.size(), 10s));
    EXPECT_GE(Clock::now() - clicked, 1800ms);
    // The test buttons are off meanwhile; "Stop test" is not.
    for (int id : kTestButtons)
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(CTestItemDialog::IDC_ASCII_STOP));
    Click(CTestItemDialog::IDC_ASCII_STOP);
    ASSERT_TRUE(WaitIdle());
    RunEventsFor(800ms);
    const Bytes got = printer.Received();
    ASSERT_EQ(got.size() % copy.size(), 0u);
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], copy[i % copy.size()]) << i;
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(TestItems, TheAsciiTestStopsWhenThePrinterIsNoLongerChosen) {
    StartOnTcp();
    struct Case {
        const char* what;
        std::function<void()> change;
        std::function<void()> undo;
    };
    const PortSettings original = Ti().Settings();
    const Case cases[] = {
        {"another interface",
         [&] {
             PortSettings s = original;
             s.portKind = PORT_COM;
             Ti().SetSettings(s);
         },
         [&] { Ti().SetSettings(original); }},
        {"another model",
         [&] {
             PortSettings s = original;
             s.modelName = "TR-510";
             Ti().SetSettings(s);
         },
         [&] { Ti().SetSettings(original); }},
        {"the page disabled", [&] { Ti().setEnabled(false); }, [&] { Ti().setEnabled(true); }},
        {"a label printer chosen",
         [&] {
             ChooseMenu(CPemberluxDlg::MENU_INTERFACE);
             ChooseModel(0);
         },
         [&] {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        printer.ClearReceived();
        Click(CTestItemDialog::IDC_ASCII_START);
        ASSERT_TRUE(printer.WaitForBytes(1, 5s));
        c.change();
        ASSERT_TRUE(WaitUntil([&] { return Ti().WorkersRunning() == 0; }, 5s));
        RunEventsFor(800ms);
        const std::size_t got = printer.Received().size();
        RunEventsFor(800ms);
        EXPECT_EQ(printer.Received().size(), got);
        c.undo();
    }
    EXPECT_EQ(MenuEntries().size(), 4u) << "the label printer has no test items";
}

// ---- A printer without a cutter ---------------------------------------------------

TEST_F(TestItems, APrinterWithoutACutterHasItsCutterButtonsOffFromTheFirstAction) {
    StartOnTcp();
    CTestItemDialog& page = Ti();
    PortSettings s = page.Settings();
    s.modelName = "TR-510";
    page.SetSettings(s);
    // Before the first action every model has them.
    for (int id : kCutterButtons)
        EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(CTestItemDialog::IDC_CUT_AFTER_PRINT));
    page.UpdateTestButtons(true);
    for (int id : kTestButtons)
        EXPECT_TRUE(Enabled(id)) << id;
    for (int id : kCutterButtons)
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_FALSE(Enabled(CTestItemDialog::IDC_CUT_AFTER_PRINT));
    page.UpdateTestButtons(false);
    for (int id : kTestButtons)
        EXPECT_FALSE(Enabled(id)) << id;

    // A printer with a cutter gets them back; the check box is left as it is.
    s.modelName = "TR-520";
    page.SetSettings(s);
    page.UpdateTestButtons(true);
    for (int id : kCutterButtons)
        EXPECT_TRUE(Enabled(id)) << id;
    for (int id : kTestButtons)
        EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_FALSE(Enabled(CTestItemDialog::IDC_CUT_AFTER_PRINT));
}

TEST_F(TestItems, TheMainWindowShowsThePageDisabledForTR510) {
    StartOnTcp("TR-510");
    EXPECT_FALSE(Ti().isEnabled());
    EXPECT_FALSE(Enabled(CTestItemDialog::IDC_CUT_AFTER_PRINT));
}

// ---- The test file -----------------------------------------------------------

TEST_F(TestItems, TheTestFileIsDecodedAndSentWhole) {
    std::string large;
    for (int i = 0; i < 13000; ++i)
        large += "A5 ";
    struct Case {
        const char* what;
        std::optional<std::string> content; // none: no file
        Bytes bytes;
        const char* message; // or null
    };
    const Case cases[] = {
        {"line breaks", "1B\r\n40\n0A\r\n", {0x1B, 0x40, 0x0A}, nullptr},
        {"a digit split from its partner", "1\r\nB 4 0", {0x1B, 0x40}, nullptr},
        {"larger than the old buffer", large, Bytes(13000, 0xA5), nullptr},
        {"not hexadecimal", "1B 4G", {}, "Data entered is not hexadecimal data!"},
        {"a stray tab at the end", "1B 40\r\n\t", {}, "Data entered is not hexadecimal data!"},
        {"missing", std::nullopt, {}, "File -\"testPrint.qv\" is missing !"},
    };
    StartOnTcp();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.Clear();
        printer.ClearReceived();
        std::filesystem::remove(dir / TEST_FILE_NAME);
        if (c.content) dir.Write(TEST_FILE_NAME, *c.content);
        const std::size_t connections = Connections(printer);
        Click(CTestItemDialog::IDC_TEST_PRN);
        ASSERT_TRUE(WaitIdle());
        if (c.message) {
            ASSERT_EQ(messages.Count(), 1u);
            EXPECT_EQ(messages.Messages()[0].text, c.message);
            EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
            RunEventsFor(200ms);
            EXPECT_EQ(Connections(printer), connections) << "a port was opened";
            continue;
        }
        ASSERT_TRUE(printer.WaitForBytes(c.bytes.size(), 5s));
        RunEventsFor(100ms);
        EXPECT_EQ(printer.Received(), c.bytes);
        EXPECT_EQ(messages.Count(), 0u);
    }
}

TEST_F(TestItems, AnEmptyTestFileOpensThePortAndSendsNothing) {
    StartOnTcp();
    dir.Write(TEST_FILE_NAME, " \r\n");
    Click(CTestItemDialog::IDC_TEST_PRN);
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitUntil([&] { return Connections(printer) == 1; }, 5s));
    RunEventsFor(100ms);
    EXPECT_TRUE(printer.Received().empty());
    EXPECT_EQ(messages.Count(), 0u);
}

// ---- Failures and the page itself ---------------------------------------------

TEST_F(TestItems, AFailedOpenIsShownAndTheButtonsComeBack) {
    StartOnTcp();
    PortSettings s = Ti().Settings();
    s.tcpPort = 1; // nothing listens there
    Ti().SetSettings(s);
    Click(CTestItemDialog::IDC_FULL_CUT);
    ASSERT_TRUE(messages.WaitForCount(1, 10s));
    EXPECT_EQ(messages.Messages()[0].text, LoadUiString(206));
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(WaitIdle());
}

TEST_F(TestItems, ThePageInChineseWithItsFirstChoicesAndHiddenControls) {
    StartOnTcp("TR-520", "Chinese");
    CTestItemDialog& page = Ti();
    EXPECT_EQ(page.ControlText(CTestItemDialog::IDC_CHINESE_START), "开始测试");
    EXPECT_EQ(page.ControlText(CTestItemDialog::IDC_CUT_AFTER_PRINT), "打印结束后切纸");
    EXPECT_EQ(page.ControlText(CTestItemDialog::IDC_BAUD_OK), "确认");
    EXPECT_EQ(page.ControlText(CTestItemDialog::IDC_CHINESE_AREA), "1 区");
    EXPECT_EQ(page.ControlText(CTestItemDialog::IDC_FONT), "字体 A");
    EXPECT_EQ(page.ControlText(CTestItemDialog::IDC_BAUD_RATE), "9600");
    EXPECT_EQ(page.ControlAs<QComboBox>(CTestItemDialog::IDC_CHINESE_AREA)->count(), 5);
    EXPECT_TRUE(page.ControlAs<QRadioButton>(CTestItemDialog::IDC_ASCII_PRINT)->isChecked());
    for (int id : {CTestItemDialog::IDC_CHINESE_STOP, CTestItemDialog::IDC_BLACK_MARK_END,
                   CTestItemDialog::IDC_CARRIAGE, CTestItemDialog::IDC_FEED, CTestItemDialog::IDC_HEAD_PIN})
        EXPECT_FALSE(page.Control(id)->isVisible()) << id;
    EXPECT_TRUE(page.Control(CTestItemDialog::IDC_ASCII_STOP)->isVisible());
    // A job's messages speak the window's language too.
    std::filesystem::remove(dir / TEST_FILE_NAME);
    Click(CTestItemDialog::IDC_TEST_PRN);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"“testPrint.qv”文件缺失!"});
}

} // namespace
} // namespace pemberlux
