#include "ui/port/PortSetParallel.h"

#include "core/base/UiText.h"
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
    for (int n = 1; n <= 4; ++n)
        ports->addItem(QStringLiteral("LPT%1").arg(n));
    // A device given by path (/dev/usb/lp0) stays selectable, so OK keeps it. Any
    // other name the list lacks, such as the "<No Name>" that stands for a missing
    // one, is not offered as a port: nothing is selected then.
    const QString current = QString::fromStdString(ParallelDialogSettings.lptName);
    if (current.startsWith(QLatin1Char('/')) && ports->findText(current, Qt::MatchExactly) < 0) ports->addItem(current);
    ports->setCurrentIndex(ports->findText(current, Qt::MatchExactly));
    auto* caption = new QLabel(QString::fromStdString(label));
    caption->setBuddy(ports);
    form->addRow(caption, ports);
    layout->addLayout(form);

    layout->addLayout(ButtonRow({IDC_OK, IDC_CANCEL}));
    connect(ControlAs<QPushButton>(IDC_OK), &QPushButton::clicked, this, [this] { OnOK(); });
    connect(ControlAs<QPushButton>(IDC_CANCEL), &QPushButton::clicked, this, [this] { reject(); });
}

void CPortSetParallel::OnOK() {
    ParallelDialogSettings.lptName = ControlText(IDC_PORT);
    SendMessage(receiver_, ParallelSetEvent(ParallelDialogSettings));
    accept();
}

} // namespace pemberlux
