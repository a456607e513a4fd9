// The label settings page: its controls in both languages, what the user's
// changes put into the frame the printer receives, what a settings reply puts
// into the lists, the edits and the main window, the range check of the edits
// and the Emulation list rule.
#include "LabelPageFixture.h"

#include <QLabel>

namespace pemberlux {
namespace {

using namespace test;

const Bytes EMPTY_FRAME = Hex("1B 0D 53 1B 10 45");

Bytes Frame(const std::string& items) {
    return Hex("1B 0D 53 " + items + " 1B 10 45");
}

class LabelPageControls : public LabelPageTest {};

TEST_F(LabelPageControls, EnglishPageHasItsControlsTextsAndTips) {
    LabelPage& page = StartOn(Transport::Tcp);
    EXPECT_TRUE(page.isVisible());
    EXPECT_EQ(page.ControlText(IDC_PAGE_MODE_LABEL), "Page Mode:");
    EXPECT_EQ(page.ControlText(IDC_PAPER_SENSOR_SELECTION_LABEL), "Paper sensor selection:");
    EXPECT_EQ(page.ControlText(1083), "Serial Number:");
    EXPECT_EQ(page.ControlText(1333), "Firmware Version:");
    EXPECT_EQ(page.ControlText(1249), "Mileage of Print Head:");
    EXPECT_EQ(page.ControlText(IDC_SEND_SETTINGS), "Send Settings");
    EXPECT_EQ(page.ControlText(IDC_CALIBRATE_LABEL), "Calibrate label");
    EXPECT_EQ(Items(LS_PRINT_METHOD), (std::vector<std::string>{"Thermal Transfer", "Direct Thermal"}));
    EXPECT_EQ(Items(LS_PRINT_DENSITY), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Items(LS_EMULATION), (std::vector<std::string>{"ZPL", "EPL", "TSPL"}));
    for (const LabelControl& info : LABEL_CONTROLS) {
        if (info.IsList()) {
            EXPECT_EQ(List(info.pos)->currentIndex(), -1) << LABEL_SETTINGS[info.pos].key;
            EXPECT_EQ(List(info.pos)->accessibleName().toStdString(), page.ControlText(info.labelControl));
        } else {
            EXPECT_EQ(EditText(info.pos), "") << LABEL_SETTINGS[info.pos].key;
        }
    }
    EXPECT_EQ(Edit(LS_PRINT_HOME_OFFSET)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    for (int id : {IDC_SERIAL_NUMBER, IDC_FIRMWARE_VERSION, IDC_PRINT_HEAD_MILEAGE})
        EXPECT_TRUE(page.ControlAs<QLineEdit>(id)->isReadOnly()) << id;
    EXPECT_EQ(page.Control(IDC_PAGE_MODE)->toolTip().toStdString(), "Set the page mode to Off or On");
    EXPECT_EQ(page.Control(IDC_PRINT_METHOD)->toolTip().toStdString(),
              "Set the type of printing,Transfer thermal or Direct thermal.");
    EXPECT_EQ(page.Control(IDC_SEND_SETTINGS)->toolTip().toStdString(),
              "Set the printer's settings to the options that have change or is default value.");
    EXPECT_TRUE(page.Control(IDC_PRINT_SELF_TEST)->toolTip().isEmpty());
    EXPECT_TRUE(ButtonsEnabled());

    // The arrangement: two columns of lists, the edits under the right one,
    // two rows of four buttons at the bottom.
    auto pos = [&](int id) { return page.Control(id)->mapTo(&page, QPoint(0, 0)); };
    EXPECT_LT(pos(IDC_PAGE_MODE).x(), pos(IDC_PRINT_DENSITY).x());
    EXPECT_EQ(pos(IDC_PAGE_MODE).y(), pos(IDC_PRINT_DENSITY).y());
    EXPECT_EQ(pos(IDC_TOP_FORM_SENSING).y(), pos(IDC_PAPER_SENSOR_SELECTION).y());
    EXPECT_LT(pos(IDC_TOP_FORM_SENSING).y(), pos(IDC_SERIAL_NUMBER).y());
    EXPECT_EQ(pos(IDC_SERIAL_NUMBER).y(), pos(IDC_PRINT_HOME_OFFSET).y());
    EXPECT_EQ(pos(IDC_PRINT_HEAD_MILEAGE).y(), pos(IDC_BLACK_MARK_AD_VALUE).y());
    EXPECT_LT(pos(IDC_BLACK_MARK_AD_VALUE).y(), pos(IDC_GET_SERIAL_NUMBER).y());
    EXPECT_EQ(pos(IDC_GET_SERIAL_NUMBER).y(), pos(IDC_CALIBRATE_LABEL).y());
    EXPECT_LT(pos(IDC_GET_SERIAL_NUMBER).y(), pos(IDC_GET_PRINTER_SETTINGS).y());
    EXPECT_EQ(pos(IDC_GET_PRINTER_SETTINGS).y(), pos(IDC_SEND_SETTINGS).y());
    EXPECT_LT(pos(IDC_GET_PRINTER_SETTINGS).x(), pos(IDC_PRINT_SELF_TEST).x());
    EXPECT_LT(pos(IDC_RESET_ALL_SETTINGS).x(), pos(IDC_SEND_SETTINGS).x());
}

TEST_F(LabelPageControls, ChinesePageHasChineseTextsAndTheFourEmulations) {
    LabelPage& page = StartOn(Transport::Tcp, "Label Printer(200DPI)", "Chinese");
    EXPECT_EQ(page.ControlText(IDC_PAGE_MODE_LABEL), "页模式：");
    EXPECT_EQ(page.ControlText(IDC_PRINT_DENSITY_LABEL), "打印浓度: ");
    EXPECT_EQ(page.ControlText(1089), "打印机机号：");
    EXPECT_EQ(page.ControlText(1083), "打印机版本号：");
    EXPECT_EQ(page.ControlText(1091), "打印头里程数：");
    EXPECT_EQ(page.ControlText(IDC_SEND_SETTINGS), "确认修改");
    EXPECT_EQ(Items(LS_CUT_MODE), (std::vector<std::string>{"关", "开"}));
    EXPECT_EQ(Items(LS_PAPER_SENSOR_SELECTION), (std::vector<std::string>{"反射", "穿透"}));
    EXPECT_EQ(Items(LS_EMULATION), (std::vector<std::string>{"ESC/POS", "ZPL", "EPL", "TSPL"}));
    EXPECT_EQ(page.Control(IDC_GET_PRINTER_SETTINGS)->toolTip().toStdString(), "读取打印机当前的设置");
}

// ---- Frames the user's changes produce ---------------------------------------

class LabelPageFrames : public LabelPageTest {};

TEST_F(LabelPageFrames, SendCarriesExactlyTheChangedSettings) {
    struct Case {
        const char* what;
        std::function<void()> change;
        Bytes frame;
    };
    const Case cases[] = {
        {"nothing", [] {}, EMPTY_FRAME},
        {"Print Speed 3", [this] { Choose(LS_PRINT_SPEED, 2); }, Frame("1B 30 03")},
        {"offsets 12.5 and -3",
         [this] {
             Type(LS_CUTTING_POSITION_OFFSET, "-3");
             Type(LS_PRINT_HOME_OFFSET, "12.5");
         },
         Frame("1B 2C 64 00 1B 2D E8 FF")},
        {"offsets 0.1, -0.1 and -0.2 (truncated toward zero)",
         [this] {
             Type(LS_PRINT_HOME_OFFSET, "0.1");
             Type(LS_CUTTING_POSITION_OFFSET, "-0.1");
         },
         Frame("1B 2C 00 00 1B 2D 00 00")},
        {"offset -0.2", [this] { Type(LS_CUTTING_POSITION_OFFSET, "-0.2"); }, Frame("1B 2D FF FF")},
        {"AD value 300", [this] { Type(LS_BLACK_MARK_AD_VALUE, "300"); }, Frame("1B 28 2C 01")},
        {"three-item Emulation TSPL and Cut Mode On",
         [this] {
             Choose(LS_CUT_MODE, 1);
             Choose(LS_EMULATION, 2);
         },
         Frame("1B 24 03 1B 34 01")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartOn(Transport::Tcp);
        c.change();
        EXPECT_EQ(HexText(SendAndReceive()), HexText(c.frame));
        EXPECT_EQ(messages.Count(), 0u);
        window.reset();
    }
}

TEST_F(LabelPageFrames, FourItemEmulationSendsTheListIndex) {
    StartOn(Transport::Tcp, "Label Printer(200DPI)", "Chinese");
    Choose(LS_EMULATION, 0); // ESC/POS
    EXPECT_EQ(HexText(SendAndReceive()), HexText(Frame("1B 24 00")));
    EXPECT_EQ(printer->Setting(LS_EMULATION), 0);
}

TEST_F(LabelPageFrames, SendingKeepsTheMarksSoTheNextSendRepeatsThem) {
    StartOn(Transport::Serial);
    Choose(LS_PEELER, 1);
    EXPECT_EQ(HexText(SendAndReceive()), HexText(Frame("1B 2A 01")));
    EXPECT_EQ(HexText(SendAndReceive()), HexText(Frame("1B 2A 01")));
    EXPECT_EQ(printer->Setting(LS_PEELER), 1);
    // Each send reported the page's settings to the main window, which saved them.
    EXPECT_EQ(spy->reports.size(), 2u);
    EXPECT_EQ(SettingsText(), FormatSettings(window->MasterSettings()));
}

TEST_F(LabelPageFrames, TheAdValueEditTakesDigitsFromTheKeyboardAndAnythingPasted) {
    StartOn(Transport::Tcp);
    Type(LS_BLACK_MARK_AD_VALUE, "-1x2");
    EXPECT_EQ(EditText(LS_BLACK_MARK_AD_VALUE), "12");
    Paste(LS_BLACK_MARK_AD_VALUE, "-1");
    EXPECT_EQ(EditText(LS_BLACK_MARK_AD_VALUE), "-1");
    EXPECT_EQ(HexText(SendAndReceive()), HexText(Frame("1B 28 FF FF")));

    // -1 goes out as its two's complement and reads back as 65535.
    EXPECT_EQ(printer->Setting(LS_BLACK_MARK_AD_VALUE), 65535);
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(EditText(LS_BLACK_MARK_AD_VALUE), "65535");
}

// ---- Range check -------------------------------------------------------------

class LabelPageRange : public LabelPageTest {};

TEST_F(LabelPageRange, TypingBeyond4095ClampsWarnsAndMarks) {
    StartOn(Transport::Tcp);
    Type(LS_PRINT_HOME_OFFSET, "5000");
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "The value is too large!");
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(EditText(LS_PRINT_HOME_OFFSET), "4095");
    EXPECT_TRUE(Lp().ChangedMarks().test(LS_PRINT_HOME_OFFSET));

    // Only the integer part is checked.
    Type(LS_CUTTING_POSITION_OFFSET, "4095.9");
    EXPECT_EQ(messages.Count(), 1u);
    EXPECT_EQ(EditText(LS_CUTTING_POSITION_OFFSET), "4095.9");

    Paste(LS_BLACK_MARK_AD_VALUE, "-5000");
    ASSERT_EQ(messages.Count(), 2u);
    EXPECT_EQ(messages.Messages()[1].text, "The value is too large!");
    EXPECT_EQ(EditText(LS_BLACK_MARK_AD_VALUE), "-4095");
    // 4095 mm = 32760 dots; 4095.9 mm = 32767 dots; -4095 = F001.
    EXPECT_EQ(HexText(SendAndReceive()), HexText(Frame("1B 2C F8 7F 1B 2D FF 7F 1B 28 01 F0")));
}

// ---- Settings replies ----------------------------------------------------------

class LabelPageReplies : public LabelPageTest {};

TEST_F(LabelPageReplies, ReplyFillsTheListsAtOnceAndTheEditsAfterTheRefresh) {
    printer->SetSetting(LS_PRINT_HOME_OFFSET, 100);       // 64 00
    printer->SetSetting(LS_CUTTING_POSITION_OFFSET, -16); // F0 FF
    printer->SetSetting(LS_BLACK_MARK_AD_VALUE, 300);
    printer->SetSetting(LS_PRINT_DENSITY, 4);
    printer->SetSerialConfig(0x13);
    StartOn(Transport::Tcp);
    std::optional<Clock::time_point> listAt, editAt;
    QObject::connect(List(LS_PRINT_DENSITY), &QComboBox::currentIndexChanged, &Lp(), [&] { listAt = Clock::now(); });
    QObject::connect(Edit(LS_PRINT_HOME_OFFSET), &QLineEdit::textChanged, &Lp(), [&] { editAt = Clock::now(); });

    Click(IDC_GET_PRINTER_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return editAt.has_value(); }));
    ASSERT_TRUE(listAt.has_value());
    EXPECT_GE(*editAt - *listAt, 80ms);
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(EditText(LS_PRINT_HOME_OFFSET), "12.50");
    EXPECT_EQ(EditText(LS_CUTTING_POSITION_OFFSET), "-2.00");
    EXPECT_EQ(EditText(LS_BLACK_MARK_AD_VALUE), "300");
    EXPECT_EQ(List(LS_PRINT_DENSITY)->currentText().toStdString(), "5");
    EXPECT_EQ(List(LS_PRINT_METHOD)->currentText().toStdString(), "Direct Thermal");
    EXPECT_EQ(List(LS_PRINT_SPEED)->currentText().toStdString(), "3");
    EXPECT_EQ(List(LS_EMULATION)->currentText().toStdString(), "TSPL");
    EXPECT_EQ(printer->Received(), Bytes(LB_FRAME_READ_SETTINGS.begin(), LB_FRAME_READ_SETTINGS.end()));

    // Byte 7 = 0x13: 9600 baud, odd parity, 1 stop bit, 8 data bits, handed to
    // the main window with the refresh and saved.
    ASSERT_EQ(spy->reports.size(), 1u);
    EXPECT_GE(spy->reports[0].at - *listAt, 80ms);
    PortSettings expected = window->MasterSettings();
    EXPECT_EQ(expected.baudRate, "9600");
    EXPECT_EQ(expected.parity, "Odd");
    EXPECT_EQ(expected.stopBits, "1");
    EXPECT_EQ(expected.dataBits, "8");
    EXPECT_EQ(spy->reports[0].settings, expected);
    EXPECT_EQ(SettingsText(), FormatSettings(expected));
    EXPECT_EQ(messages.Count(), 0u);

    // Texts the page wrote itself are no user changes: nothing is marked.
    EXPECT_EQ(HexText(SendAndReceive()), HexText(EMPTY_FRAME));
}

// What the page shows of an offset goes back as the same dots when sent.
TEST_F(LabelPageReplies, ShownOffsetsGoBackAsTheDotsTheyCameAs) {
    struct Case {
        std::int16_t home, cut;
        const char *homeText, *cutText;
        const char* frame;
    } const cases[] = {
        {1, -1, "0.13", "-0.13", "1B 2C 01 00 1B 2D FF FF"},
        {5, -3, "0.63", "-0.38", "1B 2C 05 00 1B 2D FD FF"},
        {32767, -32767, "4095.88", "-4095.88", "1B 2C FF 7F 1B 2D 01 80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.homeText);
        printer->SetSetting(LS_PRINT_HOME_OFFSET, c.home);
        printer->SetSetting(LS_CUTTING_POSITION_OFFSET, c.cut);
        StartOn(Transport::Tcp);
        Click(IDC_GET_PRINTER_SETTINGS);
        ASSERT_TRUE(WaitUntil([&] { return EditText(LS_CUTTING_POSITION_OFFSET) == c.cutText; }))
            << EditText(LS_CUTTING_POSITION_OFFSET);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(EditText(LS_PRINT_HOME_OFFSET), c.homeText);
        // The user confirms both values as shown.
        Type(LS_PRINT_HOME_OFFSET, EditText(LS_PRINT_HOME_OFFSET));
        Type(LS_CUTTING_POSITION_OFFSET, EditText(LS_CUTTING_POSITION_OFFSET));
        EXPECT_EQ(HexText(SendAndReceive()), HexText(Frame(c.frame)));
        EXPECT_EQ(printer->Setting(LS_PRINT_HOME_OFFSET), c.home);
        EXPECT_EQ(printer->Setting(LS_CUTTING_POSITION_OFFSET), c.cut);
        EXPECT_EQ(messages.Count(), 0u);
        window.reset();
    }
}

TEST_F(LabelPageReplies, SerialLineReportedByThePrinterReachesTheMainWindowAndTheFile) {
    printer->SetSerialConfig(0x05); // 38400, no parity, 1 stop bit, 8 data bits
    StartOn(Transport::Serial);
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    ASSERT_EQ(spy->reports.size(), 1u);
    EXPECT_EQ(spy->reports[0].settings.baudRate, "38400");
    EXPECT_EQ(window->MasterSettings().baudRate, "38400");
    EXPECT_EQ(CurrentPortSettings.Get().baudRate, "38400");
    EXPECT_NE(SettingsText().find("Baudrate=38400\r\n"), std::string::npos);
    EXPECT_EQ(Label(CPemberluxDlg::IDC_INTERFACE_LABEL), "  " + pty->Path() + "|38400");
}

TEST_F(LabelPageReplies, BytesOutsideAListLeaveItWithoutOrWithItsSelection) {
    printer->SetSetting(LS_PRINT_SPEED, 0); // item index -1
    printer->SetSetting(LS_EMULATION, 0);   // ESC/POS: not in the three-item list
    printer->SetSetting(LS_PAGE_MODE, 0x80);
    StartOn(Transport::Tcp);
    Choose(LS_PRINT_SPEED, 1);
    Choose(LS_EMULATION, 1); // EPL
    Choose(LS_PAGE_MODE, 1);
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(List(LS_PRINT_SPEED)->currentIndex(), -1);
    EXPECT_EQ(List(LS_PAGE_MODE)->currentIndex(), -1);
    EXPECT_EQ(List(LS_EMULATION)->currentText().toStdString(), "EPL");
    // The marked lists without a selection stay out of the frame.
    EXPECT_EQ(HexText(SendAndReceive()), HexText(Frame("1B 24 02")));
}

// ---- Emulation list rule -----------------------------------------------------

TEST_F(LabelPageControls, EmulationListFollowsTheModelTheNextTimeThePageIsShown) {
    StartOn(Transport::Tcp, "Label Printer(200DPI)", "Chinese");
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(List(LS_EMULATION)->currentText().toStdString(), "TSPL"); // byte 3 in the four-item list
    Choose(LS_EMULATION, 0);

    ChooseMenu(CPemberluxDlg::MENU_INTERFACE);
    ChooseModel(1); // Label Printer(300DPI)
    ChooseMenu(CPemberluxDlg::MENU_PRINTER_SETUP);
    EXPECT_EQ(Items(LS_EMULATION), (std::vector<std::string>{"ZPL", "EPL", "TSPL"}));
    EXPECT_EQ(List(LS_EMULATION)->currentIndex(), -1);
    EXPECT_EQ(HexText(SendAndReceive()), HexText(EMPTY_FRAME));

    // The three-item list now reads byte 3 as TSPL and sends TSPL as 3.
    ClickAndSettle(IDC_GET_PRINTER_SETTINGS);
    EXPECT_EQ(List(LS_EMULATION)->currentText().toStdString(), "TSPL");
    Choose(LS_EMULATION, 0);
    EXPECT_EQ(HexText(SendAndReceive()), HexText(Frame("1B 24 01")));

    ChooseMenu(CPemberluxDlg::MENU_INTERFACE);
    ChooseModel(0);
    ChooseMenu(CPemberluxDlg::MENU_PRINTER_SETUP);
    EXPECT_EQ(Items(LS_EMULATION), (std::vector<std::string>{"ESC/POS", "ZPL", "EPL", "TSPL"}));
    EXPECT_EQ(List(LS_EMULATION)->currentIndex(), -1);
}

} // namespace
} // namespace pemberlux
