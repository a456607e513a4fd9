#include "ui/testitems/TestItemDialog.h"

#include "core/base/HexText.h"
#include "core/base/Models.h"
#include "core/base/UiText.h"
#include "ui/toolkit/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <chrono>
#include <vector>

namespace pemberlux {

namespace {

// Whether the model has no cutter: its cutter tests are off once the page has been used.
bool WithoutCutter(const std::string& modelName) {
    const PrinterModel* model = ModelByName(modelName);
    return model && model->family == PrinterFamily::Receipt && !model->cutter;
}

// The printer a running job talks to: a change of it ends the repeating test.
bool SamePrinter(const PortSettings& a, const PortSettings& b) {
    return a.modelName == b.modelName && a.portKind == b.portKind && a.comName == b.comName && a.lptName == b.lptName &&
           a.ipAddress == b.ipAddress && a.tcpPort == b.tcpPort;
}

} // namespace

CTestItemDialog::CTestItemDialog(QWidget* parent) : CPage(IDD, parent) {
    BuildPage();
    ConnectButtons();
    // Tips are on, with none registered.
    SetToolTipColour(QColor(0, 0, 0));
}

CTestItemDialog::~CTestItemDialog() {
    StopWorkers();
}

void CTestItemDialog::BuildPage() {
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    auto button = [this](int id) {
        auto* b = Bind(id, new QPushButton(Text(std::to_string(id))));
        b->setAutoDefault(false);
        return b;
    };
    auto styleButton = [this](int id) {
        auto* b = Bind(id, new QPushButton(Text(std::to_string(id))));
        b->setCheckable(true);
        b->setAutoDefault(false);
        return b;
    };
    auto list = [this](int id) {
        auto* l = Bind(id, new QComboBox, TemplateText(IDD, "label." + std::to_string(id)));
        for (const std::string& item : TemplateItems(IDD, id))
            l->addItem(QString::fromStdString(item));
        return l;
    };
    auto label = [this](const std::string& key, QWidget* buddy) {
        auto* l = new QLabel(Text(key));
        l->setBuddy(buddy);
        return l;
    };
    auto group = [this](const std::string& key) {
        auto* g = new QGroupBox(Text(key));
        g->setAccessibleName(g->title());
        return g;
    };

    // Chinese: area, font style, start.
    auto* chinese = group("group.Chinese");
    auto* chineseGrid = new QGridLayout(chinese);
    auto* area = list(IDC_CHINESE_AREA);
    chineseGrid->addWidget(label("label.1156", area), 0, 0);
    chineseGrid->addWidget(area, 0, 1, Qt::AlignLeft);
    auto* chineseStyle = new QHBoxLayout;
    for (int id : {IDC_CHINESE_DOUBLE_WIDTH, IDC_CHINESE_DOUBLE_HEIGHT, IDC_CHINESE_UNDERLINE})
        chineseStyle->addWidget(styleButton(id));
    chineseStyle->addStretch();
    chineseGrid->addWidget(label("label.1157", Control(IDC_CHINESE_DOUBLE_WIDTH)), 1, 0);
    chineseGrid->addLayout(chineseStyle, 1, 1);
    chineseGrid->addWidget(button(IDC_CHINESE_START), 0, 2);
    chineseGrid->addWidget(button(IDC_CHINESE_STOP), 1, 2);
    Control(IDC_CHINESE_STOP)->hide();
    chineseGrid->setColumnStretch(1, 1);
    layout->addWidget(chinese);

    // ASCII: text, font, font style, start and stop.
    auto* ascii = group("group.ASCII");
    auto* asciiGrid = new QGridLayout(ascii);
    auto* texts = new QHBoxLayout;
    for (int id : {IDC_ASCII_PRINT, IDC_H_PRINT, IDC_I_PRINT})
        texts->addWidget(Bind(id, new QRadioButton(Text(std::to_string(id)))));
    texts->addSpacing(12);
    auto* font = list(IDC_FONT);
    texts->addWidget(label("label.1167", font));
    texts->addWidget(font);
    texts->addStretch();
    asciiGrid->addLayout(texts, 0, 0, 1, 2);
    auto* asciiStyle = new QHBoxLayout;
    for (int id : {IDC_ASCII_DOUBLE_WIDTH, IDC_ASCII_DOUBLE_HEIGHT, IDC_ASCII_UNDERLINE})
        asciiStyle->addWidget(styleButton(id));
    asciiStyle->addStretch();
    asciiGrid->addWidget(label("label.1169", Control(IDC_ASCII_DOUBLE_WIDTH)), 1, 0);
    asciiGrid->addLayout(asciiStyle, 1, 1);
    asciiGrid->addWidget(button(IDC_ASCII_START), 0, 2);
    asciiGrid->addWidget(button(IDC_ASCII_STOP), 1, 2);
    asciiGrid->setColumnStretch(1, 1);
    layout->addWidget(ascii);

    // Black mark.
    auto* blackMark = group("group.BlackMark");
    auto* blackMarkRow = new QHBoxLayout(blackMark);
    for (int id : {IDC_BLACK_MARK_ENABLE, IDC_BLACK_MARK_DISABLE, IDC_BLACK_MARK_TEST, IDC_BLACK_MARK_END})
        blackMarkRow->addWidget(button(id));
    Control(IDC_BLACK_MARK_END)->hide();
    blackMarkRow->addWidget(Bind(IDC_CUT_AFTER_PRINT, new QCheckBox(Text("1181"))));
    blackMarkRow->addStretch();
    layout->addWidget(blackMark);

    // Test: black bar, test file, drawers, cutter, baud rate.
    auto* test = group("group.Test");
    auto* testGrid = new QGridLayout(test);
    const int rows[2][4] = {{IDC_BLACK_PRN, IDC_TEST_PRN, IDC_DRAWER1, IDC_DRAWER2},
                            {IDC_CUT_ENABLE, IDC_CUT_DISABLE, IDC_FULL_CUT, IDC_PARTIAL_CUT}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            testGrid->addWidget(button(rows[r][c]), r, c);
    auto* baudRow = new QHBoxLayout;
    auto* baud = list(IDC_BAUD_RATE);
    baudRow->addWidget(label("label.1192", baud));
    baudRow->addWidget(baud);
    baudRow->addWidget(button(IDC_BAUD_OK));
    baudRow->addStretch();
    testGrid->addLayout(baudRow, 2, 0, 1, 4);
    layout->addWidget(test);

    // Power test: never shown.
    auto* power = group("group.PowerTest");
    auto* powerRow = new QHBoxLayout(power);
    for (int id : {IDC_CARRIAGE, IDC_FEED, IDC_HEAD_PIN})
        powerRow->addWidget(button(id));
    power->hide();
    layout->addWidget(power);
    layout->addStretch();

    area->setCurrentIndex(0);
    font->setCurrentIndex(0);
    ControlAs<QRadioButton>(IDC_ASCII_PRINT)->setChecked(true);
    baud->setCurrentIndex(3); // 9600
}

void CTestItemDialog::ConnectButtons() {
    auto on = [this](int id, std::function<void()> handler) {
        connect(ControlAs<QPushButton>(id), &QPushButton::clicked, this, [handler = std::move(handler)] { handler(); });
    };
    on(IDC_CHINESE_START, [this] { OnChineseTest(); });
    on(IDC_ASCII_START, [this] { OnAsciiTest(); });
    on(IDC_CHINESE_STOP, [this] { OnStopTest(); });
    on(IDC_ASCII_STOP, [this] { OnStopTest(); });
    on(IDC_BLACK_MARK_TEST,
       [this] { SendOnce(BlackMarkTestBytes(ControlAs<QCheckBox>(IDC_CUT_AFTER_PRINT)->isChecked())); });
    on(IDC_BLACK_PRN, [this] { SendOnce(BlackBarBytes()); });
    on(IDC_TEST_PRN, [this] { OnTestFile(); });
    on(IDC_BAUD_OK, [this] { SendOnce(BaudRateBytes(ControlAs<QComboBox>(IDC_BAUD_RATE)->currentIndex())); });
    const std::pair<int, TestCommand> fixed[] = {
        {IDC_BLACK_MARK_ENABLE, TestCommand::BlackMarkEnable},
        {IDC_BLACK_MARK_DISABLE, TestCommand::BlackMarkDisable},
        {IDC_CUT_ENABLE, TestCommand::CutEnable},
        {IDC_CUT_DISABLE, TestCommand::CutDisable},
        {IDC_FULL_CUT, TestCommand::FullCut},
        {IDC_PARTIAL_CUT, TestCommand::PartialCut},
        {IDC_DRAWER1, TestCommand::Drawer1},
        {IDC_DRAWER2, TestCommand::Drawer2},
        {IDC_CARRIAGE, TestCommand::Carriage},
        {IDC_FEED, TestCommand::Feed},
        {IDC_HEAD_PIN, TestCommand::HeadPin},
    };
    for (const auto& [id, command] : fixed)
        on(id, [this, command] { SendOnce(TestCommandBytes(command)); });
    // "End Black Mark Test" and the font list do nothing.
}

FontStyle CTestItemDialog::StyleOf(int doubleWidth, int doubleHeight, int underline) const {
    auto checked = [this](int id) { return ControlAs<QPushButton>(id)->isChecked(); };
    return {checked(doubleWidth), checked(doubleHeight), checked(underline)};
}

void CTestItemDialog::SetSettings(const PortSettings& settings) {
    // The repeating test would go on printing on a printer no longer chosen.
    if (!SamePrinter(settings, settings_)) asciiStop_.request_stop();
    CPage::SetSettings(settings);
}

void CTestItemDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) asciiStop_.request_stop();
    CPage::changeEvent(event);
}

void CTestItemDialog::UpdateTestButtons(bool enabled) {
    for (int id : TEST_BUTTONS)
        EnableControl(id, enabled);
    const bool noCutter = WithoutCutter(settings_.modelName);
    for (int id : CUTTER_BUTTONS)
        EnableControl(id, enabled && !noCutter);
    if (noCutter) EnableControl(IDC_CUT_AFTER_PRINT, false);
}

bool CTestItemDialog::StartTestJob(std::function<void(const std::stop_token&)> body) {
    std::vector<int> holds(TEST_BUTTONS.begin(), TEST_BUTTONS.end());
    holds.insert(holds.end(), CUTTER_BUTTONS.begin(), CUTTER_BUTTONS.end());
    const bool started = StartJob(std::move(holds), [this, body = std::move(body)](std::stop_token stop) {
        body(stop);
        RunOnGuiThread([this] { UpdateTestButtons(true); });
    });
    if (started) UpdateTestButtons(false);
    return started;
}

bool CTestItemDialog::Send(const std::stop_token& stop, const PortSettings& snapshot, const UsbSelection& usb,
                           std::span<const std::uint8_t> bytes) {
    const SendResult result = SendToPrinter(snapshot, usb, bytes, {stop});
    if (result.message) ShowOpenMessage(this, *result.message, result.open);
    return result.Ok();
}

void CTestItemDialog::SendOnce(Bytes bytes) {
    StartTestJob([this, snapshot = settings_, usb = UsbSelection::Current(),
                  bytes = std::move(bytes)](const std::stop_token& stop) { Send(stop, snapshot, usb, bytes); });
}

void CTestItemDialog::OnChineseTest() {
    const int area = ControlAs<QComboBox>(IDC_CHINESE_AREA)->currentIndex();
    SendOnce(
        ChineseTestBytes(area, StyleOf(IDC_CHINESE_DOUBLE_WIDTH, IDC_CHINESE_DOUBLE_HEIGHT, IDC_CHINESE_UNDERLINE)));
}

void CTestItemDialog::OnAsciiTest() {
    AsciiText text = AsciiText::None;
    if (ControlAs<QRadioButton>(IDC_ASCII_PRINT)->isChecked()) text = AsciiText::Alphabet;
    if (ControlAs<QRadioButton>(IDC_H_PRINT)->isChecked()) text = AsciiText::LetterH;
    if (ControlAs<QRadioButton>(IDC_I_PRINT)->isChecked()) text = AsciiText::LetterI;
    const bool fontA = ControlAs<QComboBox>(IDC_FONT)->currentIndex() == 0;
    Bytes bytes =
        AsciiTestBytes(text, fontA, StyleOf(IDC_ASCII_DOUBLE_WIDTH, IDC_ASCII_DOUBLE_HEIGHT, IDC_ASCII_UNDERLINE));
    // Stop test ends it, and so does the window closing.
    std::stop_source running;
    const bool started = StartTestJob([this, snapshot = settings_, usb = UsbSelection::Current(),
                                       bytes = std::move(bytes), running](const std::stop_token& window) {
        std::stop_callback closing(window, [running]() mutable { running.request_stop(); });
        const std::stop_token stop = running.get_token();
        while (SleepFor(stop, std::chrono::milliseconds(ASCII_TEST_INTERVAL_MS))) {
            if (!Send(stop, snapshot, usb, bytes)) break;
        }
    });
    if (started) asciiStop_ = running;
}

void CTestItemDialog::OnStopTest() {
    asciiStop_.request_stop();
}

void CTestItemDialog::OnTestFile() {
    StartTestJob([this, snapshot = settings_, usb = UsbSelection::Current()](const std::stop_token& stop) {
        SetThreadUiLanguage(LanguageIdOf(snapshot.language));
        const TestFile file = ReadTestFile(TEST_FILE_NAME);
        switch (file.status) {
        case TestFile::Missing:
            ShowString(this, StringId::TestPrintFileMissing, MessageIcon::Stop);
            return;
        case TestFile::NotHex:
            ShowString(this, HEX_TEXT_ERROR_STRING, MessageIcon::Stop);
            return;
        case TestFile::Read:
            Send(stop, snapshot, usb, file.bytes);
            return;
        }
    });
}

} // namespace pemberlux
