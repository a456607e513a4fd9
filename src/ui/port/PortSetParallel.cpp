#include "ui/port/PortSetParallel.h"

#include "core/base/UiText.h"
#include "ui/port/DeviceWatch.h"
#include "ui/toolkit/Messages.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pemberlux {

CPortSetParallel::CPortSetParallel(QObject* receiver, QWidget* parent) : CDialog(IDD, parent), receiver_(receiver) {
    setWindowTitle(QString::fromStdString(TemplateText(IDD, "caption")));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const std::string label = TemplateText(IDD, "label.1054");
    auto* ports = Bind(IDC_PORT, new QComboBox, label.substr(0, label.find_last_not_of(": ") + 1));
    // The parallel ports of this machine and the one stored, each shown with its
    // device; a port that comes or goes while the dialog is open joins or leaves
    // the list.
    ListPorts(ports, DeviceEntry::Parallel, ParallelDialogSettings.lptName);
    auto* caption = new QLabel(QString::fromStdString(label));
    caption->setBuddy(ports);
    form->addRow(caption, ports);
    layout->addLayout(form);

    layout->addLayout(ButtonRow({IDC_OK, IDC_CANCEL}));
    connect(ControlAs<QPushButton>(IDC_OK), &QPushButton::clicked, this, [this] { OnOK(); });
    connect(ControlAs<QPushButton>(IDC_CANCEL), &QPushButton::clicked, this, [this] { reject(); });
}

void CPortSetParallel::OnOK() {
    ParallelDialogSettings.lptName = SelectedPort(ControlAs<QComboBox>(IDC_PORT));
    SendMessage(receiver_, ParallelSetEvent(ParallelDialogSettings));
    accept();
}

} // namespace pemberlux
