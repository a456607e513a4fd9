// Room for texts a control shows only once a printer has answered (a serial
// number, a firmware version): the layout keeps room for the widest of them, and
// the texts stay with the control so that a check of the window can measure them
// as if they were shown.
#pragma once

#include <QStringList>

class QLineEdit;
class QWidget;

namespace pemberlux {

// Sets the field's minimum width so that each of `texts` shows whole.
void ReserveRoomFor(QLineEdit* field, const QStringList& texts);
// The texts reserved for `control`; empty if none.
QStringList ReservedTexts(const QWidget* control);

} // namespace pemberlux
