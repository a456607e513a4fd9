#include "label/PrintingSetupLB610_1.h"

#include "app/UiText.h"
#include "platform/MessageBox.h"
#include "platform/Messages.h"
#include "port/PrinterPort.h"

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>
#include <thread>

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

// The AD value edit takes digits only from the keyboard; pasted text goes in
// as it is (and meets the range check like any other change).
class DigitsOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
            if (!shortcut && text.size() == 1 && text[0].isPrint() && !text[0].isDigit()) return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

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

void CPrintingSetupLB610_1::StopWorkers() {
    closing_ = true;
    abort_ = true;
    CPage::StopWorkers();
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
        ShowString(this, 146, MessageIcon::Warning);
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

std::intptr_t CPrintingSetupLB610_1::OnMessage(int message, std::intptr_t wParam, std::intptr_t lParam) {
    if (message == WM_REFRESH_FIELDS) {
        MoveValuesToControls();
        return 0;
    }
    return CPage::OnMessage(message, wParam, lParam);
}

void CPrintingSetupLB610_1::OnTimer(int timerId) {
    switch (timerId) {
    case TIMER_REPLY_TIMEOUT:
        KillTimer(TIMER_REPLY_TIMEOUT);
        abort_ = true;
        ShowString(this, 174, MessageIcon::Stop);
        break;
    case TIMER_CLEAR_CHANGES:
        KillTimer(TIMER_CLEAR_CHANGES);
        marks_.reset();
        break;
    case TIMER_REFRESH:
        KillTimer(TIMER_REFRESH);
        SendMessage(Owner(), WM_SETTINGS_CHANGED, ToParam(&settings_), 0);
        SendMessage(this, WM_REFRESH_FIELDS);
        for (std::atomic<bool>& flag : pending_)
            flag = false;
        break;
    default:
        break;
    }
}

// ---- Buttons ---------------------------------------------------------------

void CPrintingSetupLB610_1::OnGetPrinterSettings() {
    pending_[PENDING_SETTINGS] = true;
    MoveValuesToControls();
    StartWorker([this] { ReadSettingsThread(); });
}

void CPrintingSetupLB610_1::OnResetAllSettings() {
    pending_[PENDING_SETTINGS] = true;
    MoveValuesToControls();
    StartWorker([this] { ResetSettingsThread(); });
}

void CPrintingSetupLB610_1::OnSendSettings() {
    EnableButtons(false);
    StartWorker([this] { SendSettingsThread(); });
}

void CPrintingSetupLB610_1::OnPrintSelfTest() {
    MoveValuesToControls();
    StartWorker([this] { SelfTestThread(); });
}

void CPrintingSetupLB610_1::OnCalibrateLabel() {
    MoveValuesToControls();
    StartWorker([this] { CalibrateLabelThread(); });
}

void CPrintingSetupLB610_1::OnGetSerialNumber() {
    pending_[PENDING_SERIAL_NUMBER] = true;
    StartWorker([this] { ReadSerialNumberThread(); });
}

void CPrintingSetupLB610_1::OnGetFirmwareVersion() {
    pending_[PENDING_FIRMWARE] = true;
    StartWorker([this] { ReadFirmwareVersionThread(); });
}

void CPrintingSetupLB610_1::OnPrintStatistics() {
    pending_[PENDING_STATISTICS] = true;
    StartWorker([this] { PrintStatisticsThread(); });
}

// ---- Worker steps ----------------------------------------------------------

PortSettings CPrintingSetupLB610_1::SettingsSnapshot() {
    // The page's record belongs to the GUI thread, where the main window updates it.
    PortSettings copy;
    RunOnGuiThread([this, &copy] { copy = settings_; });
    return copy;
}

void CPrintingSetupLB610_1::EnableButtons(bool enable) {
    RunOnGuiThread([this, enable] {
        for (int id : LB_ACTION_BUTTONS)
            Control(id)->setEnabled(enable);
    });
}

void CPrintingSetupLB610_1::PreparePort(const PortSettings& settings) {
    port_.kind = settings.portKind;
    port_.comName = settings.comName;
    port_.lptName = settings.lptName;
}

bool CPrintingSetupLB610_1::OpenAndWrite(const std::uint8_t* frame, std::size_t length) {
    try {
        OpenPort(port_);
    } catch (const PortError& e) {
        ShowPortError(this, e.code, port_.kind);
        return false;
    }
    port_.SetData(frame, length);
    try {
        WritePort(port_);
    } catch (const PortError&) {
        ShowString(this, 159, MessageIcon::Warning);
        return false;
    }
    return true;
}

void CPrintingSetupLB610_1::ReadReply(const LabelFrame9& query, Pending pending) {
    reply_.fill(0);
    PreparePort(SettingsSnapshot());
    if (OpenAndWrite(query.data(), query.size())) {
        SetTimer(TIMER_REPLY_TIMEOUT, REPLY_TIMEOUT_MS);
        // A serial line knows no end of a reply but silence: say when it is whole.
        const ReplyComplete complete = [pending](const std::uint8_t* data, std::size_t size) {
            const std::span<const std::uint8_t> reply(data, size);
            return pending == PENDING_SETTINGS ? SettingsReplyComplete(reply) : TextReplyComplete(reply);
        };
        while (!abort_) {
            const auto started = std::chrono::steady_clock::now();
            std::size_t count = 0;
            try {
                // Waits in short slices and gives up as soon as the time-out sets the abort flag.
                count = ReadPort(port_, reply_.data(), reply_.size(), abort_, complete);
            } catch (const PortError&) {
                ShowString(this, 175, MessageIcon::Stop);
                KillTimer(TIMER_REPLY_TIMEOUT);
                abort_ = true;
                continue;
            }
            if (count == 0) {
                // Nothing yet. A port that can't wait (no interface chosen)
                // returns at once: don't spin on it.
                if (std::chrono::steady_clock::now() - started < 1ms) std::this_thread::sleep_for(10ms);
                continue;
            }
            if (pending_[pending]) {
                KillTimer(TIMER_REPLY_TIMEOUT);
                Decode(pending, count);
                abort_ = true;
            }
            // An answer nobody asks for any more is dropped; the time-out keeps
            // running, so the wait still ends.
        }
    }
    if (pending_[pending]) SetTimer(TIMER_REFRESH, REFRESH_MS);
    if (!closing_) abort_ = false;
    ClosePort(port_);
}

void CPrintingSetupLB610_1::Decode(Pending pending, std::size_t count) {
    const std::span<const std::uint8_t> reply(reply_.data(), count);
    if (pending == PENDING_SETTINGS) {
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
        const LabelTextQuery query = pending == PENDING_SERIAL_NUMBER ? LabelTextQuery::SerialNumber
                                     : pending == PENDING_FIRMWARE    ? LabelTextQuery::FirmwareVersion
                                                                      : LabelTextQuery::Statistics;
        ApplyTextReply(query, reply);
    }
    SetTimer(TIMER_REFRESH, REFRESH_MS);
}

void CPrintingSetupLB610_1::ApplyTextReply(LabelTextQuery query, std::span<const std::uint8_t> reply) {
    // Read in the worker's language, which is the window's.
    const QString text = QString::fromStdString(DecodeTextReply(reply, ThreadUiLanguage()));
    RunOnGuiThread([this, query, text] {
        auto* field = ControlAs<QLineEdit>(TextReplyControl(query));
        field->setText(text);
        field->setCursorPosition(0); // the start of a long text, not its end
    });
}

void CPrintingSetupLB610_1::ReportSettings() {
    RunOnGuiThread([this] { SendMessage(Owner(), WM_SETTINGS_CHANGED, ToParam(&settings_), 0); });
}

bool CPrintingSetupLB610_1::Pause(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (closing_) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            end - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
    }
    return !closing_;
}

// ---- Workers ---------------------------------------------------------------

void CPrintingSetupLB610_1::SetWorkerLanguage(const PortSettings& settings) {
    SetThreadUiLanguage(LanguageIdOf(settings.language));
}

void CPrintingSetupLB610_1::ReadSettingsThread() {
    SetWorkerLanguage(SettingsSnapshot());
    std::lock_guard lock(lock_);
    if (closing_) return;
    EnableButtons(false);
    ReadReply(LB_FRAME_READ_SETTINGS, PENDING_SETTINGS);
    EnableButtons(true);
}

void CPrintingSetupLB610_1::ReadSerialNumberThread() {
    ReadTextThread(PENDING_SERIAL_NUMBER);
}
void CPrintingSetupLB610_1::ReadFirmwareVersionThread() {
    ReadTextThread(PENDING_FIRMWARE);
}
void CPrintingSetupLB610_1::PrintStatisticsThread() {
    ReadTextThread(PENDING_STATISTICS);
}

void CPrintingSetupLB610_1::ReadTextThread(Pending pending) {
    SetWorkerLanguage(SettingsSnapshot());
    std::lock_guard lock(lock_);
    if (closing_) return;
    EnableButtons(false);
    const LabelTextQuery query = pending == PENDING_SERIAL_NUMBER ? LabelTextQuery::SerialNumber
                                 : pending == PENDING_FIRMWARE    ? LabelTextQuery::FirmwareVersion
                                                                  : LabelTextQuery::Statistics;
    ReadReply(TextQueryFrame(query), pending);
    EnableButtons(true);
}

void CPrintingSetupLB610_1::ResetSettingsThread() {
    SetWorkerLanguage(SettingsSnapshot());
    std::lock_guard lock(lock_);
    if (closing_) return;
    EnableButtons(false);
    reply_.fill(0);
    PreparePort(SettingsSnapshot());
    if (OpenAndWrite(LB_FRAME_RESTORE_FACTORY.data(), LB_FRAME_RESTORE_FACTORY.size())) {
        // The printer's line is back at 9600 8N1 with hardware handshake: the
        // main window takes that over before the port is opened again.
        RunOnGuiThread([this] {
            ApplyFactoryLineSettings(settings_);
            SendMessage(Owner(), WM_SETTINGS_CHANGED, ToParam(&settings_), 0);
        });
        SetTimer(TIMER_CLEAR_CHANGES, CLEAR_CHANGES_MS);
        ClosePort(port_);
        if (Pause(RESET_READ_BACK_DELAY_MS)) ReadReply(LB_FRAME_READ_SETTINGS, PENDING_SETTINGS);
    }
    ClosePort(port_);
    EnableButtons(true);
}

void CPrintingSetupLB610_1::SendSettingsThread() {
    const PortSettings settings = SettingsSnapshot();
    SetWorkerLanguage(settings);
    // The lock keeps this write off the port while another worker still uses it.
    std::lock_guard lock(lock_);
    if (closing_) return;
    Bytes frame;
    RunOnGuiThread([this, &frame] { frame = BuildSettingsFrame(marks_, CurrentValues(), settings_); });
    PreparePort(settings);
    OpenAndWrite(frame.data(), frame.size());
    ClosePort(port_);
    ReportSettings();
    EnableButtons(true);
}

void CPrintingSetupLB610_1::SelfTestThread() {
    SetWorkerLanguage(SettingsSnapshot());
    std::lock_guard lock(lock_);
    if (closing_) return;
    EnableButtons(false);
    PreparePort(SettingsSnapshot());
    OpenAndWrite(LB_FRAME_SELF_TEST.data(), LB_FRAME_SELF_TEST.size());
    ClosePort(port_);
    EnableButtons(true);
}

void CPrintingSetupLB610_1::CalibrateLabelThread() {
    SetWorkerLanguage(SettingsSnapshot());
    std::lock_guard lock(lock_);
    if (closing_) return;
    EnableButtons(false);
    PreparePort(SettingsSnapshot());
    OpenAndWrite(LB_FRAME_CALIBRATE.data(), LB_FRAME_CALIBRATE.size());
    SetTimer(TIMER_REFRESH, REFRESH_MS);
    ClosePort(port_);
    EnableButtons(true);
}

} // namespace pemberlux
