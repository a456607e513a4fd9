// What assistive technology reads from the program's read-only value fields.
//
// One rule for every label that only shows a value (the main window's printer
// and interface, and the like): its accessible name is the value it shows now,
// so that flat review and every reading command speak the value itself; its
// caption label names it through a labelled-by relation (the caption's buddy),
// so that a screen reader still says what the value is, and automation finds
// the field from its caption. A field without a value is named by its caption,
// never left nameless.
#pragma once

#include <string>

class QLabel;
class QWidget;

namespace pemberlux {

// Call whenever the field's value changes. Padding blanks are not read out.
void ExposeValue(QLabel* caption, QWidget* field, const std::string& value);

} // namespace pemberlux
