#include "ui/network/EdtCfgDlgUSB.h"

#include "core/base/UiText.h"
#include "ui/network/NetWidgets.h"
#include "ui/toolkit/MessageBox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pemberlux {

CEdtCfgDlgUSB::CEdtCfgDlgUSB(QWidget* parent) : CDialog(IDD, parent) {
    setWindowTitle(Text("caption"));
    setMinimumWidth(CONFIG_DIALOG_WIDTH);
    auto* layout = new QVBoxLayout(this);
    std::vector<QLabel*> captions;
    auto* note = new QLabel(Text("text.Note"));
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* group = new QGroupBox(Text("group.Network"));
    auto* form = new QFormLayout(group);
    auto addRow = [&](int id, QWidget* field) {
        const std::string label = TemplateText(IDD, "label." + std::to_string(id));
        Bind(id, field, FieldName(label));
        auto* caption = new QLabel(QString::fromStdString(label));
        caption->setBuddy(field);
        captions.push_back(caption);
        form->addRow(caption, field);
    };
    auto* dhcp = new QComboBox;
    for (const std::string& item : TemplateItems(IDD, IDC_DHCP))
        dhcp->addItem(QString::fromStdString(item));
    addRow(IDC_DHCP, dhcp);
    for (int id : {IDC_IP, IDC_MASK, IDC_GATEWAY})
        addRow(id, NewAddressEdit());
    layout->addWidget(group);
    AlignLabels(captions);
    layout->addLayout(ButtonRow({IDC_OK, IDC_CANCEL}));

    // A printer fresh from the factory is usually set up on a small office network.
    values_.dhcp = 0;
    values_.mask = {255, 255, 255, 0};
    values_.ip = {192, 168, 0, 10};
    values_.gateway = {192, 168, 0, 1};
    dhcp->setCurrentIndex(values_.dhcp);
    ShowAddress(ControlAs<QLineEdit>(IDC_MASK), values_.mask);
    ShowAddress(ControlAs<QLineEdit>(IDC_IP), values_.ip);
    ShowAddress(ControlAs<QLineEdit>(IDC_GATEWAY), values_.gateway);

    connect(dhcp, &QComboBox::currentIndexChanged, this, [this] { OnDhcpChanged(); });
    connect(ControlAs<QPushButton>(IDC_OK), &QPushButton::clicked, this, [this] { OnOK(); });
    connect(ControlAs<QPushButton>(IDC_CANCEL), &QPushButton::clicked, this, [this] { reject(); });
}

void CEdtCfgDlgUSB::OnDhcpChanged() {
    values_.dhcp = ControlAs<QComboBox>(IDC_DHCP)->currentIndex();
}

void CEdtCfgDlgUSB::OnOK() {
    const std::optional<Ipv4Octets> ip = AddressOf(ControlAs<QLineEdit>(IDC_IP));
    const std::optional<Ipv4Octets> mask = AddressOf(ControlAs<QLineEdit>(IDC_MASK));
    const std::optional<Ipv4Octets> gateway = AddressOf(ControlAs<QLineEdit>(IDC_GATEWAY));
    values_.ip = ip.value_or(Ipv4Octets{});
    values_.mask = mask.value_or(Ipv4Octets{});
    values_.gateway = gateway.value_or(Ipv4Octets{});
    values_.dhcp = ControlAs<QComboBox>(IDC_DHCP)->currentIndex();
    // Without DHCP the printer would answer nowhere at 0.0.0.0.
    if (values_.dhcp != 1 && (IsZeroIp(values_.ip) || IsZeroIp(values_.mask))) {
        ShowMessage(this, TemplateText(IDD, "message.NoAddress"), MessageIcon::Warning);
        Control(IsZeroIp(values_.ip) ? IDC_IP : IDC_MASK)->setFocus();
        return;
    }
    accept();
}

} // namespace pemberlux
