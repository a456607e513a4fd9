#include "ui/port/DeviceWatch.h"

#include <QComboBox>

namespace pemberlux {

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent) {
    if (monitor_.Fd() < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(monitor_.Fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        if (monitor_.Changed()) emit changed();
    });
}

namespace {

void FillPortList(QComboBox* list, DeviceEntry::Kind kind, const std::string& stored, const std::string& selected) {
    list->clear();
    for (const PortChoice& c : PortChoices(kind, {stored, selected}))
        list->addItem(QString::fromStdString(c.text), QString::fromStdString(c.value));
    list->setCurrentIndex(selected.empty() ? -1 : list->findData(QString::fromStdString(selected)));
}

} // namespace

void ListPorts(QComboBox* list, DeviceEntry::Kind kind, const std::string& stored) {
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    FillPortList(list, kind, stored, stored);
    QObject::connect(new DeviceWatch(list), &DeviceWatch::changed, list,
                     [list, kind, stored] { FillPortList(list, kind, stored, SelectedPort(list)); });
}

std::string SelectedPort(const QComboBox* list) {
    return list->currentIndex() < 0 ? std::string() : list->currentData().toString().toStdString();
}

} // namespace pemberlux
