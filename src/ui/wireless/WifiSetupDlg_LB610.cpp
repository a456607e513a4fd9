#include "ui/wireless/WifiSetupDlg_LB610.h"

#include "core/base/UiText.h"
#include "core/port/SendToPrinter.h"
#include "ui/toolkit/MessageBox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace pemberlux {

namespace {

std::string LabelOf(int id) {
    const std::string label = TemplateText(CWifiSetupDlg_LB610::IDD, "label." + std::to_string(id));
    const std::size_t end = label.find_last_not_of(": ");
    // Chinese labels end with a full-width colon.
    std::string name = label.substr(0, end == std::string::npos ? 0 : end + 1);
    const std::string wideColon = "\xEF\xBC\x9A";
    if (name.size() >= wideColon.size() &&
        name.compare(name.size() - wideColon.size(), wideColon.size(), wideColon) == 0)
        name.resize(name.size() - wideColon.size());
    return name;
}

} // namespace

CWifiSetupDlg_LB610::CWifiSetupDlg_LB610(const PortSettings& settings, QWidget* parent)
    : CDialog(IDD, parent), settings_(settings) {
    setWindowTitle(Text("caption"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    auto addRow = [&](int id, QWidget* field) {
        Bind(id, field, LabelOf(id));
        auto* caption = new QLabel(QString::fromStdString(TemplateText(IDD, "label." + std::to_string(id))));
        caption->setBuddy(field);
        form->addRow(caption, field);
    };
    auto list = [](int id) {
        auto* box = new QComboBox;
        for (const std::string& item : TemplateItems(IDD, id))
            box->addItem(QString::fromStdString(item));
        return box;
    };
    // Up to four numbers of 0 to 255 and the dots between them, as typed.
    const QString octet = QStringLiteral("(25[0-5]|2[0-4]\\d|[01]?\\d?\\d)");
    const QRegularExpression octets(QStringLiteral("^(%1(\\.%1){0,2}\\.?|%1(\\.%1){3})?$").arg(octet));
    auto address = [&octets] {
        auto* edit = new QLineEdit;
        edit->setValidator(new QRegularExpressionValidator(octets, edit));
        edit->setMaxLength(15);
        return edit;
    };
    addRow(IDC_MODE, list(IDC_MODE));
    addRow(IDC_SSID, new QLineEdit);
    addRow(IDC_ENCRYPTION, list(IDC_ENCRYPTION));
    addRow(IDC_KEY_FORMAT, list(IDC_KEY_FORMAT));
    addRow(IDC_KEY, new QLineEdit);
    addRow(IDC_DHCP, list(IDC_DHCP));
    addRow(IDC_IP_ADDRESS, address());
    addRow(IDC_SUBNET_MASK, address());
    addRow(IDC_GATEWAY, address());

    auto* instruction = Bind(IDC_INSTRUCTION, new QLabel(Text("1226")));
    instruction->setWordWrap(true);
    instruction->setMinimumWidth(460);
    layout->addWidget(instruction);

    // Confirm, " Reset Wi-Fi" and Close, right-aligned; Enter presses none of them.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int id : {IDC_CONFIRM, IDC_RESET, IDC_CLOSE}) {
        auto* button = Bind(id, new QPushButton(Text(std::to_string(id))));
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    auto combo = [this](int id) { return ControlAs<QComboBox>(id); };
    connect(combo(IDC_MODE), &QComboBox::activated, this, [this] { OnModeChanged(); });
    connect(combo(IDC_ENCRYPTION), &QComboBox::activated, this, [this] { OnEncryptionChanged(); });
    connect(combo(IDC_KEY_FORMAT), &QComboBox::activated, this, [this] { OnKeyFormatChanged(); });
    connect(combo(IDC_DHCP), &QComboBox::activated, this, [this] { OnDhcpChanged(); });
    connect(ControlAs<QLineEdit>(IDC_SSID), &QLineEdit::textEdited, this, [this] { OnSsidEdited(); });
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY})
        connect(ControlAs<QLineEdit>(id), &QLineEdit::textEdited, this, [this, id] { OnAddressEdited(id); });
    connect(ControlAs<QPushButton>(IDC_CONFIRM), &QPushButton::clicked, this, [this] { OnConfirm(); });
    connect(ControlAs<QPushButton>(IDC_RESET), &QPushButton::clicked, this, [this] { OnResetWifi(); });
    connect(ControlAs<QPushButton>(IDC_CLOSE), &QPushButton::clicked, this, [this] { reject(); });

    RestoreDefaults();
}

CWifiSetupDlg_LB610::~CWifiSetupDlg_LB610() {
    StopWorkers();
}

void CWifiSetupDlg_LB610::RestoreDefaults() {
    const WifiSettings defaults;
    ControlAs<QComboBox>(IDC_MODE)->setCurrentIndex(defaults.mode);
    ControlAs<QLineEdit>(IDC_SSID)->setText(QString::fromStdString(defaults.ssid));
    ControlAs<QComboBox>(IDC_ENCRYPTION)->setCurrentIndex(defaults.encryption);
    ControlAs<QComboBox>(IDC_KEY_FORMAT)->setCurrentIndex(defaults.keyFormat);
    ControlAs<QLineEdit>(IDC_KEY)->clear();
    EnableControl(IDC_KEY_FORMAT, false);
    EnableControl(IDC_KEY, false);
    ControlAs<QComboBox>(IDC_DHCP)->setCurrentIndex(defaults.dhcp);
    ControlAs<QLineEdit>(IDC_IP_ADDRESS)->setText(QString::fromStdString(FormatIpv4(defaults.ip)));
    ControlAs<QLineEdit>(IDC_SUBNET_MASK)->setText(QString::fromStdString(FormatIpv4(defaults.mask)));
    ControlAs<QLineEdit>(IDC_GATEWAY)->setText(QString::fromStdString(FormatIpv4(defaults.gateway)));
    SetControlText(IDC_INSTRUCTION, LoadUiString(StringId::WifiKeyFormat));
}

void CWifiSetupDlg_LB610::OnModeChanged() {
    flags_[0] = 1;
}

void CWifiSetupDlg_LB610::OnSsidEdited() {
    flags_[1] = 1;
}

void CWifiSetupDlg_LB610::OnEncryptionChanged() {
    flags_[2] = 1;
    const bool keyed = ControlAs<QComboBox>(IDC_ENCRYPTION)->currentIndex() != WIFI_ENCRYPTION_NONE;
    EnableControl(IDC_KEY_FORMAT, keyed);
    EnableControl(IDC_KEY, keyed);
    if (!keyed) ControlAs<QLineEdit>(IDC_KEY)->clear();
}

void CWifiSetupDlg_LB610::OnKeyFormatChanged() {
    flags_[3] = 1;
}

void CWifiSetupDlg_LB610::OnDhcpChanged() {
    flags_[5] = 1;
}

void CWifiSetupDlg_LB610::OnAddressEdited(int id) {
    flags_[id == IDC_IP_ADDRESS ? 6 : id == IDC_SUBNET_MASK ? 7 : 8] = 1;
}

WifiSettings CWifiSetupDlg_LB610::CurrentSettings() const {
    WifiSettings s;
    s.mode = ControlAs<QComboBox>(IDC_MODE)->currentIndex();
    s.ssid = ControlText(IDC_SSID);
    s.encryption = ControlAs<QComboBox>(IDC_ENCRYPTION)->currentIndex();
    s.keyFormat = ControlAs<QComboBox>(IDC_KEY_FORMAT)->currentIndex();
    s.key = ControlText(IDC_KEY);
    s.dhcp = ControlAs<QComboBox>(IDC_DHCP)->currentIndex();
    s.ip = ParseIpv4(ControlText(IDC_IP_ADDRESS)).value_or(Ipv4{});
    s.mask = ParseIpv4(ControlText(IDC_SUBNET_MASK)).value_or(Ipv4{});
    s.gateway = ParseIpv4(ControlText(IDC_GATEWAY)).value_or(Ipv4{});
    return s;
}

bool CWifiSetupDlg_LB610::CheckWifiKey() {
    const int encryption = ControlAs<QComboBox>(IDC_ENCRYPTION)->currentIndex();
    if (encryption == WIFI_ENCRYPTION_NONE) return flags_[9] != 0;
    flags_[9] = WifiKeyValid(encryption, ControlAs<QComboBox>(IDC_KEY_FORMAT)->currentIndex(), ControlText(IDC_KEY));
    if (!flags_[9]) ShowString(this, StringId::WifiKeyInvalid, std::nullopt);
    return flags_[9] != 0;
}

bool CWifiSetupDlg_LB610::CheckWifiInputs() {
    auto selected = [this](int id) { return ControlAs<QComboBox>(id)->currentIndex() >= 0; };
    const bool ssid = !ControlText(IDC_SSID).empty();
    if (selected(IDC_MODE)) flags_[0] = 1;
    if (ssid) flags_[1] = 1;
    if (selected(IDC_ENCRYPTION)) flags_[2] = 1;
    if (selected(IDC_KEY_FORMAT)) flags_[3] = 1;
    if (!ControlText(IDC_KEY).empty() || ControlAs<QComboBox>(IDC_ENCRYPTION)->currentIndex() != WIFI_ENCRYPTION_NONE) {
        CheckWifiKey();
        flags_[4] = flags_[9];
    } else {
        flags_[4] = 1;
    }
    if (selected(IDC_DHCP)) flags_[5] = 1;
    const int addressIds[] = {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY};
    for (int i = 0; i < 3; ++i)
        if (!ControlText(addressIds[i]).empty()) flags_[6 + i] = 1;
    for (int i = 0; i <= 8; ++i)
        if (!flags_[i]) return false;
    // What goes out is what the controls hold now. An SSID emptied after it
    // once had a value goes out empty (a lone zero: the module's "no network
    // name"); an address so emptied would go out as 0.0.0.0 and is asked for.
    for (int id : addressIds) {
        if (ParseIpv4(ControlText(id)).has_value()) continue;
        // Less than a whole address ("1.2.3", or nothing): the user is told which field.
        const QString label = QString::fromStdString(TemplateText(IDD, "label." + std::to_string(id)));
        Control(id)->setFocus();
        ShowMessage(this, QString::fromStdString(TemplateText(IDD, "message.BadAddress")).arg(label).toStdString(),
                    MessageIcon::Warning);
        return false;
    }
    if (!IsAsciiText(ControlText(IDC_SSID))) {
        ShowMessage(this, TemplateText(IDD, "message.SsidNotAscii"), MessageIcon::Warning);
        return false;
    }
    return true;
}

bool CWifiSetupDlg_LB610::OnConfirm() {
    if (!CheckWifiInputs()) return false;
    return StartSend(BuildWifiSettingsFrame(CurrentSettings()), false);
}

bool CWifiSetupDlg_LB610::OnResetWifi() {
    return StartSend(BuildWifiResetFrame(), true);
}

bool CWifiSetupDlg_LB610::StartSend(Bytes frame, bool restoreAfter) {
    return StartJob({JOB_BUTTONS.begin(), JOB_BUTTONS.end()},
                    [this, frame = std::move(frame), restoreAfter, settings = settings_,
                     usb = UsbSelection::Current()](std::stop_token stop) {
                        const SendResult sent = SendToPrinter(settings, usb, frame, {stop});
                        if (sent.message) ShowOpenMessage(this, *sent.message, sent.open);
                        // The module is back at its defaults only when the reset reached it.
                        if (restoreAfter && sent.Ok()) RunOnGuiThread([this] { RestoreDefaults(); });
                    });
}

} // namespace pemberlux
