#include "ui/receipt/InternalSetupTR510.h"

#include "core/base/Models.h"
#include "core/base/UiText.h"
#include "core/port/PortCommands.h"
#include "core/port/PrinterPort.h"
#include "ui/toolkit/DigitsOnly.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>
#include <optional>

namespace pemberlux {

namespace {

// The lists above the black mark group, top to bottom.
constexpr std::array<ReceiptSettingPos, 5> TOP_LISTS = {RS_PRINTER_LANGUAGE, RS_CUTTER_SWITCH, RS_PAPER_WIDE,
                                                        RS_PRINTING_DIRECTION, RS_PAPER_TYPE};
constexpr std::array<ReceiptSettingPos, 2> DISTANCES = {RS_BLACK_MARK_TO_HOME, RS_BLACK_MARK_TO_CUTTER};
// The buttons at the foot, left to right.
constexpr std::array<int, 3> BUTTON_ROW = {IDC_RC_GET_PRINTER_SETTINGS, IDC_RC_RESTORE_ALL_SETTINGS,
                                           IDC_RC_SEND_SETTINGS};

std::string Text(const std::string& key) {
    return TemplateText(CInternalSetupTR510::IDD, key);
}

QString QText(const std::string& key) {
    return QString::fromStdString(Text(key));
}

const ReceiptSettingInfo& Info(int pos) {
    return RECEIPT_SETTINGS[static_cast<std::size_t>(pos)];
}

} // namespace

CInternalSetupTR510::CInternalSetupTR510(QWidget* parent) : CPage(IDD, parent) {
    BuildPage();

    SetToolTipColour(QColor(0, 0, 0));
    for (const ReceiptTooltip& tip : RC_TOOLTIPS)
        AddToolTip(tip.control, tip.stringId);

    ConnectControls();
    ApplyCutterRuleToControls();
}

CInternalSetupTR510::~CInternalSetupTR510() {
    StopWorkers();
}

void CInternalSetupTR510::BuildPage() {
    const int lang = ThreadUiLanguage();
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(2, 1);

    auto addList = [&](QGridLayout* into, ReceiptSettingPos pos, int row) {
        const ReceiptSettingInfo& info = Info(pos);
        const std::string caption = Text(std::to_string(info.labelControl));
        auto* label = Bind(info.labelControl, new QLabel(QString::fromStdString(caption)));
        auto* list = Bind(info.control, new QComboBox, caption);
        for (const std::string& item : TemplateItems(IDD, info.control, lang))
            list->addItem(QString::fromStdString(item));
        // A list starts with no selection: nothing is sent for it until the user picks.
        list->setCurrentIndex(-1);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        list->setMinimumContentsLength(8);
        label->setBuddy(list);
        into->addWidget(label, row, 0);
        into->addWidget(list, row, 1);
    };
    for (std::size_t row = 0; row < TOP_LISTS.size(); ++row)
        addList(grid, TOP_LISTS[row], static_cast<int>(row));
    layout->addLayout(grid);
    layout->addSpacing(6);

    auto* group = new QGroupBox(QText("group.BlackMarkSetting"));
    auto* groupGrid = new QGridLayout(group);
    groupGrid->setHorizontalSpacing(12);
    groupGrid->setVerticalSpacing(8);
    groupGrid->setColumnStretch(3, 1);
    addList(groupGrid, RS_BLACK_MARK, 0);
    for (std::size_t i = 0; i < DISTANCES.size(); ++i) {
        const int row = 1 + static_cast<int>(i);
        const ReceiptSettingInfo& info = Info(DISTANCES[i]);
        const std::string caption = Text(std::to_string(info.labelControl));
        auto* label = Bind(info.labelControl, new QLabel(QString::fromStdString(caption)));
        auto* edit = Bind(info.control, new QLineEdit, caption);
        edit->setAlignment(Qt::AlignRight);
        edit->setMaxLength(16);
        // The English template's edits take digits only from the keyboard; the Chinese one's take anything.
        if (lang != LANG_CHINESE) edit->installEventFilter(new DigitsOnly(edit));
        label->setBuddy(edit);
        groupGrid->addWidget(label, row, 0);
        groupGrid->addWidget(edit, row, 1);
        groupGrid->addWidget(new QLabel(QText("unit." + std::to_string(info.control))), row, 2);
    }
    layout->addWidget(group);
    layout->addSpacing(10);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    for (int id : BUTTON_ROW) {
        auto* button = Bind(id, new QPushButton(QText(std::to_string(id))));
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addStretch();

    // The template hides the cutter setting; the model may show it.
    Control(IDC_RC_CUTTER_SWITCH_LABEL)->setVisible(false);
    Control(IDC_RC_CUTTER_SWITCH)->setVisible(false);
}

void CInternalSetupTR510::ConnectControls() {
    for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS) {
        const int pos = info.pos;
        if (info.IsList()) {
            // Only the user's choice marks a setting; a selection the page sets does not.
            connect(List(pos), &QComboBox::activated, this, [this, pos] { OnListChanged(pos); });
        } else {
            connect(Edit(pos), &QLineEdit::textEdited, this, [this, pos] { OnEditChanged(pos); });
        }
    }
    connect(ControlAs<QPushButton>(IDC_RC_GET_PRINTER_SETTINGS), &QPushButton::clicked, this,
            [this] { OnGetPrinterSettings(); });
    connect(ControlAs<QPushButton>(IDC_RC_SEND_SETTINGS), &QPushButton::clicked, this, [this] { OnSendSettings(); });
    connect(ControlAs<QPushButton>(IDC_RC_RESTORE_ALL_SETTINGS), &QPushButton::clicked, this,
            [this] { OnRestoreAllSettings(); });
}

QComboBox* CInternalSetupTR510::List(int pos) const {
    return ControlAs<QComboBox>(Info(pos).control);
}

QLineEdit* CInternalSetupTR510::Edit(int pos) const {
    return ControlAs<QLineEdit>(Info(pos).control);
}

void CInternalSetupTR510::SetSettings(const PortSettings& settings) {
    CPage::SetSettings(settings);
    ApplyCutterRuleToControls();
}

// ---- Values and controls ---------------------------------------------------

ReceiptSettingValues CInternalSetupTR510::CurrentValues() const {
    ReceiptSettingValues values = values_;
    for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS) {
        if (info.IsList()) values.selection[static_cast<std::size_t>(info.pos)] = List(info.pos)->currentIndex();
    }
    return values;
}

void CInternalSetupTR510::MoveValuesToControls() {
    for (ReceiptSettingPos pos : DISTANCES)
        Edit(pos)->setText(QString::fromStdString(values_.text[static_cast<std::size_t>(pos)]));
}

void CInternalSetupTR510::OnListChanged(int pos) {
    marks_.set(static_cast<std::size_t>(pos));
}

void CInternalSetupTR510::OnEditChanged(int pos) {
    const auto index = static_cast<std::size_t>(pos);
    const std::string typed = Edit(pos)->text().toStdString();
    const DistanceCheck check = CheckDistance(typed, Info(pos).lowerLimit);
    values_.text[index] = check.text;
    if (check.text != typed) Edit(pos)->setText(QString::fromStdString(check.text));
    if (check.mark) marks_.set(index);
    if (check.message == StringId::ValueTooLarge) {
        ShowString(this, StringId::ValueTooLarge, MessageIcon::Warning);
    } else if (check.message) {
        ShowString(this, *check.message, std::nullopt);
    }
}

void CInternalSetupTR510::ApplyCutterRuleToControls() {
    const bool selected = List(RS_CUTTER_SWITCH)->currentIndex() >= 0;
    const CutterRule rule = ApplyCutterRule(ModelByName(settings_.modelName), selected, &marks_);
    if (!rule.known) return;
    Control(IDC_RC_CUTTER_SWITCH_LABEL)->setVisible(rule.visible);
    Control(IDC_RC_CUTTER_SWITCH)->setVisible(rule.visible);
}

void CInternalSetupTR510::showEvent(QShowEvent* event) {
    CPage::showEvent(event);
    ApplyCutterRuleToControls();
}

void CInternalSetupTR510::OnTimer(int timerId) {
    if (timerId == TIMER_REFRESH) {
        KillTimer(TIMER_REFRESH);
        SendMessage(Owner(), SettingsChangedEvent(settings_));
        MoveValuesToControls();
    }
    // A running job keeps them off until it ends.
    EnableControl(IDC_RC_SEND_SETTINGS, true);
    EnableControl(IDC_RC_RESTORE_ALL_SETTINGS, true);
}

// ---- Buttons ---------------------------------------------------------------

void CInternalSetupTR510::OnGetPrinterSettings() {
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ReadJob(stop, s); });
}

void CInternalSetupTR510::OnSendSettings() {
    ApplyCutterRuleToControls();
    const ReceiptSettingValues values = CurrentValues();
    // A marked distance without a number would go out as 0 mm.
    if (const int pos = FirstMarkedDistanceWithoutNumber(marks_, values); pos >= 0) {
        Edit(pos)->setFocus();
        ShowString(this, StringId::InputInteger, std::nullopt);
        return;
    }
    StartPageJob([this, frame = BuildReceiptSettingsFrame(marks_, values)](std::stop_token stop, const Snapshot& s) {
        SendJob(stop, s, frame);
    });
}

void CInternalSetupTR510::OnRestoreAllSettings() {
    StartPageJob([this, frame = BuildRestoreFrame(settings_.language)](std::stop_token stop, const Snapshot& s) {
        RestoreJob(stop, s, frame);
    });
}

// ---- Jobs ------------------------------------------------------------------

void CInternalSetupTR510::StartPageJob(std::function<void(std::stop_token, const Snapshot&)> body) {
    StartPortJob({RC_ACTION_BUTTONS.begin(), RC_ACTION_BUTTONS.end()}, std::move(body));
}

void CInternalSetupTR510::ReadJob(const std::stop_token& stop, const Snapshot& snapshot) {
    const ReplyRule rule = ReceiptReplyRule();
    PrinterPort port(snapshot.settings, snapshot.usb);
    const ExchangeResult result = Exchange(port, RC_FRAME_READ_SETTINGS, &rule, {stop});
    if (result.status == ExchangeResult::Stopped) return;
    // A reply that came late is still shown; the user is told it was late.
    if (result.Ok() && !result.reply.empty()) Decode(result.reply);
    ReportExchange(result, port.kind);
    // Once the query is out, the main window hears the settings and the edits
    // show the distances, whatever came back.
    if (result.status != ExchangeResult::OpenFailed && result.status != ExchangeResult::WriteFailed)
        SetTimer(TIMER_REFRESH, REFRESH_MS);
}

void CInternalSetupTR510::Decode(std::span<const std::uint8_t> reply) {
    RunOnGuiThread([this, reply] {
        ApplyReceiptSerialConfig(reply, settings_);
        ReceiptSettingValues values = CurrentValues();
        ApplyReceiptReply(reply, values);
        for (const ReceiptSettingInfo& info : RECEIPT_SETTINGS) {
            const auto i = static_cast<std::size_t>(info.pos);
            if (info.IsList()) {
                List(info.pos)->setCurrentIndex(values.selection[i]);
            } else {
                // Shown when the refresh moves the texts into the edits.
                values_.text[i] = values.text[i];
            }
        }
    });
}

void CInternalSetupTR510::SendJob(const std::stop_token& stop, const Snapshot& snapshot,
                                  std::span<const std::uint8_t> frame) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    ReportExchange(SendFrame(port, frame, {stop}), port.kind);
}

void CInternalSetupTR510::RestoreJob(const std::stop_token& stop, const Snapshot& snapshot,
                                     const ReceiptRestoreFrame& frame) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    const ExchangeResult result = SendFrame(port, frame, {stop});
    ReportExchange(result, port.kind);
    if (!result.Ok()) return;
    if (!SleepFor(stop, std::chrono::milliseconds(RESTORE_READ_BACK_DELAY_MS))) return;
    // The printer's line is now 9600 8N1 with hardware handshake: the main
    // window takes that over, and the settings are read back that way.
    Snapshot after = snapshot;
    const bool adopted = RunOnGuiThread([this, &after] {
        ApplyFactoryLineSettings(settings_);
        SendMessage(Owner(), SettingsChangedEvent(settings_));
        after = TakePortSnapshot();
    });
    if (adopted) ReadJob(stop, after);
}

} // namespace pemberlux
