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

// Qt's own texts (the standard buttons of message boxes, the file dialogs) in
// the language `langId` (1033 or 2052): for Chinese Qt's translation is loaded
// from Qt's translations folder, for English it is removed again. False when
// Chinese was asked for and the translation is not installed: Qt's texts stay
// English then.
bool UseQtTranslations(int langId);

// Marks a top-level window whose Enter and Escape key presses are swallowed.
void SwallowEnterAndEscape(QWidget* window);

// The pointing-hand cursor over every button (push, radio, check) under `root`.
void UseHandCursorOverButtons(QWidget* root);

} // namespace pemberlux
