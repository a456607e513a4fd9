// The program's main window started on a settings file written into a temporary
// working folder, in English, with no USB printer selected.
#pragma once

#include "../shell/ShellFixture.h"

namespace pemberlux::test {

class MainWindowTest : public ShellTest {
protected:
    void Start(const PortSettings& s) {
        WriteSettings(s);
        ShellTest::Start();
    }
    CPagePortSet& InterfacePage() const { return Page(); }
};

} // namespace pemberlux::test
