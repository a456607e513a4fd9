#include "ui/toolkit/SettingsPage.h"

#include "core/base/Models.h"
#include "core/base/UiText.h"
#include "core/port/PortCommands.h"
#include "ui/toolkit/FileDialog.h"
#include "ui/toolkit/MessageBox.h"
#include "ui/toolkit/Messages.h"

#include <QGridLayout>
#include <QHBoxLayout>
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

// The tint of a control a loaded profile changed.
const QColor PROFILE_CHANGE_TINT(255, 236, 150);

// A button's text without its trailing ellipsis, as the title of its dialog.
std::string DialogTitle(StringId button) {
    std::string text = LoadUiString(button);
    const std::string ellipsis = "\u2026";
    if (text.size() >= ellipsis.size() && text.compare(text.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0)
        text.erase(text.size() - ellipsis.size());
    return text;
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

QHBoxLayout* CSettingsPageBase::AddProfileButtons() {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    for (const auto& [id, text] :
         {std::pair{IDC_SAVE_PROFILE, StringId::SaveProfile}, std::pair{IDC_LOAD_PROFILE, StringId::LoadProfile}}) {
        auto* button = Bind(id, new QPushButton(QString::fromStdString(LoadUiString(text))));
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    row->addStretch();
    connect(ControlAs<QPushButton>(IDC_SAVE_PROFILE), &QPushButton::clicked, this, [this] { OnSaveProfile(); });
    connect(ControlAs<QPushButton>(IDC_LOAD_PROFILE), &QPushButton::clicked, this, [this] { OnLoadProfile(); });
    return row;
}

// ---- Profiles ----------------------------------------------------------------

void CSettingsPageBase::OnSaveProfile() {
    const auto path =
        GetSaveFileName(this, LoadUiString(StringId::ProfileFileFilter), DialogTitle(StringId::SaveProfile), "json");
    if (path) SaveProfileTo(*path);
}

void CSettingsPageBase::OnLoadProfile() {
    const auto path =
        GetOpenFileName(this, LoadUiString(StringId::ProfileFileFilter), DialogTitle(StringId::LoadProfile));
    if (path) LoadProfileFrom(*path);
}

ProfileTarget CSettingsPageBase::Target() const {
    return {settings_, ModelByName(settings_.modelName)};
}

void CSettingsPageBase::ShowProfileRefusal(const ProfileOutcome& outcome, const std::string& path) {
    StringId text = StringId::ProfileDamaged;
    switch (outcome.refusal) {
    case ProfileRefusal::None:
        return;
    case ProfileRefusal::Unreadable:
        text = StringId::ProfileUnreadable;
        break;
    case ProfileRefusal::NotAProfile:
        break;
    case ProfileRefusal::OtherFamily:
        text = StringId::ProfileOtherFamily;
        break;
    case ProfileRefusal::BadSetting:
        // The setting, as the file spells it.
        ShowMessage(this, LoadUiString(StringId::ProfileBadSetting) + "\n" + outcome.detail, MessageIcon::Warning);
        return;
    case ProfileRefusal::Unwritable:
        // The old file is still there: the user learns why this one was not.
        ShowMessage(this, LoadUiString(StringId::ProfileNotWritten) + "\n" + path + "\n" + outcome.detail,
                    MessageIcon::Warning);
        return;
    }
    ShowMessage(this, LoadUiString(text) + "\n" + path, MessageIcon::Warning);
}

void CSettingsPageBase::HighlightProfileChanges(const std::vector<int>& controls) {
    ClearProfileHighlights();
    for (int id : controls) {
        QWidget* control = Control(id);
        highlighted_.emplace(id, control->palette());
        QPalette tinted = control->palette();
        tinted.setColor(QPalette::Base, PROFILE_CHANGE_TINT);   // an edit's field
        tinted.setColor(QPalette::Button, PROFILE_CHANGE_TINT); // a list's face
        control->setPalette(tinted);
        control->setAccessibleDescription(QString::fromStdString(LoadUiString(StringId::ProfileChanged)));
    }
}

void CSettingsPageBase::ClearProfileHighlights() {
    for (const auto& [id, palette] : highlighted_) {
        if (QWidget* control = Control(id)) {
            control->setPalette(palette);
            control->setAccessibleDescription(QString());
        }
    }
    highlighted_.clear();
}

// ---- Jobs --------------------------------------------------------------------

void CSettingsPageBase::StartPageJob(std::function<void(std::stop_token, const Snapshot&)> body) {
    std::vector<int> holds = actionButtons_;
    holds.insert(holds.end(), {IDC_SAVE_PROFILE, IDC_LOAD_PROFILE});
    StartPortJob(std::move(holds), std::move(body));
}

void CSettingsPageBase::ReadJob(const std::stop_token& stop, const Snapshot& snapshot, const Query& query,
                                const std::function<void(std::span<const std::uint8_t>)>& show) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    ShowRead(query(port, {stop}), port.kind, show);
}

void CSettingsPageBase::ShowRead(const ExchangeResult& result, PortKind portKind,
                                 const std::function<void(std::span<const std::uint8_t>)>& show) {
    if (result.status == ExchangeResult::Stopped) return;
    if (result.Ok() && !result.reply.empty()) show(result.reply);
    ReportExchange(result, portKind);
    const bool portFailed = result.status == ExchangeResult::OpenFailed || result.status == ExchangeResult::WriteFailed;
    if (portFailed && !refreshAfterPortFailure_) return;
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
                                 const FactoryResetSequence& sequence, const std::function<void()>& taken) {
    PrinterPort port(snapshot.settings, snapshot.usb);
    // The main window keeps the factory line (9600 8N1, hardware handshake)
    // before the job goes on, so that a window closed meanwhile leaves the
    // settings file on the line the printer now has.
    // Where the line changes at once, what follows the taken frame runs in the
    // same step on the GUI thread as the hand-over, after it: nothing the page
    // starts then (the label page's clearing of its marks) can come first.
    const bool atHandOver = sequence.lineChangesAtOnce;
    const auto adopt = [this, atHandOver, &taken] {
        return RunOnGuiThread([this, atHandOver, &taken] {
            ApplyFactoryLineSettings(settings_);
            ReportSettings();
            if (atHandOver && taken) taken();
        });
    };
    const FactoryResetRun run =
        RunFactoryReset(port, sequence, {stop}, {atHandOver ? std::function<void()>() : taken, adopt});
    ReportExchange(run.reset, port.kind);
    if (run.readBack) ShowSettingsRead(*run.readBack, port.kind);
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
