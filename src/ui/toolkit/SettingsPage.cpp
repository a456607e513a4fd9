#include "ui/toolkit/SettingsPage.h"

#include "core/base/UiText.h"
#include "core/port/PortCommands.h"
#include "ui/toolkit/Messages.h"

#include <QGridLayout>
#include <QLabel>

namespace pemberlux {

CSettingsPageBase::CSettingsPageBase(int dialogId, std::span<const int> actionButtons, QWidget* parent)
    : CPage(dialogId, parent), actionButtons_(actionButtons.begin(), actionButtons.end()) {}

// ---- Builders ----------------------------------------------------------------

namespace {

QLabel* CaptionOf(QWidget* buddy, QLabel* label) {
    label->setBuddy(buddy);
    return label;
}

} // namespace

QComboBox* CSettingsPageBase::AddListRow(QGridLayout* grid, int row, int column, int control, int labelControl,
                                         const std::vector<std::string>& items) {
    const std::string caption = TemplateText(DialogId(), std::to_string(labelControl));
    auto* list = Bind(control, new QComboBox, caption);
    FillList(list, items);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    grid->addWidget(CaptionOf(list, Bind(labelControl, new QLabel(QString::fromStdString(caption)))), row, column);
    grid->addWidget(list, row, column + 1);
    return list;
}

QLineEdit* CSettingsPageBase::AddEditRow(QGridLayout* grid, int row, int column, int control, int labelControl) {
    const std::string caption = TemplateText(DialogId(), std::to_string(labelControl));
    auto* edit = Bind(control, new QLineEdit, caption);
    grid->addWidget(CaptionOf(edit, Bind(labelControl, new QLabel(QString::fromStdString(caption)))), row, column);
    grid->addWidget(edit, row, column + 1);
    return edit;
}

void CSettingsPageBase::FillList(QComboBox* list, const std::vector<std::string>& items) {
    list->clear();
    for (const std::string& item : items)
        list->addItem(QString::fromStdString(item));
    list->setCurrentIndex(-1);
}

QPushButton* CSettingsPageBase::AddButton(int id) {
    auto* button = Bind(id, new QPushButton(QString::fromStdString(TemplateText(DialogId(), std::to_string(id)))));
    button->setAutoDefault(false);
    return button;
}

// ---- Jobs --------------------------------------------------------------------

void CSettingsPageBase::StartPageJob(std::function<void(std::stop_token, const Snapshot&)> body) {
    StartPortJob(actionButtons_, std::move(body));
}

void CSettingsPageBase::ReadJob(const std::stop_token& stop, const Snapshot& snapshot, const Query& query,
                                const std::function<void(std::span<const std::uint8_t>)>& show) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    const ExchangeResult result = query(port, {stop});
    if (result.status == ExchangeResult::Stopped) return;
    if (result.Ok() && !result.reply.empty()) show(result.reply);
    ReportExchange(result, port.kind);
    // After a failure too: the main window hears the settings and the edits
    // show the values, whatever the exchange brought.
    SetTimer(TIMER_REFRESH, REFRESH_MS);
}

ExchangeResult CSettingsPageBase::SendJob(const std::stop_token& stop, const Snapshot& snapshot,
                                          std::span<const std::uint8_t> frame) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    ExchangeResult result = SendFrame(port, frame, {stop});
    ReportExchange(result, port.kind);
    return result;
}

void CSettingsPageBase::ResetJob(const std::stop_token& stop, const Snapshot& snapshot,
                                 std::span<const std::uint8_t> frame, std::chrono::milliseconds settle,
                                 const std::function<void()>& taken) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    const FactoryResetResult reset = FactoryReset(port, frame, settle, {stop}, taken);
    ReportExchange(reset.exchange, port.kind);
    if (!reset.settled) return;
    // The printer's line is now 9600 8N1 with hardware handshake: the main
    // window takes that over, and the settings are read back that way.
    Snapshot after = snapshot;
    const bool adopted = RunOnGuiThread([this, &after] {
        ApplyFactoryLineSettings(settings_);
        ReportSettings();
        after = TakePortSnapshot();
    });
    if (adopted) ReadSettingsJob(stop, after);
}

void CSettingsPageBase::OnRefreshTimer() {
    KillTimer(TIMER_REFRESH);
    ReportSettings();
    RefreshFields();
}

void CSettingsPageBase::ReportSettings() {
    SendMessage(Owner(), SettingsChangedEvent(settings_));
}

} // namespace pemberlux
