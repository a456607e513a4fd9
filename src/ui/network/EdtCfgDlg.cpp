#include "ui/network/EdtCfgDlg.h"

#include "core/base/CodePage.h"
#include "core/base/UiText.h"
#include "core/network/KvClient.h"
#include "ui/network/NetWidgets.h"
#include "ui/toolkit/MessageBox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <mutex>

namespace pemberlux {

CEdtCfgDlg::CEdtCfgDlg(QWidget* parent)
    : CDialog(IDD, parent), lang_(ThreadUiLanguage()), channel_(std::make_unique<PrintServerChannel>()) {
    setWindowTitle(Text("caption"));
    setMinimumWidth(CONFIG_DIALOG_WIDTH);
    auto* layout = new QVBoxLayout(this);
    std::vector<QLabel*> captions;
    auto* note = new QLabel(Text("text.Note"));
    note->setWordWrap(true);
    layout->addWidget(note);

    auto group = [&](const std::string& key) {
        auto* box = new QGroupBox(Text(key));
        auto* form = new QFormLayout(box);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        layout->addWidget(box);
        return form;
    };
    auto addRow = [&](QFormLayout* form, int id, QWidget* field, QWidget* shown = nullptr) {
        const std::string label = TemplateText(IDD, "label." + std::to_string(id));
        Bind(id, field, FieldName(label));
        auto* caption = new QLabel(QString::fromStdString(label));
        caption->setBuddy(field);
        captions.push_back(caption);
        form->addRow(caption, shown ? shown : field);
    };
    auto readOnly = [] {
        auto* edit = new QLineEdit;
        edit->setReadOnly(true);
        return edit;
    };

    QFormLayout* identity = group("group.Unalterable");
    for (int id : {IDC_DEVICE_NAME, IDC_FW_VERSION, IDC_MAC, IDC_SERIAL})
        addRow(identity, id, readOnly());

    QFormLayout* network = group("group.Network");
    auto* dhcp = new QComboBox;
    for (const std::string& item : TemplateItems(IDD, IDC_DHCP))
        dhcp->addItem(QString::fromStdString(item));
    dhcp->setCurrentIndex(-1);
    addRow(network, IDC_DHCP, dhcp);
    auto* current = NewAddressEdit();
    current->setEnabled(false);
    addRow(network, IDC_CURRENT_IP, current);
    for (int id : {IDC_IP, IDC_MASK, IDC_GATEWAY})
        addRow(network, id, NewAddressEdit());

    QFormLayout* print = group("group.Print");
    addRow(print, IDC_MONITOR_PORT, NewNumberEdit());
    auto* timeoutRow = new QWidget;
    auto* timeoutLayout = new QHBoxLayout(timeoutRow);
    timeoutLayout->setContentsMargins(0, 0, 0, 0);
    auto* timeout = NewNumberEdit();
    timeoutLayout->addWidget(timeout, 1);
    timeoutLayout->addWidget(new QLabel(Text("unit.1017")));
    addRow(print, IDC_PRINT_TIMEOUT, timeout, timeoutRow);
    ControlAs<QLineEdit>(IDC_MONITOR_PORT)->setText(QStringLiteral("0"));
    timeout->setText(QStringLiteral("0"));

    AlignLabels(captions);
    layout->addLayout(ButtonRow({IDC_OK, IDC_CANCEL}));
    connect(dhcp, &QComboBox::currentIndexChanged, this, [this] { OnDhcpChanged(); });
    connect(ControlAs<QPushButton>(IDC_OK), &QPushButton::clicked, this, [this] { OnOK(); });
    connect(ControlAs<QPushButton>(IDC_CANCEL), &QPushButton::clicked, this, [this] { reject(); });
}

CEdtCfgDlg::~CEdtCfgDlg() {
    StopWorkers();
}

void CEdtCfgDlg::SetPrintServerMode(const std::string& deviceName, const std::string& mac, const std::string& serial,
                                    const DiscoveryRecord& record, std::uint16_t port) {
    printServer_ = true;
    record_ = record;
    channel_ = std::make_unique<PrintServerChannel>(port);
    SetControlText(IDC_DEVICE_NAME, deviceName);
    SetControlText(IDC_MAC, mac);
    SetControlText(IDC_SERIAL, serial);
}

void CEdtCfgDlg::SetKeyValueMode(const std::string& mac, const std::optional<KvConfigValues>& answer) {
    printServer_ = false;
    mac_ = mac;
    answered_ = answer.has_value();
    reply_ = answer.value_or(KvConfigValues{});
}

int CEdtCfgDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CEdtCfgDlg::OnInitDialog() {
    if (printServer_) {
        // A print server has no printing time-out.
        Control(IDC_PRINT_TIMEOUT)->setEnabled(false);
        StartRead();
    } else {
        ShowReply();
    }
}

void CEdtCfgDlg::StartRead() {
    const int lang = language_.empty() ? lang_ : LanguageIdOf(language_);
    // The list, OK and Cancel stay off while the read runs, so the dialog cannot close under it.
    StartJob({IDC_DHCP, IDC_OK, IDC_CANCEL}, [this, lang, record = record_](std::stop_token stop) {
        SetThreadUiLanguage(lang);
        const PsReadResult rc = channel_->ReadConfig(record, stop);
        if (stop.stop_requested()) return;
        if (rc != PsReadResult::Ok) {
            // The fields stay blank; OK then hands back an image the channel will not write.
            ShowString(this, StringId::SettingsNotRead, MessageIcon::Stop);
            return;
        }
        const ConfigImage image = channel_->Image();
        RunOnGuiThread([this, record, image] { ShowReadConfig(record, image); });
    });
}

void CEdtCfgDlg::ShowReadConfig(const DiscoveryRecord& record, const ConfigImage& image) {
    configRead_ = true;
    SetControlText(IDC_FW_VERSION, record.FirmwareText());
    monitorPort_ = image.PrintPort();
    SetControlText(IDC_MONITOR_PORT, std::to_string(monitorPort_));
    currentIp_ = ip_ = record.Ip();
    gateway_ = image.Gateway();
    mask_ = image.SubnetMask();
    ShowAddress(ControlAs<QLineEdit>(IDC_CURRENT_IP), currentIp_);
    ShowAddress(ControlAs<QLineEdit>(IDC_IP), ip_);
    ShowAddress(ControlAs<QLineEdit>(IDC_GATEWAY), gateway_);
    ShowAddress(ControlAs<QLineEdit>(IDC_MASK), mask_);
    dhcp_ = image.DhcpEnabled() ? 1 : 0;
    ControlAs<QComboBox>(IDC_DHCP)->setCurrentIndex(dhcp_);
}

void CEdtCfgDlg::ShowReply() {
    SetControlText(IDC_MAC, DecodeCodePage(mac_, lang_));
    // Only this printer's own answer: after a query that went unanswered there is nothing to show.
    if (!answered_) return;
    SetControlText(IDC_DEVICE_NAME, DecodeCodePage(reply_.deviceName, lang_));
    SetControlText(IDC_FW_VERSION, DecodeCodePage(reply_.firmwareVersion, lang_));
    SetControlText(IDC_SERIAL, DecodeCodePage(reply_.serialNumber, lang_));
    SetControlText(IDC_MAC, DecodeCodePage(reply_.mac, lang_));
    const auto show = [this](int id, bool has, const Ipv4Octets& value, Ipv4Octets& member) {
        member = value;
        if (has) ShowAddress(ControlAs<QLineEdit>(id), value);
    };
    // "----" (no address yet) stays blank.
    show(IDC_CURRENT_IP, reply_.hasCurrentIp && !IsZeroIp(reply_.currentIp), reply_.currentIp, currentIp_);
    show(IDC_IP, reply_.hasIp, reply_.ip, ip_);
    show(IDC_MASK, reply_.hasMask, reply_.mask, mask_);
    show(IDC_GATEWAY, reply_.hasGateway, reply_.gateway, gateway_);
    dhcp_ = reply_.dhcp;
    ControlAs<QComboBox>(IDC_DHCP)->setCurrentIndex(dhcp_ == 0 || dhcp_ == 1 ? dhcp_ : -1);
    SetControlText(IDC_MONITOR_PORT, reply_.printPort);
    SetControlText(IDC_PRINT_TIMEOUT, reply_.printTimeout);
}

void CEdtCfgDlg::OnDhcpChanged() {
    dhcp_ = ControlAs<QComboBox>(IDC_DHCP)->currentIndex();
}

bool CEdtCfgDlg::TakeInteger(int id, int min, int max, int& value) {
    bool ok = false;
    const long long n = ControlAs<QLineEdit>(id)->text().trimmed().toLongLong(&ok);
    if (ok && n >= min && n <= max) {
        value = static_cast<int>(n);
        return true;
    }
    QString prompt = Text("message.IntegerRange");
    prompt.replace(QStringLiteral("%1"), QString::number(min)).replace(QStringLiteral("%2"), QString::number(max));
    ShowMessage(this, prompt.toStdString(), MessageIcon::Warning);
    Control(id)->setFocus();
    ControlAs<QLineEdit>(id)->selectAll();
    return false;
}

void CEdtCfgDlg::OnOK() {
    ip_ = AddressOf(ControlAs<QLineEdit>(IDC_IP)).value_or(Ipv4Octets{});
    mask_ = AddressOf(ControlAs<QLineEdit>(IDC_MASK)).value_or(Ipv4Octets{});
    gateway_ = AddressOf(ControlAs<QLineEdit>(IDC_GATEWAY)).value_or(Ipv4Octets{});
    if (!TakeInteger(IDC_MONITOR_PORT, PORT_MIN, PORT_MAX, monitorPort_)) return;
    if (!printServer_ && !TakeInteger(IDC_PRINT_TIMEOUT, TIMEOUT_MIN, TIMEOUT_MAX, printTimeout_)) return;
    dhcp_ = ControlAs<QComboBox>(IDC_DHCP)->currentIndex();
    // Without DHCP the printer would answer nowhere at 0.0.0.0.
    if (dhcp_ != 1 && (IsZeroIp(ip_) || IsZeroIp(mask_))) {
        ShowMessage(this, TemplateText(IDD, "message.NoAddress"), MessageIcon::Warning);
        Control(IsZeroIp(ip_) ? IDC_IP : IDC_MASK)->setFocus();
        return;
    }
    accept();
}

KvSetValues CEdtCfgDlg::SetValues() const {
    KvConfigValues answer = reply_;
    if (!answered_) answer.mac = mac_;
    return KvSetValuesOf(answer, {dhcp_, ip_, mask_, gateway_, monitorPort_, printTimeout_});
}

void CEdtCfgDlg::done(int result) {
    StopWorkers();
    CDialog::done(result);
}

} // namespace pemberlux
