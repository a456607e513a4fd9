#include "ui/port/PortSetUSB.h"

#include "core/base/UiText.h"
#include "ui/port/DeviceWatch.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace pemberlux {

CPortSetUSB::CPortSetUSB(QWidget* parent) : CDialog(IDD, parent) {
    setWindowTitle(QString::fromStdString(TemplateText(IDD, "caption")));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const std::string label = TemplateText(IDD, "label.1129");
    auto* ports = Bind(IDC_PORT, new QComboBox, label.substr(0, label.find_last_not_of(": ") + 1));
    ports->setMinimumContentsLength(12);
    auto* caption = new QLabel(QString::fromStdString(label));
    caption->setBuddy(ports);
    form->addRow(caption, ports);
    layout->addLayout(form);

    // The buttons do nothing: the dialog is closed from its caption.
    layout->addLayout(ButtonRow({IDC_OK, IDC_CANCEL}));

    Refresh();
    connect(new DeviceWatch(this), &DeviceWatch::changed, this, [this] { Refresh(); });
}

void CPortSetUSB::Refresh() {
    auto* ports = ControlAs<QComboBox>(IDC_PORT);
    const QVariant current = ports->currentData();
    ports->clear();
    for (const DeviceEntry& d : ListDevices(DeviceEntry::Usb))
        ports->addItem(QString::fromStdString(DeviceLabel(d)), QString::fromStdString(d.node));
    ports->setCurrentIndex(std::max(0, ports->findData(current)));
}

} // namespace pemberlux
