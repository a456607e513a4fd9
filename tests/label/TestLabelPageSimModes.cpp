// The label settings page against the simulated printer's fault modes: a reply
// cut short, a garbled reply, a late one, text without its zero byte. The page
// is driven through its buttons and read by control id; each wait is for what
// the page shows.
#include "LabelPageFixture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using namespace test;

// The lists of the page by the settings reply, as the protocol lays it out:
// control, reply offset, item count, and what the byte is to the index (the
// print speed is sent as index + 1).
struct ListOnPage {
    int control;
    std::size_t offset;
    int items;
    int bias;
};
constexpr ListOnPage kLists[] = {
    {IDC_CUT_MODE, 8, 2, 0},
    {IDC_PRINTER_LANGUAGE, 9, 2, 0},
    {IDC_PRINT_POSITION_DETECTION, 11, 2, 0},
    {IDC_PAPER_SENSOR_SELECTION, 12, 2, 0},
    {IDC_TOP_FORM_SENSING, 13, 2, 0},
    {IDC_PAPER_OUT_DETECTION, 17, 2, 0},
    {IDC_AUTO_CALIBRATE_LABEL, 19, 2, 0},
    {IDC_PRINT_MEDIA, 26, 2, 0},
    {IDC_PRINT_METHOD, 27, 2, 0},
    {IDC_PAGE_MODE, 28, 2, 0},
    {IDC_PRINT_SPEED, 35, 4, 1},
    {IDC_PRINT_DENSITY, 36, 6, 0},
    {IDC_PEELER, 37, 2, 0},
};

// The index a reply byte selects: taken as signed, none outside the list.
int IndexOf(const ListOnPage& list, std::uint8_t byte) {
    const int index = static_cast<std::int8_t>(byte) - list.bias;
    return index >= 0 && index < list.items ? index : -1;
}

// Dots of 0.125 mm in hundredths, a half rounded away from zero.
std::string Dots(std::uint8_t low, std::uint8_t high) {
    const long hundredths = std::lround(static_cast<std::int16_t>(low | high << 8) * 12.5);
    char text[32];
    std::snprintf(text, sizeof text, "%s%ld.%02ld", hundredths < 0 ? "-" : "", std::labs(hundredths) / 100,
                  std::labs(hundredths) % 100);
    return text;
}

class LabelPageSimModes : public LabelPageTest {
protected:
    // The program with "Printer Setup" shown, its LB-610 on TCP.
    CPrintingSetupLB610_1& OpenPage() { return StartOn(Transport::Tcp); }
    CPrintingSetupLB610_1& Page() const { return P(); }
    int Index(int control) const { return Page().ControlAs<QComboBox>(control)->currentIndex(); }
    std::string Text(int control) const { return Page().ControlText(control); }
    bool Idle() const { return ButtonsEnabled(); }

    // Reads the factory settings into the page, as the starting point.
    void ReadFactorySettings() {
        Click(IDC_GET_PRINTER_SETTINGS);
        ASSERT_TRUE(WaitUntil([&] { return Text(IDC_BLACK_MARK_AD_VALUE) == "200" && Idle(); }, 20s));
        ASSERT_EQ(Index(IDC_PRINT_METHOD), 1);
        ASSERT_EQ(Index(IDC_EMULATION), 2); // TSPL, third of "ZPL", "EPL", "TSPL"
    }
};

TEST_F(LabelPageSimModes, ShortSettingsReplyShowsTheFieldsThatArrivedAndNothingElse) {
    OpenPage();
    ReadFactorySettings();
    const Bytes factory = printer->LastAnswer();

    // The printer changes every setting and its serial line; its answer is cut after byte 19.
    const int changed[sim::LabelPrinterSim::kSettingCount] = {1, 1, 1, 0, 0, 4, 1, 2, 0, 1, 1, 40, -16, 1, 0, 300, 0};
    for (int pos = 0; pos < sim::LabelPrinterSim::kSettingCount; ++pos)
        printer->SetSetting(pos, changed[pos]);
    printer->SetSerialConfig(0x16); // 57600 baud, odd parity
    sim::Faults cut;
    cut.shortAnswer = 20;
    printer->SetFaults(cut);
    Click(IDC_GET_PRINTER_SETTINGS);

    // Byte 7 reaches the main window with the page's refresh.
    ASSERT_TRUE(WaitUntil([&] { return window->MasterSettings().baudRate == "57600" && Idle(); }, 20s));
    const Bytes reply = printer->LastAnswer();
    ASSERT_EQ(reply.size(), 20u);
    EXPECT_EQ(window->MasterSettings().parity, "Odd");
    for (const ListOnPage& list : kLists) {
        const Bytes& source = list.offset < reply.size() ? reply : factory;
        EXPECT_EQ(Index(list.control), IndexOf(list, source[list.offset])) << list.control;
    }
    EXPECT_EQ(Index(IDC_EMULATION), 1); // byte 15 = 2, "EPL"
    EXPECT_EQ(Text(IDC_BLACK_MARK_AD_VALUE), "200");
    EXPECT_EQ(Text(IDC_PRINT_HOME_OFFSET), "0.00");
    EXPECT_EQ(Text(IDC_CUTTING_POSITION_OFFSET), "0.00");
    EXPECT_EQ(Text(IDC_SERIAL_NUMBER), "");
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(LabelPageSimModes, GarbledSettingsReplyIsShownAsItDecodesWithoutHarm) {
    OpenPage();
    ReadFactorySettings();
    const Bytes factory = printer->LastAnswer();
    sim::Faults garbage;
    garbage.garbage = true;
    printer->SetFaults(garbage);
    Click(IDC_GET_PRINTER_SETTINGS);

    // Every garbled byte differs from the real one.
    ASSERT_TRUE(WaitUntil([&] { return printer->LastAnswer() != factory; }, 20s));
    const Bytes reply = printer->LastAnswer();
    ASSERT_EQ(reply.size(), factory.size());
    const std::string ad = std::to_string(reply[33] | reply[34] << 8);
    ASSERT_TRUE(WaitUntil([&] { return Text(IDC_BLACK_MARK_AD_VALUE) == ad && Idle(); }, 20s));
    for (const ListOnPage& list : kLists)
        EXPECT_EQ(Index(list.control), IndexOf(list, reply[list.offset])) << list.control;
    // Three items: bytes 1-3 select, any other byte leaves TSPL.
    EXPECT_EQ(Index(IDC_EMULATION), reply[15] >= 1 && reply[15] <= 3 ? reply[15] - 1 : 2);
    EXPECT_EQ(Text(IDC_PRINT_HOME_OFFSET), Dots(reply[38], reply[39]));
    EXPECT_EQ(Text(IDC_CUTTING_POSITION_OFFSET), Dots(reply[40], reply[41]));
    EXPECT_EQ(Text(IDC_SERIAL_NUMBER), "");
    EXPECT_EQ(Text(IDC_FIRMWARE_VERSION), "");
    EXPECT_EQ(messages.Count(), 0u);

    // The page keeps working once the printer answers properly again.
    printer->SetFaults({});
    Click(IDC_GET_SERIAL_NUMBER);
    EXPECT_TRUE(WaitUntil([&] { return Text(IDC_SERIAL_NUMBER) == "LB610-24070315" && Idle(); }, 20s));
}

TEST_F(LabelPageSimModes, TextRepliesWithAndWithoutZeroByteLateAndShort) {
    struct Case {
        const char* name;
        bool zero;
        std::chrono::milliseconds delay;
        std::optional<std::size_t> cut;
        const char* shown;
    } const cases[] = {
        {"ended by a zero byte", true, 0ms, {}, "LB610-24070315"},
        {"without the zero byte", false, 0ms, {}, "LB610-24070315"},
        {"late, within the time-out", true, 1500ms, {}, "LB610-24070315"},
        {"cut after five bytes", true, 0ms, 5, "LB610"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        printer->SetZeroAfterText(c.zero);
        sim::Faults faults;
        faults.answerDelay = c.delay;
        faults.shortAnswer = c.cut;
        printer->SetFaults(faults);
        messages.Clear();
        OpenPage();
        Click(IDC_GET_SERIAL_NUMBER);
        ASSERT_TRUE(WaitUntil([&] { return Text(IDC_SERIAL_NUMBER) == c.shown && Idle(); }, 20s));
        EXPECT_EQ(Text(IDC_FIRMWARE_VERSION), "");
        EXPECT_EQ(Text(IDC_PRINT_HEAD_MILEAGE), "");
        EXPECT_EQ(Index(IDC_CUT_MODE), -1);
        EXPECT_EQ(messages.Count(), 0u);
        window.reset();
    }
}

} // namespace
} // namespace pemberlux
