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

} // namespace

CInternalSetupTR510::CInternalSetupTR510(QWidget* parent)
    : CSettingsPage(IDD, RECEIPT_CONTROLS, RC_ACTION_BUTTONS,
                    {QueryReceiptSettings, RC_REPLY_TIMEOUT, DecodeReceiptSettings}, parent) {
    BuildPage();
    using Page = CInternalSetupTR510;
    WireControls<Page>(this, RC_TOOLTIPS,
                       {
                           {IDC_RC_GET_PRINTER_SETTINGS, &Page::OnGetPrinterSettings},
                           {IDC_RC_SEND_SETTINGS, &Page::OnSendSettings},
                           {IDC_RC_RESTORE_ALL_SETTINGS, &Page::OnRestoreAllSettings},
                       });
    ApplyCutterRuleToControls();
    // A read whose open or write failed ends there: the main window hears nothing.
    refreshAfterPortFailure_ = false;
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
        const ReceiptControl& controls = InfoOf(pos);
        AddListRow(into, row, 0, controls.control, controls.labelControl, ReceiptListItems(pos, lang))
            ->setMinimumContentsLength(8);
    };
    for (std::size_t row = 0; row < TOP_LISTS.size(); ++row)
        addList(grid, TOP_LISTS[row], static_cast<int>(row));
    layout->addLayout(grid);
    layout->addSpacing(6);

    auto* group = new QGroupBox(Text("group.BlackMarkSetting"));
    auto* groupGrid = new QGridLayout(group);
    groupGrid->setHorizontalSpacing(12);
    groupGrid->setVerticalSpacing(8);
    groupGrid->setColumnStretch(3, 1);
    addList(groupGrid, RS_BLACK_MARK, 0);
    for (std::size_t i = 0; i < DISTANCES.size(); ++i) {
        const int row = 1 + static_cast<int>(i);
        const ReceiptControl& controls = InfoOf(DISTANCES[i]);
        QLineEdit* edit = AddEditRow(groupGrid, row, 0, controls.control, controls.labelControl);
        edit->setAlignment(Qt::AlignRight);
        edit->setMaxLength(16);
        // The English template's edits take digits only from the keyboard; the Chinese one's take anything.
        if (lang != LANG_CHINESE) edit->installEventFilter(new DigitsOnly(edit));
        groupGrid->addWidget(new QLabel(Text("unit." + std::to_string(controls.control))), row, 2);
    }
    layout->addWidget(group);
    layout->addSpacing(10);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    for (int id : BUTTON_ROW)
        buttons->addWidget(AddButton(id));
    buttons->addStretch();
    layout->addLayout(buttons);
    // Below the row, so that it keeps its place.
    layout->addSpacing(8);
    layout->addLayout(AddProfileButtons());
    layout->addStretch();

    // The template hides the cutter setting; the model may show it.
    Control(IDC_RC_CUTTER_SWITCH_LABEL)->setVisible(false);
    Control(IDC_RC_CUTTER_SWITCH)->setVisible(false);
}

void CInternalSetupTR510::SetSettings(const PortSettings& settings) {
    CPage::SetSettings(settings);
    ApplyCutterRuleToControls();
}

// ---- Values and controls ---------------------------------------------------

void CInternalSetupTR510::OnEditChanged(int pos) {
    const auto index = Index(pos);
    const std::string typed = Edit(pos)->text().toStdString();
    const ReceiptDistanceCheck check = CheckReceiptDistance(typed, RECEIPT_SETTINGS[index]);
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
    const ReceiptCutterRule rule = ApplyReceiptCutterRule(ModelByName(settings_.modelName), selected, &marks_);
    if (!rule.known) return;
    Control(IDC_RC_CUTTER_SWITCH_LABEL)->setVisible(rule.visible);
    Control(IDC_RC_CUTTER_SWITCH)->setVisible(rule.visible);
}

void CInternalSetupTR510::showEvent(QShowEvent* event) {
    CPage::showEvent(event);
    ApplyCutterRuleToControls();
}

void CInternalSetupTR510::OnTimer(int timerId) {
    if (timerId == TIMER_REFRESH) OnRefreshTimer();
    // A running job keeps them off until it ends.
    EnableControl(IDC_RC_SEND_SETTINGS, true);
    EnableControl(IDC_RC_RESTORE_ALL_SETTINGS, true);
}

// ---- Buttons ---------------------------------------------------------------

void CInternalSetupTR510::OnGetPrinterSettings() {
    StartPageJob([this](std::stop_token stop, const Snapshot& s) { ReadSettingsJob(stop, s); });
}

void CInternalSetupTR510::OnSendSettings() {
    ApplyCutterRuleToControls();
    const ReceiptSettingValues values = CurrentValues();
    // A marked distance without a number would go out as 0 mm.
    if (const int pos = FirstMarkedReceiptDistanceWithoutNumber(marks_, values); pos >= 0) {
        Edit(pos)->setFocus();
        ShowString(this, StringId::InputInteger, std::nullopt);
        return;
    }
    StartPageJob([this, frame = BuildReceiptSettingsFrame(marks_, values)](std::stop_token stop, const Snapshot& s) {
        if (SendJob(stop, s, frame).Ok()) RunOnGuiThread([this] { ClearProfileHighlights(); });
    });
}

void CInternalSetupTR510::OnRestoreAllSettings() {
    StartPageJob([this, sequence = ReceiptFactoryReset(settings_.language)](std::stop_token stop, const Snapshot& s) {
        ResetJob(stop, s, sequence);
    });
}

} // namespace pemberlux
