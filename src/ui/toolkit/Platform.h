// Application-wide behaviour of the program's windows, installed once right
// after the QApplication exists (the program and the widget tests alike):
// tooltips appear after 500 ms in the text colour their window asks for, and the windows that ask for it never see
// Enter or Escape (they neither close the window nor press a button).
#pragma once

class QWidget;

namespace pemberlux {

constexpr int TOOLTIP_DELAY_MS = 500;
// A QColor property of a page or dialog: the text colour of its controls' tooltips.
constexpr const char* TOOLTIP_COLOUR_PROPERTY = "pemberluxToolTipColour";

void InitPlatform();

// Marks a top-level window whose Enter and Escape key presses are swallowed.
void SwallowEnterAndEscape(QWidget* window);

// The pointing-hand cursor over every button (push, radio, check) under `root`.
void UseHandCursorOverButtons(QWidget* root);

} // namespace pemberlux
