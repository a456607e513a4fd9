#include "ui/toolkit/Accessible.h"

#include <QString>
#include <QWidget>

namespace pemberlux {

void ExposeValue(QWidget* field, const std::string& value) {
    if (!field) return;
    field->setAccessibleDescription(QString::fromStdString(value).trimmed());
}

} // namespace pemberlux
