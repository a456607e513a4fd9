// The label settings page against the simulated printer's fault modes: a reply
// cut short, a garbled reply, a late one, text without its zero byte. The page
// is driven through its buttons and read by control id; each wait is for what
// the page shows.
#include "LabelPageFixture.h"

#include <array>
#include <iterator>

namespace pemberlux {
namespace {

using namespace std::chrono_literals;
using namespace test;

// The lists of the page in the order of their bytes in the settings reply.
constexpr int kLists[] = {
    IDC_CUT_MODE,                 // 8
    IDC_PRINTER_LANGUAGE,         // 9
    IDC_PRINT_POSITION_DETECTION, // 11
    IDC_PAPER_SENSOR_SELECTION,   // 12
    IDC_TOP_FORM_SENSING,         // 13
    IDC_PAPER_OUT_DETECTION,      // 17
    IDC_AUTO_CALIBRATE_LABEL,     // 19
    IDC_PRINT_MEDIA,              // 26
    IDC_PRINT_METHOD,             // 27
    IDC_PAGE_MODE,                // 28
    IDC_PRINT_SPEED,              // 35, the index + 1
    IDC_PRINT_DENSITY,            // 36
    IDC_PEELER,                   // 37
};
constexpr std::size_t kListCount = std::size(kLists);

// A settings reply of an LB-610 with every setting away from the factory's:
// the serial line byte 03, then cut mode on (byte 8), Chinese, print position
// detection off, reflective sensor, top form sensing on, EPL (15), paper-out
// detection off, no auto calibration, continuous paper (26), thermal transfer,
// page mode on, AD value 300 (33 34), speed "1" (35), density "5", peeler on,
// print home offset 40 dots (38 39), cutting position offset -16 dots (40 41).
const Bytes kChangedReply = Hex("1B 0D 53 33 2D 01 08 03  01 01 00 00 00 01 00 02  00 00 00 00 00 00 00 00"
                                "00 00 01 00 01 00 00 00  00 2C 01 01 04 01 28 00  F0 FF 1B 10 45");

class LabelPageSimModes : public LabelPageTest {
protected:
    // The program with "Printer Setup" shown, its LB-610 on TCP.
    CPrintingSetupLB610_1& OpenPage() { return StartOn(Transport::Tcp); }
    CPrintingSetupLB610_1& Page() const { return P(); }
    int Index(int control) const { return Page().ControlAs<QComboBox>(control)->currentIndex(); }
    std::string Text(int control) const { return Page().ControlText(control); }
    bool Idle() const { return ButtonsEnabled(); }
    std::array<int, kListCount> Indexes() const {
        std::array<int, kListCount> shown{};
        for (std::size_t i = 0; i < kListCount; ++i)
            shown[i] = Index(kLists[i]);
        return shown;
    }

    // Reads the factory settings into the page, as the starting point.
    void ReadFactorySettings() {
        Click(IDC_GET_PRINTER_SETTINGS);
        ASSERT_TRUE(WaitUntil([&] { return Text(IDC_BLACK_MARK_AD_VALUE) == "200" && Idle(); }, 20s));
        ASSERT_EQ(Indexes(), (std::array<int, kListCount>{0, 0, 1, 1, 0, 1, 1, 0, 1, 0, 2, 2, 0}));
        ASSERT_EQ(Index(IDC_EMULATION), 2); // TSPL, third of "ZPL", "EPL", "TSPL"
    }
};

TEST_F(LabelPageSimModes, ShortSettingsReplyShowsTheFieldsThatArrivedAndNothingElse) {
    OpenPage();
    ReadFactorySettings();

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
    ASSERT_EQ(printer->LastAnswer().size(), 20u);
    EXPECT_EQ(window->MasterSettings().parity, "Odd");
    // Bytes 8 to 19 changed their lists; those from byte 26 on are as they were.
    EXPECT_EQ(Indexes(), (std::array<int, kListCount>{1, 1, 0, 0, 1, 0, 0, 0, 1, 0, 2, 2, 0}));
    EXPECT_EQ(Index(IDC_EMULATION), 1); // byte 15 = 2, "EPL"
    EXPECT_EQ(Text(IDC_BLACK_MARK_AD_VALUE), "200");
    EXPECT_EQ(Text(IDC_PRINT_HOME_OFFSET), "0.00");
    EXPECT_EQ(Text(IDC_CUTTING_POSITION_OFFSET), "0.00");
    EXPECT_EQ(Text(IDC_SERIAL_NUMBER), "");
    EXPECT_EQ(messages.Count(), 0u);
}

// The reply is whole with its 42nd byte, the high byte of the cutting position
// offset: a pause just before it is waited for. A printer that never sends it
// has that offset left as it was.
TEST_F(LabelPageSimModes, ASettingsReplyPausedBeforeItsLastByteIsWaitedFor) {
    OpenPage();
    ReadFactorySettings();
    const Bytes head(kChangedReply.begin(), kChangedReply.begin() + 41);
    const Bytes tail(kChangedReply.begin() + 41, kChangedReply.end());
    printer->SetDefaultAnswer({{head}, {tail, 400ms}});
    Click(IDC_GET_PRINTER_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return Text(IDC_BLACK_MARK_AD_VALUE) == "300" && Idle(); }, 20s));
    EXPECT_EQ(Indexes(), (std::array<int, kListCount>{1, 1, 0, 0, 1, 0, 0, 1, 0, 1, 0, 4, 1}));
    EXPECT_EQ(Text(IDC_PRINT_HOME_OFFSET), "5.00");
    EXPECT_EQ(Text(IDC_CUTTING_POSITION_OFFSET), "-2.00");

    // 41 bytes and no more: the home offset (38 39) arrived, the cutting position offset did not.
    Bytes cut = head;
    cut[38] = 0x50; // 80 dots
    cut[40] = 0x08;
    printer->SetDefaultAnswer({{cut}});
    Click(IDC_GET_PRINTER_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return Text(IDC_PRINT_HOME_OFFSET) == "10.00" && Idle(); }, 20s));
    EXPECT_EQ(Text(IDC_CUTTING_POSITION_OFFSET), "-2.00");
    EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(LabelPageSimModes, GarbledSettingsReplyIsShownAsItDecodesWithoutHarm) {
    OpenPage();
    ReadFactorySettings();
    // Bytes no printer sends: indexes beyond their lists, negative as signed
    // bytes, an Emulation byte outside 1-3, the offsets at the ends of their range.
    printer->SetDefaultAnswer({{Hex("E4 F2 AC CC D2 FA F7 03  02 01 5A FF 00 80 33 04  11 7F 00 01 A5 A5 A5 A5"
                                    "A5 A5 01 FE 00 C3 C3 C3  C3 FF FF 00 05 81 FF 7F  00 80 E4 EF BA")}});
    Click(IDC_GET_PRINTER_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return Text(IDC_BLACK_MARK_AD_VALUE) == "65535" && Idle(); }, 20s));
    EXPECT_EQ(Indexes(), (std::array<int, kListCount>{-1, 1, -1, 0, -1, -1, 1, 1, -1, 0, -1, 5, -1}));
    EXPECT_EQ(Index(IDC_EMULATION), 2); // three items: only bytes 1-3 select, 04 leaves TSPL
    EXPECT_EQ(Text(IDC_PRINT_HOME_OFFSET), "4095.88");
    EXPECT_EQ(Text(IDC_CUTTING_POSITION_OFFSET), "-4096.00");
    EXPECT_EQ(Text(IDC_SERIAL_NUMBER), "");
    EXPECT_EQ(Text(IDC_FIRMWARE_VERSION), "");
    EXPECT_EQ(messages.Count(), 0u);

    // The page keeps working once the printer answers properly again.
    printer->ClearAnswers();
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
