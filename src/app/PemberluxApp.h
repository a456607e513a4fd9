// The application object: chooses the user-interface language before any
// window exists, then runs the main window modally; the program ends with it.
#pragma once

namespace pemberlux {

class CPemberluxApp {
public:
    // Runs the program; returns its exit code.
    int InitInstance();
};

} // namespace pemberlux
