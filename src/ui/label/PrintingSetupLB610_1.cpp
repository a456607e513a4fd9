#include "ui/label/PrintingSetupLB610_1.h"

#include "core/base/UiText.h"
#include "core/port/PortCommands.h"
#include "core/port/PrinterPort.h"
#include "ui/toolkit/DigitsOnly.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"
#include "ui/toolkit/TextRoom.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>

namespace pemberlux {

namespace {

using namespace std::chrono_literals;

// The two columns of lists, top to bottom.
constexpr std::array<LabelSettingPos, 7> LEFT_LISTS = {
    LS_PAGE_MODE,        LS_PRINT_MEDIA, LS_PRINT_METHOD, LS_PRINT_SPEED, LS_CUT_MODE, LS_PRINT_POSITION_DETECTION,
    LS_TOP_FORM_SENSING,
};
constexpr std::array<LabelSettingPos, 7> RIGHT_LISTS = {
    LS_PRINT_DENSITY,        LS_PRINTER_LANGUAGE,       LS_PEELER, LS_EMULATION, LS_PAPER_OUT_DETECTION,
    LS_AUTO_CALIBRATE_LABEL, LS_PAPER_SENSOR_SELECTION,
};
// The value edits under the right column, the information fields under the left.
constexpr std::array<LabelSettingPos, 3> EDITS = {LS_PRINT_HOME_OFFSET, LS_CUTTING_POSITION_OFFSET,
                                                  LS_BLACK_MARK_AD_VALUE};
constexpr std::array<int, 3> INFO_FIELDS = {IDC_SERIAL_NUMBER, IDC_FIRMWARE_VERSION, IDC_PRINT_HEAD_MILEAGE};
// What the printers answer there, at its widest: each shows whole.
const std::array<const char*, 3> INFO_SAMPLES = {"LB710-24070722", "LB-710 V1.16 2024-06-18", "123456.78 m"};
// The two rows of buttons.
constexpr std::array<int, 8> BUTTON_GRID = {
    IDC_GET_SERIAL_NUMBER,    IDC_GET_FW_VERSION,  IDC_PRINT_STATISTICS,   IDC_CALIBRATE_LABEL,
    IDC_GET_PRINTER_SETTINGS, IDC_PRINT_SELF_TEST, IDC_RESET_ALL_SETTINGS, IDC_SEND_SETTINGS,
};

std::string Text(const std::string& key) {
    return TemplateText(CPrintingSetupLB610_1::IDD, key);
}

QString QText(const std::string& key) {
    return QString::fromStdString(Text(key));
}

const LabelSettingInfo& Info(int pos) {
    return LABEL_SETTINGS[static_cast<std::size_t>(pos)];
}

void FillList(QComboBox* list, const std::vector<std::string>& items) {
    list->clear();
    for (const std::string& item : items)
        list->addItem(QString::fromStdString(item));
    list->setCurrentIndex(-1);
}

} // namespace

CPrintingSetupLB610_1::CPrintingSetupLB610_1(QWidget* parent) : CPage(IDD, parent) {
    BuildPage();

    SetToolTipColour(QColor(0, 0, 0));
    for (const LabelTooltip& tip : LB_TOOLTIPS)
        AddToolTip(tip.control, tip.stringId);

    ConnectControls();
}

CPrintingSetupLB610_1::~CPrintingSetupLB610_1() {
    StopWorkers();
}

void CPrintingSetupLB610_1::BuildPage() {
    const int lang = ThreadUiLanguage();
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnMinimumWidth(2, 16);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);

    auto addList = [&](LabelSettingPos pos, int row, int column) {
        const LabelSettingInfo& info = Info(pos);
        const std::string caption = Text(std::to_string(info.labelControl));
        auto* label = Bind(info.labelControl, new QLabel(QString::fromStdString(caption)));
        auto* list = Bind(info.control, new QComboBox, caption);
        FillList(list, LabelListItems(pos, lang));
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        label->setBuddy(list);
        grid->addWidget(label, row, column);
        grid->addWidget(list, row, column + 1);
    };
    for (int row = 0; row < 7; ++row) {
        addList(LEFT_LISTS[static_cast<std::size_t>(row)], row, 0);
        addList(RIGHT_LISTS[static_cast<std::size_t>(row)], row, 3);
    }

    const auto& infoLabels = lang == LANG_CHINESE ? LB_INFO_LABELS_CHINESE : LB_INFO_LABELS_ENGLISH;
    for (std::size_t i = 0; i < INFO_FIELDS.size(); ++i) {
        const int row = 7 + static_cast<int>(i);
        const std::string caption = Text("label." + std::to_string(INFO_FIELDS[i]));
        auto* label = Bind(infoLabels[i], new QLabel(QString::fromStdString(caption)));
        auto* field = Bind(INFO_FIELDS[i], new QLineEdit, caption);
        field->setReadOnly(true);
        ReserveRoomFor(field, {QString::fromLatin1(INFO_SAMPLES[i])});
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, 2); // into the gap between the columns: a version is long

        const LabelSettingInfo& info = Info(EDITS[i]);
        const std::string editCaption = Text(std::to_string(info.labelControl));
        auto* editLabel = Bind(info.labelControl, new QLabel(QString::fromStdString(editCaption)));
        auto* edit = Bind(info.control, new QLineEdit, editCaption);
        editLabel->setBuddy(edit);
        grid->addWidget(editLabel, row, 3);
        grid->addWidget(edit, row, 4);
        const std::string unit = Text("unit." + std::to_string(info.control));
        if (!unit.empty()) {
            edit->setAlignment(Qt::AlignRight);
            grid->addWidget(new QLabel(QString::fromStdString(unit)), row, 5);
        } else {
            // The AD value takes digits only from the keyboard.
            edit->installEventFilter(new DigitsOnly(edit));
        }
    }
    layout->addLayout(grid);
    layout->addSpacing(10);

    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(8);
    buttons->setVerticalSpacing(8);
    for (std::size_t i = 0; i < BUTTON_GRID.size(); ++i) {
        const int id = BUTTON_GRID[i];
        auto* button = Bind(id, new QPushButton(QText(std::to_string(id))));
        button->setAutoDefault(false);
        buttons->addWidget(button, static_cast<int>(i / 4), static_cast<int>(i % 4));
    }
    layout->addLayout(buttons);
    layout->addStretch();
}

void CPrintingSetupLB610_1::ConnectControls() {
    for (const LabelSettingInfo& info : LABEL_SETTINGS) {
        const int pos = info.pos;
        if (info.IsList()) {
            // Only the user's choice marks a setting; a selection the page sets does not.
            connect(List(pos), &QComboBox::activated, this, [this, pos] { OnListChanged(pos); });
        } else {
            connect(Edit(pos), &QLineEdit::textEdited, this, [this, pos] { OnEditChanged(pos); });
        }
    }
    const std::pair<int, void (CPrintingSetupLB610_1::*)()> handlers[] = {
        {IDC_GET_PRINTER_SETTINGS, &CPrintingSetupLB610_1::OnGetPrinterSettings},
        {IDC_RESET_ALL_SETTINGS, &CPrintingSetupLB610_1::OnResetAllSettings},
        {IDC_SEND_SETTINGS, &CPrintingSetupLB610_1::OnSendSettings},
        {IDC_PRINT_SELF_TEST, &CPrintingSetupLB610_1::OnPrintSelfTest},
        {IDC_CALIBRATE_LABEL, &CPrintingSetupLB610_1::OnCalibrateLabel},
        {IDC_GET_SERIAL_NUMBER, &CPrintingSetupLB610_1::OnGetSerialNumber},
        {IDC_GET_FW_VERSION, &CPrintingSetupLB610_1::OnGetFirmwareVersion},
        {IDC_PRINT_STATISTICS, &CPrintingSetupLB610_1::OnPrintStatistics},
    };
    for (const auto& [id, handler] : handlers)
        connect(ControlAs<QPushButton>(id), &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
}

QComboBox* CPrintingSetupLB610_1::List(int pos) const {
    return ControlAs<QComboBox>(Info(pos).control);
}

QLineEdit* CPrintingSetupLB610_1::Edit(int pos) const {
    return ControlAs<QLineEdit>(Info(pos).control);
}

// ---- Values and controls ---------------------------------------------------

void CPrintingSetupLB610_1::MoveValuesToControls() {
    for (LabelSettingPos pos : EDITS)
        Edit(pos)->setText(QString::fromStdString(values_.text[static_cast<std::size_t>(pos)]));
}

void CPrintingSetupLB610_1::MoveControlsToValues() {
    for (LabelSettingPos pos : EDITS)
        values_.text[static_cast<std::size_t>(pos)] = Edit(pos)->text().toStdString();
}

LabelSettingValues CPrintingSetupLB610_1::CurrentValues() const {
    LabelSettingValues values = values_;
    for (const LabelSettingInfo& info : LABEL_SETTINGS) {
        if (info.IsList()) values.selection[static_cast<std::size_t>(info.pos)] = List(info.pos)->currentIndex();
    }
    return values;
}

void CPrintingSetupLB610_1::OnListChanged(int pos) {
    marks_.set(static_cast<std::size_t>(pos));
}

void CPrintingSetupLB610_1::OnEditChanged(int pos) {
    MoveControlsToValues();
    const EditRangeResult range = CheckEditRange(values_.text[static_cast<std::size_t>(pos)]);
    if (range.clamped) {
        ShowString(this, StringId::ValueTooLarge, MessageIcon::Warning);
        values_.text[static_cast<std::size_t>(pos)] = range.text;
        MoveValuesToControls();
    }
    marks_.set(static_cast<std::size_t>(pos));
}

void CPrintingSetupLB610_1::ApplyEmulationListRule() {
    QComboBox* list = List(LS_EMULATION);
    const std::vector<std::string>& items = EmulationListItems(settings_);
    if (list->count() != static_cast<int>(items.size())) FillList(list, items);
}

void CPrintingSetupLB610_1::showEvent(QShowEvent* event) {
    CPage::showEvent(event);
    ApplyEmulationListRule();
    MoveControlsToValues();
}

void CPrintingSetupLB610_1::hideEvent(QHideEvent* event) {
    CPage::hideEvent(event);
    ApplyEmulationListRule();
    MoveControlsToValues();
}

void CPrintingSetupLB610_1::OnMessage(const MessageEvent& message) {
    if (message.As<RefreshFieldsEvent>()) {
        MoveValuesToControls();
        return;
    }
    CPage::OnMessage(message);
}

void CPrintingSetupLB610_1::OnTimer(int timerId) {
    switch (timerId) {
    case TIMER_CLEAR_CHANGES:
        KillTimer(TIMER_CLEAR_CHANGES);
        marks_.reset();
        break;
    case TIMER_REFRESH:
        KillTimer(TIMER_REFRESH);
        SendMessage(Owner(), SettingsChangedEvent(settings_));
        SendMessage(this, RefreshFieldsEvent());
        break;
    default:
        break;
    }
}

// ---- Buttons ---------------------------------------------------------------

void CPrintingSetupLB610_1::OnGetPrinterSettings() {
    MoveValuesToControls();
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ReadJob(stop, s, Query::Settings); });
}

void CPrintingSetupLB610_1::OnResetAllSettings() {
    MoveValuesToControls();
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ResetJob(stop, s); });
}

void CPrintingSetupLB610_1::OnSendSettings() {
    // The frame of the settings as they are at the click.
    StartPageJob([this, frame = BuildSettingsFrame(marks_, CurrentValues(), settings_)](std::stop_token stop,
                                                                                        const Snapshot& s) {
        SendJob(stop, s, frame);
        RunOnGuiThread([this] { SendMessage(Owner(), SettingsChangedEvent(settings_)); });
    });
}

void CPrintingSetupLB610_1::OnPrintSelfTest() {
    MoveValuesToControls();
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { SendJob(stop, s, LB_FRAME_SELF_TEST); });
}

void CPrintingSetupLB610_1::OnCalibrateLabel() {
    MoveValuesToControls();
    StartPageJob([this](std::stop_token stop, const Snapshot& s) {
        SendJob(stop, s, LB_FRAME_CALIBRATE);
        SetTimer(TIMER_REFRESH, REFRESH_MS);
    });
}

void CPrintingSetupLB610_1::OnGetSerialNumber() {
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ReadJob(stop, s, Query::SerialNumber); });
}

void CPrintingSetupLB610_1::OnGetFirmwareVersion() {
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ReadJob(stop, s, Query::FirmwareVersion); });
}

void CPrintingSetupLB610_1::OnPrintStatistics() {
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ReadJob(stop, s, Query::Statistics); });
}

// ---- Jobs ------------------------------------------------------------------

void CPrintingSetupLB610_1::StartPageJob(std::function<void(std::stop_token, const Snapshot&)> body) {
    StartPortJob({LB_ACTION_BUTTONS.begin(), LB_ACTION_BUTTONS.end()}, std::move(body));
}

namespace {

LabelTextQuery TextQueryOf(int query) {
    static constexpr LabelTextQuery queries[] = {LabelTextQuery::SerialNumber, LabelTextQuery::FirmwareVersion,
                                                 LabelTextQuery::Statistics};
    return queries[query - 1];
}

} // namespace

void CPrintingSetupLB610_1::ReadJob(const std::stop_token& stop, const Snapshot& snapshot, Query query) {
    const bool settings = query == Query::Settings;
    const ReplyRule rule = LabelReplyRule(settings);
    PrinterPort port(snapshot.settings, snapshot.usb);
    const LabelFrame9& frame = settings ? LB_FRAME_READ_SETTINGS : TextQueryFrame(TextQueryOf(static_cast<int>(query)));
    const ExchangeResult result = Exchange(port, frame, &rule, {stop});
    if (result.status == ExchangeResult::Stopped) return;
    // A reply that came late is still shown; the user is told it was late.
    if (result.Ok() && !result.reply.empty()) Decode(query, result.reply);
    ReportExchange(result, port.kind);
    SetTimer(TIMER_REFRESH, REFRESH_MS);
}

void CPrintingSetupLB610_1::Decode(Query query, std::span<const std::uint8_t> reply) {
    if (query == Query::Settings) {
        RunOnGuiThread([this, reply] {
            ApplySerialConfig(reply, settings_);
            LabelSettingValues values = CurrentValues();
            ApplySettingsReply(reply, settings_, values);
            for (const LabelSettingInfo& info : LABEL_SETTINGS) {
                const auto i = static_cast<std::size_t>(info.pos);
                if (info.IsList()) {
                    List(info.pos)->setCurrentIndex(values.selection[i]);
                } else {
                    // Shown when the page next moves its values into the edits.
                    values_.text[i] = values.text[i];
                }
            }
        });
    } else {
        ApplyTextReply(TextQueryOf(static_cast<int>(query)), reply);
    }
}

void CPrintingSetupLB610_1::ApplyTextReply(LabelTextQuery query, std::span<const std::uint8_t> reply) {
    // Read in the job's language, which is the window's.
    const QString text = QString::fromStdString(DecodeTextReply(reply, ThreadUiLanguage()));
    RunOnGuiThread([this, query, text] {
        auto* field = ControlAs<QLineEdit>(TextReplyControl(query));
        field->setText(text);
        field->setCursorPosition(0); // the start of a long text, not its end
    });
}

void CPrintingSetupLB610_1::SendJob(const std::stop_token& stop, const Snapshot& snapshot,
                                    std::span<const std::uint8_t> frame) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    const ExchangeResult result = SendFrame(port, frame, {stop});
    ReportExchange(result, port.kind);
}

void CPrintingSetupLB610_1::ResetJob(const std::stop_token& stop, const Snapshot& snapshot) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    const ExchangeResult result = SendFrame(port, LB_FRAME_RESTORE_FACTORY, {stop});
    ReportExchange(result, port.kind);
    if (!result.Ok()) return;
    // The printer's line is back at 9600 8N1 with hardware handshake: the main
    // window takes that over, and the settings are read back that way.
    Snapshot after = snapshot;
    RunOnGuiThread([this, &after] {
        ApplyFactoryLineSettings(settings_);
        SendMessage(Owner(), SettingsChangedEvent(settings_));
        after = TakePortSnapshot();
    });
    SetTimer(TIMER_CLEAR_CHANGES, CLEAR_CHANGES_MS);
    if (SleepFor(stop, std::chrono::milliseconds(RESET_READ_BACK_DELAY_MS))) ReadJob(stop, after, Query::Settings);
}

} // namespace pemberlux
