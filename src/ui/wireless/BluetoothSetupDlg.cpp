#include "ui/wireless/BluetoothSetupDlg.h"

#include "core/base/UiText.h"
#include "core/port/SendToPrinter.h"
#include "ui/toolkit/MessageBox.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pemberlux {

namespace {

std::string LabelOf(int id) {
    std::string label = TemplateText(CBluetoothSetupDlg::IDD, "label." + std::to_string(id));
    for (const std::string colon : {"\xEF\xBC\x9A", ":"}) {
        if (label.size() >= colon.size() && label.compare(label.size() - colon.size(), colon.size(), colon) == 0)
            label.resize(label.size() - colon.size());
    }
    return label;
}

} // namespace

CBluetoothSetupDlg::CBluetoothSetupDlg(const PortSettings& settings, QWidget* parent)
    : CDialog(IDD, parent), settings_(settings) {
    setWindowTitle(Text("caption"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    for (int id : {IDC_NAME, IDC_PASSWORD, IDC_MAC}) {
        auto* edit = Bind(id, new QLineEdit, LabelOf(id));
        auto* caption = new QLabel(QString::fromStdString(TemplateText(IDD, "label." + std::to_string(id))));
        caption->setBuddy(edit);
        form->addRow(caption, edit);
    }
    ControlAs<QLineEdit>(IDC_NAME)->setMaxLength(BT_NAME_MAX_CHARS);
    ControlAs<QLineEdit>(IDC_PASSWORD)->setMaxLength(static_cast<int>(BT_PASSWORD_SIZE));
    ControlAs<QLineEdit>(IDC_MAC)->setReadOnly(true);

    auto* actions = new QHBoxLayout;
    for (int id : {IDC_SEND, IDC_GET, IDC_RESTORE}) {
        auto* button = Bind(id, new QPushButton(Text(std::to_string(id))));
        button->setAutoDefault(false);
        actions->addWidget(button);
    }
    layout->addLayout(actions);

    auto* remark = Bind(IDC_REMARK, new QLabel);
    remark->setWordWrap(true);
    remark->setMinimumWidth(420);
    SetControlText(IDC_REMARK, LoadUiString(StringId::BluetoothRemark));
    layout->addWidget(remark);

    layout->addLayout(ButtonRow({IDC_OK}));
    connect(ControlAs<QPushButton>(IDC_SEND), &QPushButton::clicked, this, [this] { OnSendSettings(); });
    connect(ControlAs<QPushButton>(IDC_GET), &QPushButton::clicked, this, [this] { OnGetSettings(); });
    connect(ControlAs<QPushButton>(IDC_RESTORE), &QPushButton::clicked, this, [this] { OnRestoreSettings(); });
    connect(ControlAs<QPushButton>(IDC_OK), &QPushButton::clicked, this, [this] { accept(); });
}

CBluetoothSetupDlg::~CBluetoothSetupDlg() {
    StopWorkers();
}

bool CBluetoothSetupDlg::OnSendSettings() {
    const std::string name = ControlText(IDC_NAME);
    const std::string password = ControlText(IDC_PASSWORD);
    if (const std::optional<StringId> refused = CheckBluetoothInputs(name, password)) {
        ShowString(this, *refused, MessageIcon::Stop);
        return false;
    }
    return StartBluetoothThread(BluetoothOperation::Send, BuildBluetoothSendFrame(name, password));
}

bool CBluetoothSetupDlg::OnGetSettings() {
    return StartBluetoothThread(BluetoothOperation::Read, Bytes(BT_FRAME_READ.begin(), BT_FRAME_READ.end()));
}

bool CBluetoothSetupDlg::OnRestoreSettings() {
    return StartBluetoothThread(BluetoothOperation::Restore, Bytes(BT_FRAME_RESTORE.begin(), BT_FRAME_RESTORE.end()));
}

bool CBluetoothSetupDlg::StartBluetoothThread(BluetoothOperation operation, Bytes frame) {
    // The interface as the dialog was given it, taken now on the GUI thread.
    return StartJob({JOB_BUTTONS.begin(), JOB_BUTTONS.end()},
                    [this, operation, frame = std::move(frame), settings = settings_,
                     usb = UsbSelection::Current()](std::stop_token stop) {
                        SetThreadUiLanguage(LanguageIdOf(settings.language));
                        if (operation == BluetoothOperation::Read) {
                            ReadSettings(stop, settings, usb);
                            return;
                        }
                        const SendResult sent = SendToPrinter(settings, usb, frame, {stop});
                        if (sent.message) ShowOpenMessage(this, *sent.message, sent.open);
                    });
}

void CBluetoothSetupDlg::ReadSettings(const std::stop_token& stop, const PortSettings& settings,
                                      const UsbSelection& usb) {
    PrinterPort port(settings, usb);
    const ReplyRule rule = BluetoothReadRule();
    const ExchangeResult result = Exchange(port, BT_FRAME_READ, &rule, {stop});
    if (result.status == ExchangeResult::Stopped) return;
    const std::optional<BluetoothInfo> info = result.Ok() ? DecodeBluetoothAnswer(result.reply) : std::nullopt;
    // A late answer is still shown; the user is told it was late.
    if (info) {
        RunOnGuiThread([this, info = *info] {
            ControlAs<QLineEdit>(IDC_MAC)->setText(QString::fromStdString(info.mac));
            ControlAs<QLineEdit>(IDC_PASSWORD)->setText(QString::fromStdString(info.password));
            ControlAs<QLineEdit>(IDC_NAME)->setText(QString::fromStdString(info.name));
        });
    }
    if (auto message = ExchangeMessage(result, port.kind)) {
        ShowOpenMessage(this, *message, result.open);
    } else if (!info) {
        // Part of an answer by the time-out: the edits keep what they held.
        ShowString(this, StringId::CommTimeout, MessageIcon::Stop);
    }
}

} // namespace pemberlux
