#include "port/PortSetUSB.h"

#include "app/UiText.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pemberlux {

namespace {
QString Text(const std::string& key) {
    return QString::fromStdString(TemplateText(CPortSetUSB::IDD, key));
}
} // namespace

CPortSetUSB::CPortSetUSB(QWidget* parent) : CDialog(IDD, parent) {
    setWindowTitle(Text("caption"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const std::string label = TemplateText(IDD, "label.1129");
    auto* ports = Bind(IDC_PORT, new QComboBox, label.substr(0, label.find_last_not_of(": ") + 1));
    ports->setMinimumContentsLength(12);
    auto* caption = new QLabel(QString::fromStdString(label));
    caption->setBuddy(ports);
    form->addRow(caption, ports);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int id : {IDC_OK, IDC_CANCEL}) {
        auto* b = Bind(id, new QPushButton(Text(std::to_string(id))));
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
}

} // namespace pemberlux
