// What assistive technology reads from the program's read-only value fields.
//
// One rule for every field that only shows a value (the main window's printer
// and interface, and the like): its accessible name stays its caption, so that
// screen readers and automation find it by what it is; its accessible
// description carries the value it shows now, so that a screen reader reads
// caption and value together. Read-only edits already give their text as their
// accessible value; labels have no accessible value, hence the description.
#pragma once

#include <string>

class QWidget;

namespace pemberlux {

// Call whenever the field's value changes. Padding blanks are not read out.
void ExposeValue(QWidget* field, const std::string& value);

} // namespace pemberlux
