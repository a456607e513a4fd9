#include "ui/network/SearchDialog.h"

#include "core/base/UiText.h"
#include "core/network/NetConfig.h"
#include "ui/network/NetWidgets.h"
#include "ui/toolkit/Messages.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pemberlux {

CSearchDialog::CSearchDialog(int dialogId, QWidget* parent, const Layout& layout)
    : CDialog(dialogId, parent), ids_(layout) {
    auto text = [dialogId](const std::string& key) { return QString::fromStdString(TemplateText(dialogId, key)); };
    setWindowTitle(text("caption"));
    auto* column = new QVBoxLayout(this);

    auto* searchRow = new QHBoxLayout;
    auto* search = Bind(layout.search, new QPushButton(text(std::to_string(layout.search))));
    search->setAutoDefault(false);
    searchRow->addWidget(search);
    searchRow->addStretch();
    column->addLayout(searchRow);

    const std::vector<std::string> headers = TemplateColumns(dialogId, layout.list);
    auto* list = Bind(layout.list, NewReportList(headers, layout.columnWidth), LoadUiString(layout.listName));
    list->setMinimumWidth(layout.columnWidth * static_cast<int>(headers.size()) + 4);
    column->addWidget(list, 1);

    auto* group = new QGroupBox(text("group.DeviceSelected"));
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (int id : {layout.serial, layout.deviceName, layout.mac, layout.ip, layout.monitorPort}) {
        const std::string label = TemplateText(dialogId, "label." + std::to_string(id));
        auto* edit = Bind(id, new QLineEdit, FieldName(label));
        edit->setReadOnly(true);
        auto* caption = new QLabel(QString::fromStdString(label));
        caption->setBuddy(edit);
        form->addRow(caption, edit);
        if (!layout.showSerialAndPort && (id == layout.serial || id == layout.monitorPort))
            form->setRowVisible(edit, false);
    }
    auto* setup = Bind(layout.setup, new QPushButton(text(std::to_string(layout.setup))));
    setup->setAutoDefault(false);
    auto* setupRow = new QHBoxLayout;
    setupRow->addStretch();
    setupRow->addWidget(setup);
    form->addRow(setupRow);
    column->addWidget(group);
    column->addLayout(ButtonRow({layout.ok, layout.cancel}));

    connect(search, &QPushButton::clicked, this, [this] { OnSearch(); });
    connect(setup, &QPushButton::clicked, this, [this] { OnSetupPrinter(); });
    connect(ControlAs<QPushButton>(layout.ok), &QPushButton::clicked, this, [this] { OnOK(); });
    connect(ControlAs<QPushButton>(layout.cancel), &QPushButton::clicked, this, [this] { reject(); });
}

int CSearchDialog::DoModal() {
    OnInitDialog();
    return exec();
}

QTableWidget* CSearchDialog::List() const {
    return ControlAs<QTableWidget>(ids_.list);
}

void CSearchDialog::UpdateControls() {
    SetControlText(ids_.serial, serial_);
    SetControlText(ids_.deviceName, deviceName_);
    SetControlText(ids_.mac, mac_);
    SetControlText(ids_.ip, ip_);
    SetControlText(ids_.monitorPort, std::to_string(monitorPort_));
}

void CSearchDialog::ClearSelectedTexts() {
    serial_.clear();
    deviceName_.clear();
    mac_.clear();
    ip_.clear();
}

void CSearchDialog::AcceptSelection(QObject* owner, PortSettings& settings) {
    // What is no address or port (an unanswered query, a print server without an
    // address yet) does not replace the page's.
    if (IsReachableAddress(ip_)) settings.ipAddress = ip_;
    if (IsUsablePort(monitorPort_)) settings.tcpPort = monitorPort_;
    SendMessage(owner, NetworkSetEvent(settings));
    accept();
}

} // namespace pemberlux
