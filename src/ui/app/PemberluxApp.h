// The application object: chooses the user-interface language before any
// window exists, then runs the main window modally; the program ends with it.
#pragma once

namespace pemberlux {

class CPemberluxApp {
public:
    // Runs the program; returns its exit code.
    int InitInstance();
};

// Makes the main window's font, in the calling thread's language, the
// application's: widgets built before they join a window, message boxes and
// tooltips use it, so start-up loads no font the windows do not show.
void UseMainWindowFont();

} // namespace pemberlux
