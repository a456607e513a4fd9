#include "ui/port/PortSetSerial.h"

#include "core/base/UiText.h"
#include "ui/port/DeviceWatch.h"
#include "ui/toolkit/Messages.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pemberlux {

namespace {

const char* const PARITY_VALUES[] = {"None", "Even", "Odd"};
const char* const FLOW_VALUES[] = {"DTR", "Xon/Xoff"};

void SelectText(QComboBox* list, const std::string& text) {
    list->setCurrentIndex(list->findText(QString::fromStdString(text), Qt::MatchExactly));
}

} // namespace

CPortSetSerial::CPortSetSerial(QObject* receiver, QWidget* parent) : CDialog(IDD, parent), receiver_(receiver) {
    setWindowTitle(Text("caption"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    const int lists[] = {IDC_PORT, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS, IDC_FLOW};
    for (int id : lists) {
        const std::string label = TemplateText(IDD, "label." + std::to_string(id));
        auto* list = Bind(id, new QComboBox, label.substr(0, label.find_last_not_of(": ") + 1));
        for (const std::string& item : TemplateItems(IDD, id))
            list->addItem(QString::fromStdString(item));
        auto* caption = new QLabel(QString::fromStdString(label));
        caption->setBuddy(list);
        form->addRow(caption, list);
    }

    // The ports of this machine and the one stored, each shown with its device;
    // a line plugged in or out while the dialog is open joins or leaves the list.
    ListPorts(ControlAs<QComboBox>(IDC_PORT), DeviceEntry::Serial, SerialDialogSettings.comName);
    SelectText(ControlAs<QComboBox>(IDC_BAUD), SerialDialogSettings.baudRate);
    SelectText(ControlAs<QComboBox>(IDC_DATA_BITS), SerialDialogSettings.dataBits);
    SelectText(ControlAs<QComboBox>(IDC_STOP_BITS), SerialDialogSettings.stopBits);
    int parity = -1;
    for (int i = 0; i < 3; ++i) {
        if (SerialDialogSettings.parity == PARITY_VALUES[i]) parity = i;
    }
    ControlAs<QComboBox>(IDC_PARITY)->setCurrentIndex(parity);
    int flow = -1;
    for (int i = 0; i < 2; ++i) {
        if (SerialDialogSettings.flowControl == FLOW_VALUES[i]) flow = i;
    }
    ControlAs<QComboBox>(IDC_FLOW)->setCurrentIndex(flow);

    layout->addLayout(ButtonRow({IDC_OK, IDC_CANCEL}));
    connect(ControlAs<QPushButton>(IDC_OK), &QPushButton::clicked, this, [this] { OnOK(); });
    connect(ControlAs<QPushButton>(IDC_CANCEL), &QPushButton::clicked, this, [this] { reject(); });
}

void CPortSetSerial::OnOK() {
    const PortSettings before = SerialDialogSettings;
    SerialDialogSettings.comName = SelectedPort(ControlAs<QComboBox>(IDC_PORT));
    SerialDialogSettings.baudRate = ControlText(IDC_BAUD);
    SerialDialogSettings.dataBits = ControlText(IDC_DATA_BITS);
    SerialDialogSettings.stopBits = ControlText(IDC_STOP_BITS);
    const int parity = ControlAs<QComboBox>(IDC_PARITY)->currentIndex();
    if (parity >= 0 && parity < 3) SerialDialogSettings.parity = PARITY_VALUES[parity];
    const int flow = ControlAs<QComboBox>(IDC_FLOW)->currentIndex();
    if (flow >= 0 && flow < 2) SerialDialogSettings.flowControl = FLOW_VALUES[flow];
    SendMessage(receiver_, SerialSetEvent(SerialDialogSettings, before));
    accept();
}

} // namespace pemberlux
