#include "ui/toolkit/Accessible.h"

#include <QLabel>
#include <QString>
#include <QWidget>

namespace pemberlux {

void ExposeValue(QLabel* caption, QWidget* field, const std::string& value) {
    if (!field) return;
    const QString shown = QString::fromStdString(value).trimmed();
    if (caption && caption->buddy() != field) caption->setBuddy(field);
    field->setAccessibleName(shown.isEmpty() && caption ? caption->accessibleName() : shown);
    field->setAccessibleDescription(QString());
}

} // namespace pemberlux
