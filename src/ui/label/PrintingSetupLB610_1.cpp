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

} // namespace

CPrintingSetupLB610_1::CPrintingSetupLB610_1(QWidget* parent)
    : CSettingsPage(IDD, LABEL_CONTROLS, LB_ACTION_BUTTONS, {QueryLabelSettings, LB_REPLY_TIMEOUT, DecodeLabelSettings},
                    parent) {
    BuildPage();
    using Page = CPrintingSetupLB610_1;
    WireControls<Page>(this, LB_TOOLTIPS,
                       {
                           {IDC_GET_PRINTER_SETTINGS, &Page::OnGetPrinterSettings},
                           {IDC_RESET_ALL_SETTINGS, &Page::OnResetAllSettings},
                           {IDC_SEND_SETTINGS, &Page::OnSendSettings},
                           {IDC_PRINT_SELF_TEST, &Page::OnPrintSelfTest},
                           {IDC_CALIBRATE_LABEL, &Page::OnCalibrateLabel},
                           {IDC_GET_SERIAL_NUMBER, &Page::OnGetSerialNumber},
                           {IDC_GET_FW_VERSION, &Page::OnGetFirmwareVersion},
                           {IDC_PRINT_STATISTICS, &Page::OnPrintStatistics},
                       });
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
        const LabelControl& info = InfoOf(pos);
        AddListRow(grid, row, column, info.control, info.labelControl, LabelListItems(pos, lang));
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

        const LabelControl& info = InfoOf(EDITS[i]);
        QLineEdit* edit = AddEditRow(grid, row, 3, info.control, info.labelControl);
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
    for (std::size_t i = 0; i < BUTTON_GRID.size(); ++i)
        buttons->addWidget(AddButton(BUTTON_GRID[i]), static_cast<int>(i / 4), static_cast<int>(i % 4));
    layout->addLayout(buttons);
    // Below the two rows, so that they keep their places.
    layout->addSpacing(8);
    layout->addLayout(AddProfileButtons());
    layout->addStretch();
}

// ---- Values and controls ---------------------------------------------------

void CPrintingSetupLB610_1::OnEditChanged(int pos) {
    MoveControlsToValues();
    const EditRangeResult range = CheckEditRange(values_.text[Index(pos)]);
    if (range.clamped) {
        ShowString(this, StringId::ValueTooLarge, MessageIcon::Warning);
        values_.text[Index(pos)] = range.text;
        MoveValuesToControls();
    }
    marks_.set(Index(pos));
}

std::string CPrintingSetupLB610_1::KnownFirmwareVersion() const {
    return ControlText(IDC_FIRMWARE_VERSION);
}

void CPrintingSetupLB610_1::RefreshFields() {
    SendMessage(this, RefreshFieldsEvent());
}

void CPrintingSetupLB610_1::ApplyEmulationListRule() {
    QComboBox* list = List(LS_EMULATION);
    const std::vector<std::string> items = EmulationListItems(settings_);
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
        OnRefreshTimer();
        break;
    default:
        break;
    }
}

// ---- Buttons ---------------------------------------------------------------

void CPrintingSetupLB610_1::OnGetPrinterSettings() {
    MoveValuesToControls();
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ReadSettingsJob(stop, s); });
}

void CPrintingSetupLB610_1::OnResetAllSettings() {
    MoveValuesToControls();
    StartPageJob([this](std::stop_token stop, const Snapshot& s) {
        // The marks go half a second after the printer took the reset.
        ResetJob(stop, s, LabelFactoryReset(), [this] { SetTimer(TIMER_CLEAR_CHANGES, CLEAR_CHANGES_MS); });
    });
}

void CPrintingSetupLB610_1::OnSendSettings() {
    // The frame of the settings as they are at the click.
    StartPageJob([this, frame = BuildLabelSettingsFrame(marks_, CurrentValues(), settings_)](std::stop_token stop,
                                                                                             const Snapshot& s) {
        const bool sent = SendJob(stop, s, frame).Ok();
        // Whatever the send brought, the main window hears the settings.
        RunOnGuiThread([this, sent] {
            if (sent) ClearProfileHighlights();
            ReportSettings();
        });
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
    StartPageJob(
        [this](std::stop_token stop, const Snapshot& s) { ReadTextJob(stop, s, LabelTextQuery::SerialNumber); });
}

void CPrintingSetupLB610_1::OnGetFirmwareVersion() {
    StartPageJob(
        [this](std::stop_token stop, const Snapshot& s) { ReadTextJob(stop, s, LabelTextQuery::FirmwareVersion); });
}

void CPrintingSetupLB610_1::OnPrintStatistics() {
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ReadTextJob(stop, s, LabelTextQuery::Statistics); });
}

// ---- Jobs ------------------------------------------------------------------

void CPrintingSetupLB610_1::ReadTextJob(const std::stop_token& stop, const Snapshot& snapshot, LabelTextQuery query) {
    ReadJob(
        stop, snapshot, [query](PrinterPort& port, const JobLimits& job) { return QueryLabelText(port, query, job); },
        [this, query](std::span<const std::uint8_t> reply) { ApplyTextReply(query, reply); });
}

void CPrintingSetupLB610_1::ApplyTextReply(LabelTextQuery query, std::span<const std::uint8_t> reply) {
    // Read in the job's language, which is the window's.
    const QString text = QString::fromStdString(DecodeLabelTextReply(reply, ThreadUiLanguage()));
    RunOnGuiThread([this, query, text] {
        auto* field = ControlAs<QLineEdit>(TextReplyControl(query));
        field->setText(text);
        field->setCursorPosition(0); // the start of a long text, not its end
    });
}

} // namespace pemberlux
