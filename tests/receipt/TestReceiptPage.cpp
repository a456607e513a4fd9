// The receipt settings page: its controls in both languages, the cutter rule of
// the two models, what the user's changes put into the frame the printer
// receives, what a settings reply puts into the lists, the edits, the main
// window and the settings file, and the check of the distance edits.
#include "ReceiptPageFixture.h"

#include <QLabel>

namespace pemberlux {
namespace {

using namespace test;

const std::string EMPTY_FRAME = "1B 0D 53 1B 10 45";

std::string Frame(const std::string& items) {
    return "1B 0D 53 " + items + " 1B 10 45";
}

// ---- Controls -----------------------------------------------------------------

class ReceiptPageControls : public ReceiptPageTest {};

TEST_F(ReceiptPageControls, EnglishTr510PageHidesTheCutterAndStartsEmpty) {
    ReceiptPage& page = StartOn(Transport::Tcp);
    EXPECT_TRUE(page.isVisible());
    EXPECT_EQ(page.ControlText(IDC_RC_PRINTER_LANGUAGE_LABEL), "Printer Language");
    EXPECT_EQ(page.ControlText(IDC_RC_PAPER_WIDE_LABEL), "Paper Wide");
    EXPECT_EQ(page.ControlText(IDC_RC_BLACK_MARK_TO_CUTTER_LABEL), "Black Mark to Cutter");
    EXPECT_EQ(page.ControlText(IDC_RC_GET_PRINTER_SETTINGS), "Get Printer Settings");
    EXPECT_EQ(page.ControlText(IDC_RC_RESTORE_ALL_SETTINGS), "Restore All Settings");
    EXPECT_EQ(Items(RS_PAPER_WIDE), (std::vector<std::string>{"76mm", "69mm", "57mm"}));
    EXPECT_EQ(Items(RS_PAPER_TYPE), (std::vector<std::string>{"Single", "Multipart"}));
    // No list has a selection, no edit a text, nothing is marked.
    EXPECT_EQ(Selections(), (std::vector<int>(6, -1)));
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "");
    EXPECT_TRUE(page.ChangedMarks().none());
    EXPECT_FALSE(page.Control(IDC_RC_CUTTER_SWITCH)->isVisible());
    EXPECT_FALSE(page.Control(IDC_RC_CUTTER_SWITCH_LABEL)->isVisible());
    EXPECT_TRUE(page.Control(IDC_RC_PAPER_WIDE)->isVisible());
    EXPECT_EQ(List(RS_BLACK_MARK)->accessibleName().toStdString(), "Black Mark");
    EXPECT_EQ(page.Control(IDC_RC_BLACK_MARK_TO_HOME)->toolTip().toStdString(),
              "Distance from black mark to start print position. Value is -35~5766 mm");
    EXPECT_EQ(page.Control(IDC_RC_PRINTER_LANGUAGE)->toolTip().toStdString(), "Set the page mode to Off or On");
    EXPECT_EQ(page.Control(IDC_RC_RESTORE_ALL_SETTINGS)->toolTip().toStdString(),
              "Set the option of current page to default value, and send to printer");
    EXPECT_TRUE(page.Control(IDC_RC_GET_PRINTER_SETTINGS)->toolTip().isEmpty());
    EXPECT_TRUE(ButtonsEnabled());

    // Every text whole: no label or button narrower than its text.
    for (int id : page.ControlIds()) {
        QWidget* w = page.Control(id);
        if (!w->isVisible()) continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << id;
        }
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << id;
        }
    }
}

TEST_F(ReceiptPageControls, ChineseSecondModelShowsTheCutterInChinese) {
    ReceiptPage& page = StartOn(Transport::Tcp, "TR-530", "Chinese");
    EXPECT_EQ(page.ControlText(IDC_RC_CUTTER_SWITCH_LABEL), "切刀开关");
    EXPECT_EQ(page.ControlText(IDC_RC_SEND_SETTINGS), "确认修改");
    EXPECT_EQ(Items(RS_PAPER_TYPE), (std::vector<std::string>{"一联&二联", "三联"}));
    EXPECT_EQ(Items(RS_CUTTER_SWITCH), (std::vector<std::string>{"关", "开"}));
    EXPECT_TRUE(page.Control(IDC_RC_CUTTER_SWITCH)->isVisible());
    EXPECT_TRUE(page.Control(IDC_RC_CUTTER_SWITCH_LABEL)->isVisible());
    EXPECT_EQ(page.Control(IDC_RC_CUTTER_SWITCH)->toolTip().toStdString(), "设置切刀工作或挂起");
    EXPECT_EQ(List(RS_CUTTER_SWITCH)->currentIndex(), -1);
}

TEST_F(ReceiptPageControls, EnglishEditsTakeDigitsFromTheKeyboardChineseOnesAnything) {
    StartOn(Transport::Tcp);
    Type(RS_BLACK_MARK_TO_HOME, "-1x2");
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "12");
    EXPECT_EQ(messages.Count(), 0u);
    // Pasted text is not held back by the keyboard rule.
    Paste(RS_BLACK_MARK_TO_CUTTER, "-20");
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_CUTTER), "-20");
    window.reset();

    StartOn(Transport::Tcp, "TR-510", "Chinese");
    Type(RS_BLACK_MARK_TO_HOME, "-20");
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "-20");
    EXPECT_EQ(messages.Count(), 0u);
}

// Each list shows one item per value word, in either language: the item the
// user picks is the word a profile saves and the code the printer receives.
TEST(ReceiptPageLists, EveryListShowsOneItemPerValueWordInBothLanguages) {
    for (const SettingEntry& entry : RECEIPT_SETTINGS) {
        if (!entry.IsList()) continue;
        for (const int lang : {LANG_ENGLISH, LANG_CHINESE}) {
            EXPECT_EQ(ReceiptListItems(entry.pos, lang).size(), entry.words.size())
                << entry.key << ", language " << lang;
        }
    }
}

// ---- Frames the user's changes produce ---------------------------------------

class ReceiptPageFrames : public ReceiptPageTest {};

TEST_F(ReceiptPageFrames, SendCarriesExactlyTheChangedSettingsInItemOrder) {
    struct Case {
        const char* what;
        std::function<void()> change;
        std::string frame;
    };
    const Case cases[] = {
        {"nothing", [] {}, EMPTY_FRAME},
        {"language Chinese then paper 57mm",
         [this] {
             Choose(RS_PRINTER_LANGUAGE, 1);
             Choose(RS_PAPER_WIDE, 2);
         },
         Frame("1B 16 01 1B 38 02")},
        {"paper 57mm then language Chinese",
         [this] {
             Choose(RS_PAPER_WIDE, 2);
             Choose(RS_PRINTER_LANGUAGE, 1);
         },
         Frame("1B 16 01 1B 38 02")},
        {"direction, paper type, black mark",
         [this] {
             Choose(RS_BLACK_MARK, 1);
             Choose(RS_PRINTING_DIRECTION, 0);
             Choose(RS_PAPER_TYPE, 1);
         },
         Frame("1B 3A 00 1B 25 01 1B 22 01")},
        {"distances 10 and 5766",
         [this] {
             Type(RS_BLACK_MARK_TO_CUTTER, "5766");
             Type(RS_BLACK_MARK_TO_HOME, "10");
         },
         Frame("1B 2C 39 00 1B 2D B1 7F")},
        {"distances 12.5 and -54 pasted",
         [this] {
             Paste(RS_BLACK_MARK_TO_HOME, "12.5");
             Paste(RS_BLACK_MARK_TO_CUTTER, "-54");
         },
         Frame("1B 2C 47 00 1B 2D CE FE")},
        {"distance -35 pasted", [this] { Paste(RS_BLACK_MARK_TO_HOME, "-35"); }, Frame("1B 2C 3A FF")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartOn(Transport::Tcp);
        c.change();
        EXPECT_EQ(SendAndReceive(), c.frame);
        // The marks stay: the next send repeats the items.
        EXPECT_EQ(SendAndReceive(), c.frame);
        EXPECT_EQ(messages.Count(), 0u);
        window.reset();
    }
    EXPECT_EQ(printer->Setting(sim::ReceiptField::BlackMarkToHome), -198);
}

TEST_F(ReceiptPageFrames, Tr510NeverSendsTheCutterTheSecondModelAlwaysOnceSelected) {
    printer->SetSetting(sim::ReceiptField::Cutter, 1);
    // TR-510: the reply selects the hidden cutter list; it is still never sent.
    StartOn(Transport::Tcp, "TR-510");
    ClickAndSettle(IDC_RC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(List(RS_CUTTER_SWITCH)->currentIndex(), 1);
    EXPECT_EQ(SendAndReceive(), EMPTY_FRAME);
    Choose(RS_CUTTER_SWITCH, 0); // even picked by hand while hidden
    Choose(RS_PAPER_TYPE, 1);
    EXPECT_EQ(SendAndReceive(), Frame("1B 25 01"));
    window.reset();

    // The second model without a selection sends no cutter item (not 1B 34 00) ...
    UsePrinter(sim::ReceiptModel::TR520);
    StartOn(Transport::Tcp, "TR-520");
    EXPECT_EQ(SendAndReceive(), EMPTY_FRAME);
    EXPECT_EQ(printer->Setting(sim::ReceiptField::Cutter), 1);
    // ... and with one, every Send carries it, read or chosen.
    ClickAndSettle(IDC_RC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(ListText(RS_CUTTER_SWITCH), "On");
    EXPECT_EQ(SendAndReceive(), Frame("1B 34 01"));
    Choose(RS_CUTTER_SWITCH, 0);
    Choose(RS_PRINTER_LANGUAGE, 0);
    EXPECT_EQ(SendAndReceive(), Frame("1B 16 00 1B 34 00"));
    EXPECT_EQ(SendAndReceive(), Frame("1B 16 00 1B 34 00"));
    EXPECT_EQ(printer->Setting(sim::ReceiptField::Cutter), 0);
}

TEST_F(ReceiptPageFrames, ChangingTheModelToTr510DropsTheCutterItem) {
    UsePrinter(sim::ReceiptModel::TR520);
    StartOn(Transport::Tcp, "TR-520");
    Choose(RS_CUTTER_SWITCH, 1);
    EXPECT_EQ(SendAndReceive(), Frame("1B 34 01"));
    // The user picks TR-510 on the interface page and comes back.
    ChooseMenu(CPemberluxDlg::MENU_INTERFACE);
    ChooseModel(ModelById(ModelId::TR510).position);
    ChooseMenu(CPemberluxDlg::MENU_PRINTER_SETUP);
    EXPECT_FALSE(Rp().Control(IDC_RC_CUTTER_SWITCH)->isVisible());
    EXPECT_EQ(SendAndReceive(), EMPTY_FRAME);
}

TEST_F(ReceiptPageFrames, AMarkedDistanceWithoutANumberIsRefusedAtSend) {
    StartOn(Transport::Tcp, "TR-510", "Chinese");
    Type(RS_BLACK_MARK_TO_HOME, "5");
    Clear(RS_BLACK_MARK_TO_HOME);
    ASSERT_EQ(messages.Count(), 1u); // the check's own "Input integer please."
    EXPECT_TRUE(Rp().ChangedMarks().test(RS_BLACK_MARK_TO_HOME));
    Type(RS_BLACK_MARK_TO_CUTTER, "-");
    EXPECT_EQ(messages.Count(), 1u);
    Choose(RS_PAPER_WIDE, 1);

    printer->ClearReceived();
    Click(IDC_RC_SEND_SETTINGS);
    ASSERT_EQ(messages.Count(), 2u);
    EXPECT_EQ(messages.Messages()[1].text, "请输入数字");
    EXPECT_EQ(messages.Messages()[1].icon, std::nullopt);
    EXPECT_TRUE(Edit(RS_BLACK_MARK_TO_HOME)->hasFocus());
    // A lone sign is no number either.
    Type(RS_BLACK_MARK_TO_HOME, "7");
    Click(IDC_RC_SEND_SETTINGS);
    ASSERT_EQ(messages.Count(), 3u);
    EXPECT_TRUE(Edit(RS_BLACK_MARK_TO_CUTTER)->hasFocus());
    RunEventsFor(300ms);
    EXPECT_TRUE(printer->Received().empty());
    EXPECT_EQ(Rp().WorkersRunning(), 0);

    Type(RS_BLACK_MARK_TO_CUTTER, "3");
    EXPECT_EQ(SendAndReceive(), Frame("1B 38 01 1B 2C 28 00 1B 2D EF FF"));
    EXPECT_EQ(messages.Count(), 3u);
}

// ---- Distance check -------------------------------------------------------------

class ReceiptPageCheck : public ReceiptPageTest {};

TEST_F(ReceiptPageCheck, TheCheckAsTheUserTypes) {
    StartOn(Transport::Tcp, "TR-510", "Chinese");
    const char* const integer = "请输入数字";      // plain box
    const char* const tooLarge = "输入的值太大！"; // warning
    const int home = RS_BLACK_MARK_TO_HOME, cutter = RS_BLACK_MARK_TO_CUTTER;
    struct Step {
        int pos;
        std::function<void()> act;
        const char* text;
        const char* message; // nullptr: none
        bool marked;
    };
    const Step steps[] = {
        {home, [&] { Type(home, "x"); }, "", integer, false}, // a failed first key marks nothing
        {home, [&] { Type(home, "-"); }, "-", nullptr, true},
        {cutter, [&] { Type(cutter, "12-"); }, "12", integer, true},
        {cutter, [&] { Clear(cutter); }, "", integer, true},
        {cutter, [&] { Type(cutter, "-40"); }, "-40", nullptr, true},
        {home,
         [&] {
             Clear(home);
             Type(home, "-40");
         },
         "-35", tooLarge, true},
        {home,
         [&] {
             Clear(home);
             Type(home, "6000");
         },
         "5766", tooLarge, true},
        {home, [&] { Paste(home, "1e5"); }, "1", integer, true},
        {home, [&] { Paste(home, "0x7999"); }, "0", integer, true},
        {home, [&] { Paste(home, "1e999"); }, "1", integer, true},
    };
    for (const Step& s : steps) {
        messages.Clear();
        s.act();
        SCOPED_TRACE(s.text);
        EXPECT_EQ(EditText(s.pos), s.text);
        if (s.message) {
            ASSERT_GE(messages.Count(), 1u);
            const RecordedMessage last = messages.Messages().back();
            EXPECT_EQ(last.text, s.message);
            EXPECT_EQ(last.icon, s.message == tooLarge ? std::optional(MessageIcon::Warning) : std::nullopt);
        } else {
            EXPECT_EQ(messages.Count(), 0u);
        }
        EXPECT_EQ(Rp().ChangedMarks().test(static_cast<std::size_t>(s.pos)), s.marked);
    }
    // Only numbers reach the printer: 1 mm (6 units) and -40 mm.
    EXPECT_EQ(SendAndReceive(), Frame("1B 2C 06 00 1B 2D 1D FF"));
}

// ---- Settings replies ----------------------------------------------------------

class ReceiptPageReplies : public ReceiptPageTest {};

TEST_F(ReceiptPageReplies, ReplyFillsTheListsTheEditsAndTheSerialSettingsOverEveryTransport) {
    for (Transport transport : {Transport::Tcp, Transport::Usb, Transport::Serial}) {
        SCOPED_TRACE(TransportName(transport));
        UsePrinter(sim::ReceiptModel::TR520);
        printer->SetSetting(sim::ReceiptField::Language, 1);
        printer->SetSetting(sim::ReceiptField::PaperWidth, 2);
        printer->SetSetting(sim::ReceiptField::PaperType, 1);
        printer->SetSetting(sim::ReceiptField::BlackMark, 1);
        printer->SetSetting(sim::ReceiptField::BlackMarkToHome, -198);
        printer->SetSetting(sim::ReceiptField::BlackMarkToCutter, 57);
        printer->SetSerialConfig(0x9B); // 9600, Xon/Xoff, even, 1 stop bit, 7 data bits
        StartOn(transport, "TR-520");
        ClickAndSettle(IDC_RC_GET_PRINTER_SETTINGS);

        EXPECT_EQ(ListText(RS_PRINTER_LANGUAGE), "Chinese");
        EXPECT_EQ(ListText(RS_CUTTER_SWITCH), "On");
        EXPECT_EQ(ListText(RS_PAPER_WIDE), "57mm");
        EXPECT_EQ(ListText(RS_PRINTING_DIRECTION), "Bidirectional");
        EXPECT_EQ(ListText(RS_PAPER_TYPE), "Multipart");
        EXPECT_EQ(ListText(RS_BLACK_MARK), "On");
        EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "-34.9");
        EXPECT_EQ(EditText(RS_BLACK_MARK_TO_CUTTER), "10.1");
        EXPECT_EQ(messages.Count(), 0u);

        // The serial line the printer reported reaches the main window and the file.
        ASSERT_EQ(spy->reports.size(), 1u);
        const PortSettings& s = window->MasterSettings();
        EXPECT_EQ(s.baudRate, "9600");
        EXPECT_EQ(s.flowControl, "Xon/Xoff");
        EXPECT_EQ(s.parity, "Even");
        EXPECT_EQ(s.stopBits, "1");
        EXPECT_EQ(s.dataBits, "7");
        const std::string file = SettingsText();
        for (const char* line : {"Baudrate=9600\r\n", "FlowControl=Xon/Xoff\r\n", "ParitySetup=Even\r\n",
                                 "DataBit=7\r\n", "StopBit=1\r\n"})
            EXPECT_NE(file.find(line), std::string::npos) << line;

        // Showing what was read marks nothing but the cutter, which the second model always sends.
        EXPECT_EQ(Rp().ChangedMarks(), ReceiptChangedMarks().set(RS_CUTTER_SWITCH));
        EXPECT_EQ(SendAndReceive(), Frame("1B 34 01"));
        window.reset();
    }
}

TEST_F(ReceiptPageReplies, OnlyTheFieldsWhoseBytesArrivedChange) {
    printer->SetSetting(sim::ReceiptField::PaperWidth, 1);
    printer->SetSetting(sim::ReceiptField::BlackMarkToHome, 57);
    StartOn(Transport::Tcp);
    ClickAndSettle(IDC_RC_GET_PRINTER_SETTINGS);
    const std::vector<int> first = Selections();
    EXPECT_EQ(first, (std::vector<int>{0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "10.1");

    // The printer now answers 4 bytes of a changed state, then a paper width out of range.
    printer->SetSetting(sim::ReceiptField::Language, 1);
    printer->SetSetting(sim::ReceiptField::PaperType, 1);
    printer->SetSetting(sim::ReceiptField::BlackMarkToHome, 0);
    printer->SetSerialConfig(0x26); // 57600, odd
    sim::Faults cut;
    cut.shortAnswer = 4;
    printer->SetFaults(cut);
    ClickAndSettle(IDC_RC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(Selections(), (std::vector<int>{1, 0, 1, 1, 0, 0}));
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "10.1");
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_CUTTER), "15.0");
    EXPECT_EQ(window->MasterSettings().baudRate, "57600");
    EXPECT_EQ(window->MasterSettings().parity, "Odd");

    printer->SetFaults({});
    printer->SetSetting(sim::ReceiptField::PaperWidth, 3);
    ClickAndSettle(IDC_RC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(ListText(RS_PAPER_WIDE), "69mm");
    EXPECT_EQ(ListText(RS_PAPER_TYPE), "Multipart");
    EXPECT_EQ(EditText(RS_BLACK_MARK_TO_HOME), "0.0");
    EXPECT_EQ(messages.Count(), 0u);
}

} // namespace
} // namespace pemberlux
